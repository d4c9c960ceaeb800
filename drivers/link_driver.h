// What the two drivers that speak lines over a byte link share: the link and
// its line reader, the one device they serve beside board 0, the reply's
// one deadline and how it is handed out, and how a call is refused or fails.
#ifndef TARNWICK_DRIVERS_LINK_DRIVER_H_
#define TARNWICK_DRIVERS_LINK_DRIVER_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "bus/platform.h"
#include "bus/status_words.h"
#include "drivers/byte_link.h"
#include "drivers/line_reader.h"

namespace tarnwick::drivers {

class LinkDriver : public StatusWordDriver {
 public:
  // The time limit of the replies asked for from now on; kept on this side.
  int ibtmo(int ud, int v) override;

 protected:
  // resource names what is reached in messages; platform gives the clock of
  // every deadline and the stop check of every wait.
  LinkDriver(std::unique_ptr<ByteLink> link, std::string resource, Platform& platform);

  static constexpr int kBoard = 0;
  static constexpr int kDevice = 1;

  // The status of a call the link failed: ERR, and TIMO for a timeout, with
  // the link's words.
  int FailWith(const LinkError& error);
  // The failed status of an I/O call on ud that cannot be made: not the open
  // device (EDVR), or a count or buffer no call can use (EARG); none when it
  // can.
  std::optional<int> Refuse(int ud, const void* buf, long cnt);
  // The status of an ibonl that has nothing to do (the board, or online) or
  // cannot be made; none when it takes the open device offline.
  std::optional<int> NoDeviceToTakeOffline(int ud, int v);
  // The device, opened: its descriptor, with no reply under way.
  int Opened();
  // A new message ends interest in whatever of the last reply was not read.
  void NewMessage();
  // A deadline timeout_s_ from now.
  double Deadline() const;
  // Hands out up to cnt bytes of the reply under way into buf, END with its
  // LF, by reply_deadline_; a timeout is worded by late().
  int HandOut(void* buf, long cnt, LineReader::Wait wait, const std::function<std::string()>& late);

  std::unique_ptr<ByteLink> link_;
  std::string resource_;  // as messages show it
  Platform& platform_;
  LineReader reader_;
  double timeout_s_ = 10;
  bool device_open_ = false;
  bool in_reply_ = false;  // part of a reply was handed out
  double reply_deadline_ = 0;
};

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_LINK_DRIVER_H_
