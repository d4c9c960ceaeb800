// A GPIB driver that reaches the analyser through a Prologix-style adaptor
// (GPIB-ETHERNET or GPIB-USB) over a byte link. One device per driver.
#ifndef TARNWICK_DRIVERS_PROLOGIX_DRIVER_H_
#define TARNWICK_DRIVERS_PROLOGIX_DRIVER_H_

#include <memory>
#include <string>

#include "drivers/link_driver.h"

namespace tarnwick::drivers {

// The most an answer of the adaptor's own ("++ver") may hold.
inline constexpr std::size_t kAdaptorAnswerCap = 256;
// How long the answer to a question the adaptor may leave unanswered is
// awaited: an adaptor answers its own commands at once, not after the
// instrument's timeout.
inline constexpr double kOptionalAnswerSeconds = 1;

class PrologixDriver : public LinkDriver {
 public:
  // resource names the adaptor in messages, transport the link ("TCP");
  // platform gives the clock of every deadline and the stop check of every
  // wait.
  PrologixDriver(std::unique_ptr<ByteLink> link, std::string resource, std::string transport,
                 Platform& platform);

  // Connects and sets the adaptor up at the first open: checks its "++ver"
  // answer, then "++savecfg 0" before any setting, controller mode, reads
  // only when asked, END with the last byte, nothing appended either way,
  // its longest read timeout, the address; then asks which read timeout it
  // took, and "++ver" again. Only the first "++ver" must be answered: an
  // unanswered question means the setting was taken as sent, and
  // "Unrecognized command" is tolerated. The answers are awaited for
  // kOptionalAnswerSeconds; those that come later are recognised up to the
  // second "++ver"'s answer before anything else is asked. Later opens only
  // readdress when the address changed. The timeout code is kept on this
  // side.
  int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
  // The device offline: "++loc", then the connection is closed. The board
  // offline has nothing left to do.
  int ibonl(int ud, int v) override;
  // One data line per call.
  int ibwrt(int ud, const void* buf, long cnt) override;
  // Asks with "++read eoi", after making sure nothing arrived unasked, and
  // hands out the reply up to its LF with END; a reply longer than cnt is
  // handed out over several reads. The whole reply has one deadline from the
  // asking; "++read eoi" is sent again whenever the adaptor's own read
  // timeout has passed in silence.
  int ibrd(int ud, void* buf, long cnt) override;
  std::string AdaptorVersion() const override { return version_; }

  // "Prologix-style GPIB adaptor over TCP, <resource>".
  std::string Description() const override;

 private:
  bool SetUp(int pad, int sad);
  // Writes lines to the adaptor that it is to answer, after the answers
  // still owed to the set-up and checking that nothing is waiting unasked.
  LinkResult Ask(const std::string& lines);
  // One answer of the adaptor's own to "++command" by deadline (seconds
  // from now in messages), without its line end.
  LinkResult Answer(std::string& answer, std::string_view command, double deadline,
                    double seconds);
  // Reads the set-up's answers up to the second "++ver"'s by deadline. When
  // the deadline passes first, a required end is a failure; otherwise the
  // rest is read before the next question.
  LinkResult SettleSetUp(double deadline, bool required);
  void NoteReadTimeoutTaken(std::string_view why);

  std::string transport_;
  double read_timeout_s_ = 0;  // the adaptor's own, as it says or as set
  bool read_timeout_confirmed_ = false;
  bool read_timeout_noted_ = false;  // the trace was told it is taken as set
  bool setup_owed_ = false;     // answers of the set-up not read yet
  int pad_ = -1;
  int sad_ = 0;
  int reads_asked_ = 0;         // "++read eoi" sent for this reply
  std::string version_;         // the adaptor's answer to "++ver"
};

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_PROLOGIX_DRIVER_H_
