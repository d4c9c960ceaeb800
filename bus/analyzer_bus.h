// The program's side of the driver seam: the status words registered with
// the driver and the program's 16-bit copies of them, and the four wrapped
// driver operations. One object per process holds the words and the
// analyser's descriptor. Every failure comes back as a value that names the
// call, the command, the analyser and the driver's error.
#ifndef TARNWICK_BUS_ANALYZER_BUS_H_
#define TARNWICK_BUS_ANALYZER_BUS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bus/analyzer_address.h"
#include "bus/bus_error.h"
#include "bus/gpib_driver.h"

namespace tarnwick {

// The words the driver writes after every call once registered, and the
// program's 16-bit copies of them, refreshed after every wrapped call.
struct NiGlobals {
  int32_t LongStatus = 0;
  int32_t LongError = 0;
  int32_t LongCount = 0;
  int32_t ibcntl = 0;
  int16_t ibsta = 0;
  int16_t iberr = 0;
  int16_t ibcnt = 0;
};

// Registration answers that end the program, shown before it ends.
inline constexpr std::string_view kMsgNotMultiThreaded =
    "Operating System is not multi-threaded. Quitting the Program!";
inline constexpr std::string_view kMsgUnableToRegister =
    "Unable to register GPIB thread globals. Quitting the Program!";
inline constexpr std::string_view kMsgUnknownRegistrationError =
    "Unknown Error for Registering GPIB Globals!!! Quitting the Program!";

class AnalyzerBus {
 public:
  explicit AnalyzerBus(GpibDriver& driver);
  // The driver holds the addresses of the registered words: never move them.
  AnalyzerBus(const AnalyzerBus&) = delete;
  AnalyzerBus& operator=(const AnalyzerBus&) = delete;

  // Loads the driver and registers the four status words with it. A driver
  // that cannot be loaded, or a refused registration (also of the fresh
  // registration that follows an "already registered" answer), is a failure
  // that ends the program; every later operation answers it again without
  // calling the driver.
  Status RegisterGpibGlobals();

  // The wrapped driver operations. Each registers the status words first if
  // that has not happened yet, calls the driver, and copies the status words.
  // OpenDevice gives the descriptor as the driver returned it, also when the
  // open failed: CheckOpen tells.
  Result<int16_t> OpenDevice(int16_t board, int16_t pad, int16_t sad, int16_t tmo, int16_t eot,
                             int16_t eos);
  // The failure of the OpenDevice just made: a negative descriptor, or ERR.
  Status CheckOpen(int16_t descriptor) const;
  Status SetOnline(int16_t ud, int16_t v);
  // The time limit, a timeout code, of ud's later reads and writes.
  Status SetTimeout(int16_t ud, int16_t tmo);
  // A write that sets ERR or sends fewer bytes than it was given fails.
  Status WriteText(int16_t ud, std::string_view text);
  // Reads up to buffer.size() bytes into the front of buffer; bytes beyond
  // those received keep their earlier contents. Returns the count received.
  // command names what the reply answers, in the failure.
  Result<int32_t> ReadText(int16_t ud, std::string& buffer, std::string_view command = {});

  // Refreshes ibsta, iberr and ibcnt from the registered words. When ERR is
  // set, an error word that does not fit 16 bits is a failure; without ERR
  // the error word means nothing and is not judged.
  Status CopyStatusWords();

  // A failure concerning the analyser: "<what> the analyser at <where>
  // <detail>.", for the checks made above the bus (a reply that cannot be
  // read) as for the bus's own.
  BusError Failure(std::string_view call, std::string_view command, std::string_view what,
                   std::string_view detail, int32_t code = kNoDriverError,
                   std::string words = {}) const;

  const NiGlobals& globals() const { return globals_; }
  int16_t GlobalsRegistered() const { return globals_registered_; }
  // Whether the last call ended with END (the reply is complete).
  bool EndSeen() const { return (globals_.LongStatus & kStatusEnd) != 0; }

  // Where runs open the analyser and how messages name it.
  void SetAddress(AnalyzerAddress address) { address_ = std::move(address); }
  const AnalyzerAddress& address() const { return address_; }
  // The analyser's name in messages: the resource, or "GPIB<board>::<pad>".
  std::string Where() const;

  // The analyser's device descriptor, set from OpenDevice by every run.
  int16_t Analyzer = 0;

 private:
  Status EnsureRegistered();
  // The failure of the call just made when it set ERR.
  Status CheckCall(std::string_view call, std::string_view command) const;
  // The driver's error code with its meaning and the driver's own words.
  std::string ErrorText() const;

  GpibDriver& driver_;
  NiGlobals globals_;
  int16_t globals_registered_ = 0;
  // Why the driver cannot serve, once it has said so.
  std::optional<BusError> unusable_;
  AnalyzerAddress address_;
  // Where the last OpenDevice looked for the analyser, for messages.
  int board_ = 0;
  int pad_ = 0;
};

}  // namespace tarnwick

#endif  // TARNWICK_BUS_ANALYZER_BUS_H_
