#include "drivers/visa_driver.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <utility>

#include <fmt/format.h>

#include "drivers/shared_library.h"
#include "drivers/visa_api.h"
#include "text/quote.h"

namespace tarnwick::drivers {
namespace {

constexpr int kBoard = 0;
constexpr int kDevice = 1;  // the one session, as a small descriptor
constexpr char kSocketSuffix[] = "::SOCKET";

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  text.remove_prefix(text.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != suffix[i]) return false;
  }
  return true;
}

std::string WaysOut() { return LibraryWaysOut("VISA library", "--visa-library", kVisaLibraryEnv); }

}  // namespace

std::vector<std::string> VisaLibraryCandidates(const std::string& explicitPath) {
#ifdef _WIN32
  return LibraryCandidates(explicitPath, kVisaLibraryEnv, {"visa64.dll", "visa32.dll"});
#else
  return LibraryCandidates(explicitPath, kVisaLibraryEnv,
                           {"libvisa.so.0", "libvisa.so", "librsvisa.so"});
#endif
}

struct VisaDriver::Binding {
  std::unique_ptr<SharedLibrary> library;
  std::string path;
  visa::OpenDefaultRMFn openDefaultRM = nullptr;
  visa::OpenFn open = nullptr;
  visa::CloseFn close = nullptr;
  visa::SetAttributeFn setAttribute = nullptr;
  visa::WriteFn write = nullptr;
  visa::ReadFn read = nullptr;
  visa::StatusDescFn statusDesc = nullptr;
  visa::ViSession rm = visa::kNull;
  visa::ViSession vi = visa::kNull;
};

VisaDriver::VisaDriver(std::vector<std::string> candidates, std::string resource)
    : candidates_(std::move(candidates)),
      resource_(std::move(resource)),
      socket_(EndsWithNoCase(resource_, kSocketSuffix)) {}

VisaDriver::~VisaDriver() {
  if (!binding_) return;
  if (binding_->vi != visa::kNull) binding_->close(binding_->vi);
  if (binding_->rm != visa::kNull) binding_->close(binding_->rm);
}

std::optional<std::string> VisaDriver::Load() {
  if (binding_) return std::nullopt;
  if (!load_error_.empty()) return load_error_;
  std::string firstError;
  for (const std::string& path : candidates_) {
    auto library = std::make_unique<SharedLibrary>(path);
    if (!library->is_open()) {
      if (firstError.empty()) firstError = library->error();
      continue;
    }
    auto b = std::make_unique<Binding>();
    b->openDefaultRM = library->Function<visa::OpenDefaultRMFn>("viOpenDefaultRM");
    b->open = library->Function<visa::OpenFn>("viOpen");
    b->close = library->Function<visa::CloseFn>("viClose");
    b->setAttribute = library->Function<visa::SetAttributeFn>("viSetAttribute");
    b->write = library->Function<visa::WriteFn>("viWrite");
    b->read = library->Function<visa::ReadFn>("viRead");
    b->statusDesc = library->Function<visa::StatusDescFn>("viStatusDesc");
    const std::pair<const char*, bool> needed[] = {
        {"viOpenDefaultRM", b->openDefaultRM != nullptr}, {"viOpen", b->open != nullptr},
        {"viClose", b->close != nullptr}, {"viSetAttribute", b->setAttribute != nullptr},
        {"viWrite", b->write != nullptr}, {"viRead", b->read != nullptr},
        {"viStatusDesc", b->statusDesc != nullptr}};
    for (const auto& [name, found] : needed) {
      if (!found) {
        load_error_ = fmt::format("Cannot load the VISA library {}: it has no function {}.\n{}",
                                  CutForMessage(path, kQuotedPathLength), name, WaysOut());
        return load_error_;
      }
    }
    b->library = std::move(library);
    b->path = path;
    binding_ = std::move(b);
    return std::nullopt;
  }
  std::string reason = firstError.empty() ? std::string("no library to try") : firstError;
  for (std::size_t i = 1; i < candidates_.size(); ++i) {
    reason += (i == 1 ? "; also tried " : " ") + candidates_[i];
  }
  load_error_ = fmt::format(
      "Cannot load the VISA library {}: {}.\n{}",
      CutForMessage(candidates_.empty() ? "(none)" : candidates_.front(), kQuotedPathLength),
      CutForMessage(reason, kQuotedPathLength), WaysOut());
  return load_error_;
}

VisaDriver::Binding* VisaDriver::Bound() {
  if (!binding_) Load();
  return binding_.get();
}

int VisaDriver::FinishVisa(int32_t status, long count, bool end) {
  if (status >= visa::kSuccess) {
    return Finish(end ? (kStatusCmpl | kStatusEnd) : kStatusCmpl, 0, count);
  }
  Binding& b = *binding_;
  char desc[visa::kStatusDescSize] = {};
  b.statusDesc(b.vi != visa::kNull ? b.vi : b.rm, status, desc);
  // The library's words are text from outside like any other, and need not
  // end in time.
  const std::string_view words(desc, std::find(desc, desc + sizeof desc, '\0') - desc);
  const std::string text = fmt::format("{} (VISA status 0x{:08X})",
                                       CutForMessage(words, kQuotedPathLength),
                                       static_cast<uint32_t>(status));
  if (status == visa::kErrorTimeout) return Finish(kStatusErr | kStatusTimo, EABO, count, text);
  if (status == visa::kErrorNoListeners) return Finish(kStatusErr, ENOL, count, text);
  return Finish(kStatusErr, EDVR, count, text);
}

int VisaDriver::ibdev(int /*board*/, int /*pad*/, int /*sad*/, int tmo, int eot, int /*eos*/) {
  if (Bound() == nullptr) return Fail(EDVR, load_error_), -1;
  Binding& b = *binding_;
  if (b.rm == visa::kNull) {
    const visa::ViStatus status = b.openDefaultRM(&b.rm);
    if (status < visa::kSuccess) {
      b.rm = visa::kNull;
      return FinishVisa(status, 0, false), -1;
    }
  }
  if (b.vi != visa::kNull) b.close(b.vi);
  b.vi = visa::kNull;
  const auto timeoutMs = static_cast<visa::ViUInt32>(TimeoutSeconds(tmo) * 1000);
  visa::ViSession vi = visa::kNull;
  visa::ViStatus status = b.open(b.rm, resource_.c_str(), 0, timeoutMs, &vi);
  if (status < visa::kSuccess) return FinishVisa(status, 0, false), -1;
  b.vi = vi;
  status = b.setAttribute(vi, visa::kAttrTimeoutValue, timeoutMs);
  if (status >= visa::kSuccess) {
    status = b.setAttribute(vi, visa::kAttrSendEndEnable, eot != 0 ? visa::kTrue : 0);
  }
  if (status >= visa::kSuccess && socket_) {
    status = b.setAttribute(vi, visa::kAttrTermChar, '\n');
    if (status >= visa::kSuccess) status = b.setAttribute(vi, visa::kAttrTermCharEnable, visa::kTrue);
  }
  if (status < visa::kSuccess) {
    FinishVisa(status, 0, false);
    b.close(vi);
    b.vi = visa::kNull;
    return -1;
  }
  Finish(kStatusCmpl);
  return kDevice;
}

int VisaDriver::ibonl(int ud, int v) {
  if (Bound() == nullptr) return Fail(EDVR, load_error_);
  Binding& b = *binding_;
  if (v != 0) return Finish(kStatusCmpl);
  visa::ViSession& session = ud == kBoard ? b.rm : b.vi;
  if (ud != kBoard && ud != kDevice) return Fail(EDVR, "not a descriptor of this driver");
  if (session == visa::kNull) return Finish(kStatusCmpl);
  const visa::ViStatus status = b.close(session);
  session = visa::kNull;
  if (ud == kBoard) b.vi = visa::kNull;  // closing the manager closed its sessions too
  return FinishVisa(status, 0, false);
}

int VisaDriver::ibtmo(int ud, int v) {
  if (Bound() == nullptr) return Fail(EDVR, load_error_);
  Binding& b = *binding_;
  if (ud != kDevice || b.vi == visa::kNull) return Fail(EDVR, "not an open device descriptor");
  if (!IsTimeoutCode(v)) return Fail(EARG, {});
  const auto timeoutMs = static_cast<visa::ViUInt32>(TimeoutSeconds(v) * 1000);
  return FinishVisa(b.setAttribute(b.vi, visa::kAttrTimeoutValue, timeoutMs), 0, false);
}

int VisaDriver::ibwrt(int ud, const void* buf, long cnt) {
  if (Bound() == nullptr) return Fail(EDVR, load_error_);
  Binding& b = *binding_;
  if (ud != kDevice || b.vi == visa::kNull) return Fail(EDVR, "not an open device descriptor");
  if (cnt < 0 || (buf == nullptr && cnt > 0)) return Fail(EARG, {});
  std::string message(static_cast<const char*>(buf), static_cast<std::size_t>(cnt));
  if (socket_) message += '\n';  // a raw socket has no END: the LF ends the message
  visa::ViUInt32 written = 0;
  const visa::ViStatus status =
      b.write(b.vi, reinterpret_cast<const unsigned char*>(message.data()),
              static_cast<visa::ViUInt32>(message.size()), &written);
  // The caller's count: the added LF is ours.
  const long count = std::min<long>(cnt, static_cast<long>(written));
  return FinishVisa(status, count, false);
}

int VisaDriver::ibrd(int ud, void* buf, long cnt) {
  if (Bound() == nullptr) return Fail(EDVR, load_error_);
  Binding& b = *binding_;
  if (ud != kDevice || b.vi == visa::kNull) return Fail(EDVR, "not an open device descriptor");
  if (cnt < 0 || (buf == nullptr && cnt > 0)) return Fail(EARG, {});
  visa::ViUInt32 received = 0;
  const visa::ViStatus status = b.read(b.vi, static_cast<unsigned char*>(buf),
                                       static_cast<visa::ViUInt32>(cnt), &received);
  // Success means END (or, on a socket, the LF); a full buffer is not the end.
  const bool end = status == visa::kSuccess || status == visa::kSuccessTermChar;
  return FinishVisa(status, static_cast<long>(received), end);
}

}  // namespace tarnwick::drivers
