// What the two drivers that speak lines over a byte link share: the one
// device they serve beside board 0, and how a call is refused or fails.
#ifndef TARNWICK_DRIVERS_LINK_DRIVER_H_
#define TARNWICK_DRIVERS_LINK_DRIVER_H_

#include <optional>

#include "bus/status_words.h"
#include "drivers/byte_link.h"

namespace tarnwick::drivers {

class LinkDriver : public StatusWordDriver {
 protected:
  static constexpr int kBoard = 0;
  static constexpr int kDevice = 1;

  // The status of a call the link failed: ERR, and TIMO for a timeout, with
  // the link's words.
  int FailWith(const LinkError& error);
  // The failed status of an I/O call on ud that cannot be made: not the open
  // device (EDVR), or a count or buffer no call can use (EARG); none when it
  // can.
  std::optional<int> Refuse(int ud, const void* buf, long cnt);

  bool device_open_ = false;
};

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_LINK_DRIVER_H_
