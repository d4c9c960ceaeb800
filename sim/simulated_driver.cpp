#include "sim/simulated_driver.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "sim/analyzer_model.h"
#include "sim/scpi_parser.h"

namespace tarnwick::sim {
namespace {

constexpr int kBoardDescriptor = 0;
// Secondary addresses are 0 (none) or 96..126.
constexpr int kFirstSecondaryAddress = 96;
constexpr int kLastSecondaryAddress = 126;

}  // namespace

SimulatedDriver::SimulatedDriver(Scene scene, Platform& platform, Language language)
    : address_(scene.address),
      silent_after_(scene.silentAfter),
      first_registration_(scene.registration) {
  model_ = std::make_unique<AnalyzerModel>(std::move(scene), platform);
  SetLanguage(language);
}

SimulatedDriver::~SimulatedDriver() = default;

void SimulatedDriver::SetLanguage(Language language) {
  if (language == Language::kScpi) {
    if (!scpi_) scpi_ = std::make_unique<ScpiParser>(*model_);
  } else {
    scpi_.reset();
  }
}

int SimulatedDriver::RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err, int32_t* cnt,
                                                  int32_t* cntl) {
  int answer = 0;
  if (!registration_answered_) {
    registration_answered_ = true;
    answer = first_registration_;
  } else if (WordsRegistered()) {
    answer = 1;  // already registered; the words already in place stay
  }
  if (sta == nullptr || err == nullptr || cnt == nullptr || cntl == nullptr) return 3;
  if ((answer == 0 || answer == 1) && !WordsRegistered()) {
    StatusWordDriver::RegisterGpibGlobalsForThread(sta, err, cnt, cntl);
  }
  return answer;
}

int SimulatedDriver::ibdev(int board, int pad, int sad, int tmo, int /*eot*/, int /*eos*/) {
  if (board != 0) {
    Finish(kStatusErr, ENEB, 0);
    return -1;
  }
  const bool sadValid =
      sad == 0 || (sad >= kFirstSecondaryAddress && sad <= kLastSecondaryAddress);
  if (pad < 0 || pad > kMaxPrimaryAddress || !sadValid || !IsTimeoutCode(tmo)) {
    Finish(kStatusErr, EARG, 0);
    return -1;
  }
  // Reuse the lowest free descriptor, so every run of a session gets the same.
  auto slot = std::find(devices_.begin(), devices_.end(), std::nullopt);
  if (slot == devices_.end()) slot = devices_.insert(devices_.end(), std::nullopt);
  *slot = Device{pad, sad};
  Finish(kStatusCmpl, 0, 0);
  return static_cast<int>(slot - devices_.begin()) + 1;
}

int SimulatedDriver::ibonl(int ud, int v) {
  if (ud == kBoardDescriptor) return Finish(kStatusCmpl, 0, 0);
  if (Find(ud) == nullptr) return Finish(kStatusErr, EDVR, 0);
  // Offline gives the descriptor back, as a real driver does.
  if (v == 0) devices_[static_cast<std::size_t>(ud - 1)].reset();
  return Finish(kStatusCmpl, 0, 0);
}

int SimulatedDriver::ibtmo(int ud, int v) {
  if (Find(ud) == nullptr) return Finish(kStatusErr, EDVR, 0);
  if (!IsTimeoutCode(v)) return Finish(kStatusErr, EARG, 0);
  return Finish(kStatusCmpl, 0, 0);
}

int SimulatedDriver::ibwrt(int ud, const void* buf, long cnt) {
  // The program never addresses listeners itself, so a board-level write has
  // nobody to go to.
  if (ud == kBoardDescriptor) return Finish(kStatusErr, ENOL, 0);
  const Device* device = Find(ud);
  if (device == nullptr) return Finish(kStatusErr, EDVR, 0);
  if (cnt < 0 || (buf == nullptr && cnt > 0)) return Finish(kStatusErr, EARG, 0);
  if (!Listens(*device)) return Finish(kStatusErr, ENOL, 0);

  // A new message discards whatever of the last reply was not read.
  unread_.clear();
  const std::string_view text(static_cast<const char*>(buf), static_cast<std::size_t>(cnt));
  if (auto reply = scpi_ ? scpi_->Execute(text) : model_->Execute(text)) {
    if (!silent_after_ || answered_ < *silent_after_) {
      unread_ = std::move(*reply);
      ++answered_;
    }
  }
  return Finish(kStatusCmpl, 0, cnt);
}

int SimulatedDriver::ibrd(int ud, void* buf, long cnt) {
  if (ud != kBoardDescriptor && Find(ud) == nullptr) return Finish(kStatusErr, EDVR, 0);
  if (cnt < 0 || (buf == nullptr && cnt > 0)) return Finish(kStatusErr, EARG, 0);
  // Nobody talks: the board, an address nobody listens at, or nothing to say.
  // A real board would wait out the time limit first; waiting here would only
  // slow every test and bench down.
  const Device* device = Find(ud);
  if (device == nullptr || !Listens(*device) || unread_.empty()) {
    return Finish(kStatusErr | kStatusTimo, EABO, 0);
  }

  const std::size_t n = std::min(static_cast<std::size_t>(cnt), unread_.size());
  if (n > 0) std::memcpy(buf, unread_.data(), n);
  unread_.erase(0, n);
  // END goes with the reply's last byte; a short buffer leaves the rest for
  // the next read.
  const int32_t status = unread_.empty() ? (kStatusCmpl | kStatusEnd) : kStatusCmpl;
  return Finish(status, 0, static_cast<long>(n));
}

std::string SimulatedDriver::TakeReply(int ud) {
  const Device* device = Find(ud);
  if (device == nullptr || !Listens(*device)) return {};
  return std::exchange(unread_, {});
}

SimulatedDriver::Device* SimulatedDriver::Find(int ud) {
  if (ud <= 0 || static_cast<std::size_t>(ud) > devices_.size()) return nullptr;
  auto& slot = devices_[static_cast<std::size_t>(ud - 1)];
  return slot ? &*slot : nullptr;
}

bool SimulatedDriver::Listens(const Device& device) const {
  return device.pad == address_ && device.sad == 0;
}

}  // namespace tarnwick::sim
