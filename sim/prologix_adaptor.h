// A Prologix-style GPIB adaptor with the simulated analyser behind it, as
// bytes in and bytes out. No sockets: the same object serves a TCP
// connection, a pseudo-terminal or a test.
#ifndef TARNWICK_SIM_PROLOGIX_ADAPTOR_H_
#define TARNWICK_SIM_PROLOGIX_ADAPTOR_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "bus/platform.h"
#include "drivers/prologix_protocol.h"
#include "sim/scene.h"
#include "sim/simulated_driver.h"

namespace tarnwick::sim {

// The longest line the adaptor takes; a host that sends a longer one is cut off.
inline constexpr std::size_t kMaxLineBytes = 4096;

// How an adaptor on a bench differs from the manual's: what it leaves
// unanswered, what it does not know, what it keeps, how slow it is.
struct AdaptorPersonality {
  std::string_view name;
  std::string_view about;           // for --help
  bool answersQuestions = true;     // a setting asked without a value is answered
  bool knowsSaveConfig = true;      // else "++savecfg" is an unknown command
  int readTimeoutCapMs = prologix::kMaxReadTimeoutMs;  // a longer one is taken as this
  bool eotStored = false;           // EOT (an LF) after every reply until turned off
  int versionDelayMs = 0;           // how long "++ver" takes to answer
};

// Every personality the simulated adaptor has; the first is the manual's.
inline constexpr AdaptorPersonality kAdaptorPersonalities[] = {
    {.name = "prologix", .about = "answers every command as the adaptor manuals describe"},
    {.name = "quiet",
     .about = "answers \"++ver\" and reads, and no setting asked without a value",
     .answersQuestions = false},
    {.name = "no-savecfg", .about = "says \"Unrecognized command\" to \"++savecfg\"",
     .knowsSaveConfig = false},
    {.name = "short-timeout", .about = "takes no read timeout above 500 ms",
     .readTimeoutCapMs = 500},
    {.name = "eot-stored", .about = "sends EOT after every reply until told otherwise",
     .eotStored = true},
    {.name = "slow-ver", .about = "takes 300 ms to answer \"++ver\"", .versionDelayMs = 300},
};

// The personality called name; nullptr when there is none.
const AdaptorPersonality* FindAdaptorPersonality(std::string_view name);

class PrologixAdaptor {
 public:
  // The adaptor starts as controller at address 0, reading only on "++read",
  // with its settings saved to memory as it changes them, as out of the box;
  // personality says how it differs from the manual's. Its delays run on
  // platform's clock.
  PrologixAdaptor(Scene scene, Platform& platform,
                  const AdaptorPersonality& personality = kAdaptorPersonalities[0]);

  // Takes bytes from the host, in any pieces, and returns what the adaptor
  // sends back at once for the lines they complete: the version, a setting
  // asked for, "Unrecognized command", or the analyser's reply. A reply the
  // analyser never gives sends nothing. An answer the adaptor is slow to
  // give, and all after it, are held for Due. Once a line runs past
  // kMaxLineBytes, nothing more is taken.
  std::string Receive(std::string_view bytes);
  // Seconds until the first held answer is due; nothing when none is held.
  std::optional<double> HeldFor() const;
  // The held answers that are due by now, in order.
  std::string Due();
  // Whether the host sent a line past kMaxLineBytes.
  bool overflowed() const { return overflowed_; }

  // Lines taken so far, and how many of them were "++" commands to the
  // adaptor rather than messages for the analyser.
  long lines() const { return lines_; }
  long commands() const { return commands_; }

 private:
  void Line(std::string& out);
  // What the adaptor answers a command, and after how many seconds.
  double Command(std::string_view text, std::string& said);
  void ReadFromDevice(std::string& out);
  void Address(int pad, int sad);
  // Sends said after delay seconds, or at once when nothing is held.
  void Send(std::string& out, std::string said, double delay);

  struct Held {
    double due;  // on the platform's clock
    std::string bytes;
  };

  SimulatedDriver driver_;
  Platform& platform_;
  const AdaptorPersonality& personality_;
  std::deque<Held> held_;
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
