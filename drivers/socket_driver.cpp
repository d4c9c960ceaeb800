#include "drivers/socket_driver.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string_view>
#include <utility>

#include <fmt/format.h>

namespace tarnwick::drivers {
namespace {

constexpr int kBoard = 0;
constexpr int kDevice = 1;
constexpr char kLineEnd = '\n';

}  // namespace

SocketDriver::SocketDriver(std::unique_ptr<ByteLink> link, std::string resource)
    : link_(std::move(link)), resource_(std::move(resource)) {}

std::string SocketDriver::Description() const { return "Tarnwick's raw socket link"; }

int SocketDriver::ibdev(int board, int /*pad*/, int /*sad*/, int tmo, int /*eot*/, int /*eos*/) {
  if (board != kBoard) return Fail(ENEB, fmt::format("{} has only board 0", resource_)), -1;
  timeout_s_ = TimeoutSeconds(tmo);
  if (const LinkResult error = link_->Open(timeout_s_)) return FailWith(*error), -1;
  device_open_ = true;
  received_.clear();
  Finish(kStatusCmpl);
  return kDevice;
}

int SocketDriver::FailWith(const LinkError& error) {
  const int32_t status = kStatusErr | (error.gpibError == EABO ? kStatusTimo : 0);
  return Finish(status, error.gpibError, 0, error.text);
}

int SocketDriver::ibonl(int ud, int v) {
  if (ud == kBoard) return Finish(kStatusCmpl);
  if (ud != kDevice || !device_open_) return Fail(EDVR, "not an open device descriptor");
  if (v != 0) return Finish(kStatusCmpl);
  device_open_ = false;
  received_.clear();
  link_->Close();
  return Finish(kStatusCmpl);
}

int SocketDriver::ibwrt(int ud, const void* buf, long cnt) {
  if (ud != kDevice || !device_open_) return Fail(EDVR, "not an open device descriptor");
  if (cnt < 0 || (buf == nullptr && cnt > 0)) return Fail(EARG, {});
  received_.clear();
  std::string message(static_cast<const char*>(buf), static_cast<std::size_t>(cnt));
  message += kLineEnd;
  if (const LinkResult error = link_->Write(message, timeout_s_)) return FailWith(*error);
  return Finish(kStatusCmpl, 0, cnt);
}

// The one read loop: one deadline for the whole reply, and no more than
// cap bytes asked for before it is handed out.
LinkResult SocketDriver::ReadReply(std::size_t cap) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(timeout_s_));
  while (received_.find(kLineEnd) == std::string::npos && received_.size() < cap) {
    const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
    if (left <= 0) {
      return LinkError{EABO, fmt::format("no reply from {} within {:g} s", resource_, timeout_s_)};
    }
    if (LinkResult error = link_->ReadSome(received_, left)) return error;
  }
  return std::nullopt;
}

int SocketDriver::ibrd(int ud, void* buf, long cnt) {
  if (ud != kDevice || !device_open_) return Fail(EDVR, "not an open device descriptor");
  if (cnt < 0 || (buf == nullptr && cnt > 0)) return Fail(EARG, {});
  if (const LinkResult error = ReadReply(static_cast<std::size_t>(cnt))) {
    received_.clear();
    return FailWith(*error);
  }
  const std::size_t lineEnd = received_.find(kLineEnd);
  const bool whole = lineEnd != std::string::npos;
  const std::size_t reply = whole ? lineEnd + 1 : received_.size();
  const std::size_t n = std::min(reply, static_cast<std::size_t>(cnt));
  if (n > 0) std::memcpy(buf, received_.data(), n);
  const bool end = whole && n == reply;
  received_.erase(0, n);
  return Finish(end ? (kStatusCmpl | kStatusEnd) : kStatusCmpl, 0, static_cast<long>(n));
}

}  // namespace tarnwick::drivers
