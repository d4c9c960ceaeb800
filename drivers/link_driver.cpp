#include "drivers/link_driver.h"

namespace tarnwick::drivers {

int LinkDriver::FailWith(const LinkError& error) {
  const int32_t status = kStatusErr | (error.gpibError == EABO ? kStatusTimo : 0);
  return Finish(status, error.gpibError, 0, error.text);
}

std::optional<int> LinkDriver::Refuse(int ud, const void* buf, long cnt) {
  if (ud != kDevice || !device_open_) return Fail(EDVR, "not an open device descriptor");
  if (cnt < 0 || (buf == nullptr && cnt > 0)) return Fail(EARG, {});
  return std::nullopt;
}

}  // namespace tarnwick::drivers
