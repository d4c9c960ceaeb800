// A Prologix-style GPIB adaptor with the simulated analyser behind it, as
// bytes in and bytes out. No sockets: the same object serves a TCP
// connection, a pseudo-terminal or a test.
#ifndef TARNWICK_SIM_PROLOGIX_ADAPTOR_H_
#define TARNWICK_SIM_PROLOGIX_ADAPTOR_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "bus/platform.h"
#include "sim/scene.h"
#include "sim/simulated_driver.h"

namespace tarnwick::sim {

// The longest line the adaptor takes; a host that sends a longer one is cut off.
inline constexpr std::size_t kMaxLineBytes = 4096;

class PrologixAdaptor {
 public:
  // The adaptor starts as controller at address 0, reading only on "++read",
  // with its settings saved to memory as it changes them, as out of the box.
  PrologixAdaptor(Scene scene, Platform& platform);

  // Takes bytes from the host, in any pieces, and returns what the adaptor
  // sends back for the lines they complete: the version, a setting asked
  // for, "Unrecognized command", or the analyser's reply. A reply the
  // analyser never gives sends nothing. Once a line runs past
  // kMaxLineBytes, nothing more is taken.
  std::string Receive(std::string_view bytes);
  // Whether the host sent a line past kMaxLineBytes.
  bool overflowed() const { return overflowed_; }

  // Lines taken so far, and how many of them were "++" commands to the
  // adaptor rather than messages for the analyser.
  long lines() const { return lines_; }
  long commands() const { return commands_; }

 private:
  void Line(std::string& out);
  void Command(std::string_view text, std::string& out);
  void ReadFromDevice(std::string& out);
  void Address(int pad, int sad);

  SimulatedDriver driver_;
  int32_t sta_ = 0, err_ = 0, cnt_ = 0, cntl_ = 0;
  int ud_ = -1;
  int pad_ = 0;
  int sad_ = 0;
  // The settings a "++" command sets or, without a value, asks.
  int mode_ = 1;
  int auto_read_ = 0;
  int eoi_ = 1;
  int eos_ = 0;  // 0 CR LF, 1 CR, 2 LF, 3 nothing appended to data
  int eot_enable_ = 0;
  int eot_char_ = 0;
  int read_timeout_ms_ = 500;
  int save_config_ = 1;
  bool overflowed_ = false;

  std::string line_;          // the line so far, escapes removed
  bool escape_next_ = false;
  bool command_ = false;      // the line began with an unescaped "++"
  int unescaped_lead_ = 0;    // unescaped '+' at the line's start so far
  long lines_ = 0;
  long commands_ = 0;
};

}  // namespace tarnwick::sim

#endif  // TARNWICK_SIM_PROLOGIX_ADAPTOR_H_
