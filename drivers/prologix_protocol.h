// What a Prologix-style GPIB adaptor understands: "++" commands to the
// adaptor itself, and data lines for the instrument in which CR, LF, ESC and
// '+' are escaped with ESC. Both the driver and the simulated adaptor use
// these, so a command is spelt in one place only.
#ifndef TARNWICK_DRIVERS_PROLOGIX_PROTOCOL_H_
#define TARNWICK_DRIVERS_PROLOGIX_PROTOCOL_H_

#include <string>
#include <string_view>

#include "drivers/byte_link.h"

namespace tarnwick::prologix {

inline constexpr std::string_view kCommandPrefix = "++";
inline constexpr char kEscape = '\x1B';
inline constexpr char kLineEnd = drivers::kLineEnd;

// Command names, without the prefix.
inline constexpr std::string_view kMode = "mode";        // 1 controller
inline constexpr std::string_view kAuto = "auto";        // 0 read only on ++read
inline constexpr std::string_view kEoi = "eoi";          // 1 END with the last byte
inline constexpr std::string_view kEos = "eos";          // 3 append nothing to data
inline constexpr std::string_view kAddress = "addr";     // pad [sad]
inline constexpr std::string_view kSaveConfig = "savecfg";     // 0 keep settings out of EEPROM
inline constexpr std::string_view kEotEnable = "eot_enable";  // 0 append nothing to replies
inline constexpr std::string_view kEotChar = "eot_char";      // what EOT appends
inline constexpr std::string_view kReadTimeout = "read_tmo_ms";  // ms; alone: asks it
inline constexpr std::string_view kVersion = "ver";
inline constexpr std::string_view kRead = "read";        // "eoi": until END
inline constexpr std::string_view kLocal = "loc";        // back to the front panel

// The argument values the driver sends.
inline constexpr std::string_view kControllerMode = "1";
inline constexpr std::string_view kAutoOff = "0";
inline constexpr std::string_view kEoiOn = "1";
inline constexpr std::string_view kEosNone = "3";
inline constexpr std::string_view kUntilEoi = "eoi";
inline constexpr std::string_view kSaveOff = "0";
inline constexpr std::string_view kEotOff = "0";
// The longest read timeout Prologix adaptors take; the driver asks for it.
inline constexpr int kMaxReadTimeoutMs = 3000;

// What an adaptor answers to a command it does not know.
inline constexpr std::string_view kUnrecognized = "Unrecognized command";

// One command line: "++name arg\n".
std::string CommandLine(std::string_view name, std::string_view arg = {});
// One data line: data with CR, LF, ESC and '+' escaped, then LF.
std::string DataLine(std::string_view data);

}  // namespace tarnwick::prologix

#endif  // TARNWICK_DRIVERS_PROLOGIX_PROTOCOL_H_
