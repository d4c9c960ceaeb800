#include "drivers/prologix_driver.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <utility>

#include <fmt/format.h>

#include "drivers/prologix_protocol.h"

namespace tarnwick::drivers {
namespace {

namespace p = prologix;

constexpr int kBoard = 0;
constexpr int kDevice = 1;

// Every Prologix-style adaptor and its clones name themselves a GPIB
// controller in their version reply; anything else is not one.
bool LooksLikeAdaptor(std::string_view reply) {
  std::string upper(reply);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper.find("GPIB") != std::string::npos;
}

std::string AddressArgument(int pad, int sad) {
  return sad == 0 ? std::to_string(pad) : fmt::format("{} {}", pad, sad);
}

}  // namespace

PrologixDriver::PrologixDriver(std::unique_ptr<ByteLink> link, std::string resource)
    : link_(std::move(link)), resource_(std::move(resource)) {}

int PrologixDriver::ibdev(int board, int pad, int sad, int tmo, int /*eot*/, int /*eos*/) {
  if (board != kBoard) return Fail(ENEB, fmt::format("{} has only board 0", resource_)), -1;
  if (pad < 0 || pad > kMaxPrimaryAddress || (sad != 0 && (sad < 96 || sad > 126))) {
    return Fail(EARG, {}), -1;
  }
  timeout_s_ = TimeoutSeconds(tmo);
  if (!link_->IsOpen()) {
    if (const LinkResult error = link_->Open(timeout_s_)) return FailWith(*error), -1;
    if (!SetUp(pad, sad)) return -1;
  } else if (pad != pad_ || sad != sad_) {
    const LinkResult error = link_->Write(p::CommandLine(p::kAddress, AddressArgument(pad, sad)),
                                          timeout_s_);
    if (error) return FailWith(*error), -1;
  }
  pad_ = pad;
  sad_ = sad;
  device_open_ = true;
  received_.clear();
  Finish(kStatusCmpl);
  return kDevice;
}

bool PrologixDriver::SetUp(int pad, int sad) {
  // One write for the whole set-up, and the version reply tells that the
  // adaptor took every line before it.
  const std::string setup = p::CommandLine(p::kMode, p::kControllerMode) +
                            p::CommandLine(p::kAuto, p::kAutoOff) +
                            p::CommandLine(p::kEoi, p::kEoiOn) +
                            p::CommandLine(p::kEos, p::kEosNone) +
                            p::CommandLine(p::kAddress, AddressArgument(pad, sad)) +
                            p::CommandLine(p::kVersion);
  received_.clear();
  LinkResult error = link_->Write(setup, timeout_s_);
  if (!error) error = ReadLine();
  if (error && error->gpibError == EABO) {
    error->text = fmt::format("nothing answered \"++{}\" at {} within {:g} s; is it a "
                              "Prologix-style GPIB adaptor?", p::kVersion, resource_, timeout_s_);
  }
  std::string reply = received_.substr(0, received_.find_last_not_of("\r\n") + 1);
  received_.clear();
  if (!error && !LooksLikeAdaptor(reply)) {
    error = LinkError{EDVR, fmt::format("{} answered \"++{}\" with \"{}\", not as a Prologix-style "
                                        "GPIB adaptor", resource_, p::kVersion, reply)};
  }
  if (error) {
    link_->Close();
    FailWith(*error);
    return false;
  }
  version_ = std::move(reply);
  return true;
}

LinkResult PrologixDriver::ReadLine() {
  while (received_.find(p::kLineEnd) == std::string::npos) {
    if (LinkResult error = link_->ReadSome(received_, timeout_s_)) return error;
  }
  return std::nullopt;
}

int PrologixDriver::FailWith(const LinkError& error) {
  const int32_t status = kStatusErr | (error.gpibError == EABO ? kStatusTimo : 0);
  return Finish(status, error.gpibError, 0, error.text);
}

int PrologixDriver::ibonl(int ud, int v) {
  if (ud == kBoard) return Finish(kStatusCmpl);
  if (ud != kDevice || !device_open_) return Fail(EDVR, "not an open device descriptor");
  if (v != 0) return Finish(kStatusCmpl);
  device_open_ = false;
  pad_ = -1;
  received_.clear();
  const LinkResult error = link_->Write(p::CommandLine(p::kLocal), timeout_s_);
  link_->Close();
  return error ? FailWith(*error) : Finish(kStatusCmpl);
}

int PrologixDriver::ibwrt(int ud, const void* buf, long cnt) {
  if (ud != kDevice || !device_open_) return Fail(EDVR, "not an open device descriptor");
  if (cnt < 0 || (buf == nullptr && cnt > 0)) return Fail(EARG, {});
  // A new message ends interest in whatever of the last reply was not read.
  received_.clear();
  const std::string_view data(static_cast<const char*>(buf), static_cast<std::size_t>(cnt));
  if (const LinkResult error = link_->Write(p::DataLine(data), timeout_s_)) return FailWith(*error);
  return Finish(kStatusCmpl, 0, cnt);
}

int PrologixDriver::ibrd(int ud, void* buf, long cnt) {
  if (ud != kDevice || !device_open_) return Fail(EDVR, "not an open device descriptor");
  if (cnt < 0 || (buf == nullptr && cnt > 0)) return Fail(EARG, {});
  if (received_.empty()) {
    LinkResult error = link_->Write(p::CommandLine(p::kRead, p::kUntilEoi), timeout_s_);
    if (!error) error = ReadLine();
    if (error) {
      received_.clear();
      return FailWith(*error);
    }
  }
  // The analyser ends every reply with LF and END together.
  const std::size_t reply = std::min(received_.find(p::kLineEnd) + 1, received_.size());
  const std::size_t n = std::min(reply, static_cast<std::size_t>(cnt));
  if (n > 0) std::memcpy(buf, received_.data(), n);
  received_.erase(0, n);
  return Finish(n == reply ? (kStatusCmpl | kStatusEnd) : kStatusCmpl, 0, static_cast<long>(n));
}

}  // namespace tarnwick::drivers
