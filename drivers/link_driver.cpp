#include "drivers/link_driver.h"

#include <cstring>
#include <utility>

#include "text/quote.h"

namespace tarnwick::drivers {

LinkDriver::LinkDriver(std::unique_ptr<ByteLink> link, std::string resource, Platform& platform)
    : link_(std::move(link)),
      resource_(CutForMessage(resource, kQuotedPathLength)),
      platform_(platform),
      reader_(*link_, platform) {
  link_->SetStopCheck([&platform] { return platform.StopRequested(); });
}

int LinkDriver::FailWith(const LinkError& error) {
  const int32_t status = kStatusErr | (error.gpibError == EABO ? kStatusTimo : 0);
  return Finish(status, error.gpibError, 0, error.text);
}

int LinkDriver::ibtmo(int ud, int v) {
  if (const std::optional<int> refused = Refuse(ud, nullptr, 0)) return *refused;
  if (!IsTimeoutCode(v)) return Fail(EARG, {});
  timeout_s_ = TimeoutSeconds(v);
  return Finish(kStatusCmpl);
}

std::optional<int> LinkDriver::Refuse(int ud, const void* buf, long cnt) {
  if (ud != kDevice || !device_open_) return Fail(EDVR, "not an open device descriptor");
  if (cnt < 0 || (buf == nullptr && cnt > 0)) return Fail(EARG, {});
  return std::nullopt;
}

std::optional<int> LinkDriver::NoDeviceToTakeOffline(int ud, int v) {
  if (ud == kBoard) return Finish(kStatusCmpl);
  if (ud != kDevice || !device_open_) return Fail(EDVR, "not an open device descriptor");
  if (v != 0) return Finish(kStatusCmpl);
  return std::nullopt;
}

int LinkDriver::Opened() {
  device_open_ = true;
  in_reply_ = false;
  Finish(kStatusCmpl);
  return kDevice;
}

void LinkDriver::NewMessage() {
  if (in_reply_) reader_.SkipLine();
  in_reply_ = false;
}

double LinkDriver::Deadline() const {
  return timeout_s_ > 0 ? platform_.NowSeconds() + timeout_s_ : kNoDeadline;
}

int LinkDriver::HandOut(void* buf, long cnt, LineReader::Wait wait,
                        const std::function<std::string()>& late) {
  wait.deadline = reply_deadline_;
  wait.cap = static_cast<std::size_t>(cnt);
  std::string piece;
  if (LinkResult error = reader_.Read(piece, wait)) {
    in_reply_ = false;
    if (error->gpibError == EABO && !error->stopped) error->text = late();
    return FailWith(*error);
  }
  // The analyser ends every reply with LF, and END goes with it.
  const bool end = piece.back() == kLineEnd;
  if (end) in_reply_ = false;
  std::memcpy(buf, piece.data(), piece.size());
  return Finish(end ? (kStatusCmpl | kStatusEnd) : kStatusCmpl, 0, static_cast<long>(piece.size()));
}

}  // namespace tarnwick::drivers
