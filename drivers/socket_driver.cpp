#include "drivers/socket_driver.h"

#include <utility>

#include <fmt/format.h>

namespace tarnwick::drivers {

SocketDriver::SocketDriver(std::unique_ptr<ByteLink> link, std::string resource,
                           Platform& platform)
    : LinkDriver(std::move(link), std::move(resource), platform) {}

std::string SocketDriver::Description() const { return "raw socket, " + resource_; }

int SocketDriver::ibdev(int board, int /*pad*/, int /*sad*/, int tmo, int /*eot*/, int /*eos*/) {
  if (board != kBoard) return Fail(ENEB, fmt::format("{} has only board 0", resource_)), -1;
  timeout_s_ = TimeoutSeconds(tmo);
  if (!link_->IsOpen()) {
    reader_.Reset();
    if (const LinkResult error = link_->Open(timeout_s_)) return FailWith(*error), -1;
  }
  return Opened();
}

int SocketDriver::ibonl(int ud, int v) {
  if (const std::optional<int> done = NoDeviceToTakeOffline(ud, v)) return *done;
  device_open_ = false;
  in_reply_ = false;
  link_->Close();
  return Finish(kStatusCmpl);
}

int SocketDriver::ibwrt(int ud, const void* buf, long cnt) {
  if (const std::optional<int> refused = Refuse(ud, buf, cnt)) return *refused;
  NewMessage();
  if (const LinkResult error = reader_.RefuseUnasked(resource_)) return FailWith(*error);
  std::string message(static_cast<const char*>(buf), static_cast<std::size_t>(cnt));
  message += kLineEnd;
  if (const LinkResult error = link_->Write(message, timeout_s_)) return FailWith(*error);
  return Finish(kStatusCmpl, 0, cnt);
}

int SocketDriver::ibrd(int ud, void* buf, long cnt) {
  if (const std::optional<int> refused = Refuse(ud, buf, cnt)) return *refused;
  if (cnt == 0) return Finish(kStatusCmpl);
  if (!in_reply_) {
    in_reply_ = true;
    reply_deadline_ = Deadline();
  }
  return HandOut(buf, cnt, {}, [this] {
    return fmt::format("no whole reply from {} within {:g} s", resource_, timeout_s_);
  });
}

}  // namespace tarnwick::drivers
