#include "drivers/socket_driver.h"

#include <cstring>
#include <string_view>
#include <utility>

#include <fmt/format.h>

#include "text/quote.h"

namespace tarnwick::drivers {
namespace {


}  // namespace

SocketDriver::SocketDriver(std::unique_ptr<ByteLink> link, std::string resource,
                           Platform& platform)
    : link_(std::move(link)),
      resource_(CutForMessage(resource, kQuotedPathLength)),
      platform_(platform),
      reader_(*link_, platform) {
  link_->SetStopCheck([&platform] { return platform.StopRequested(); });
}

std::string SocketDriver::Description() const { return "raw socket, " + resource_; }

int SocketDriver::ibdev(int board, int /*pad*/, int /*sad*/, int tmo, int /*eot*/, int /*eos*/) {
  if (board != kBoard) return Fail(ENEB, fmt::format("{} has only board 0", resource_)), -1;
  timeout_s_ = TimeoutSeconds(tmo);
  if (!link_->IsOpen()) {
    reader_.Reset();
    if (const LinkResult error = link_->Open(timeout_s_)) return FailWith(*error), -1;
  }
  device_open_ = true;
  in_reply_ = false;
  Finish(kStatusCmpl);
  return kDevice;
}

int SocketDriver::ibonl(int ud, int v) {
  if (ud == kBoard) return Finish(kStatusCmpl);
  if (ud != kDevice || !device_open_) return Fail(EDVR, "not an open device descriptor");
  if (v != 0) return Finish(kStatusCmpl);
  device_open_ = false;
  in_reply_ = false;
  link_->Close();
  return Finish(kStatusCmpl);
}

int SocketDriver::ibwrt(int ud, const void* buf, long cnt) {
  if (const std::optional<int> refused = Refuse(ud, buf, cnt)) return *refused;
  // A new message ends interest in whatever of the last reply was not read.
  if (in_reply_) reader_.SkipLine();
  in_reply_ = false;
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
    reply_deadline_ = timeout_s_ > 0 ? platform_.NowSeconds() + timeout_s_ : kNoDeadline;
  }
  LineReader::Wait wait;
  wait.deadline = reply_deadline_;
  wait.cap = static_cast<std::size_t>(cnt);
  std::string piece;
  if (LinkResult error = reader_.Read(piece, wait)) {
    in_reply_ = false;
    if (error->gpibError == EABO && !error->stopped) {
      error->text = fmt::format("no whole reply from {} within {:g} s", resource_, timeout_s_);
    }
    return FailWith(*error);
  }
  const bool end = piece.back() == kLineEnd;
  if (end) in_reply_ = false;
  std::memcpy(buf, piece.data(), piece.size());
  return Finish(end ? (kStatusCmpl | kStatusEnd) : kStatusCmpl, 0, static_cast<long>(piece.size()));
}

}  // namespace tarnwick::drivers
