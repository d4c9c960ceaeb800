#include "bus/status_words.h"

#include <array>
#include <utility>

namespace tarnwick {

int StatusWordDriver::RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err, int32_t* cnt,
                                                   int32_t* cntl) {
  if (sta == nullptr || err == nullptr || cnt == nullptr || cntl == nullptr) return 3;
  if (WordsRegistered()) return 1;
  sta_ = sta;
  err_ = err;
  cnt_ = cnt;
  cntl_ = cntl;
  return 0;
}

int StatusWordDriver::UnregisterGpibGlobalsForThread() {
  sta_ = err_ = cnt_ = cntl_ = nullptr;
  return 0;
}

int StatusWordDriver::ibtmo(int /*ud*/, int /*v*/) {
  return Finish(kStatusErr, ECAP, 0, "its time limit is fixed");
}

void StatusWordDriver::Note(std::string_view text) {
  if (!note_.empty()) note_ += "; ";
  note_ += text;
}

int StatusWordDriver::Finish(int32_t status, int32_t error, long count, std::string text) {
  last_error_text_ = (status & kStatusErr) != 0 ? std::move(text) : std::string();
  last_note_ = std::exchange(note_, {});
  if (WordsRegistered()) {
    *sta_ = status;
    *err_ = error;
    *cnt_ = static_cast<int32_t>(count);
    *cntl_ = static_cast<int32_t>(count);
  }
  return status;
}

namespace {

// T10us .. T1000s, in the driver's 1-3-10 steps.
constexpr std::array<double, 18> kTimeoutCodeSeconds = {
    0,    10e-6, 30e-6, 100e-6, 300e-6, 1e-3, 3e-3, 10e-3, 30e-3,
    0.1,  0.3,   1,     3,      10,     30,   100,  300,   1000};

}  // namespace

bool IsTimeoutCode(int code) {
  return code >= 0 && code < static_cast<int>(kTimeoutCodeSeconds.size());
}

double TimeoutSeconds(int code) {
  if (!IsTimeoutCode(code)) return kTimeoutCodeSeconds[kTimeout10s];
  return kTimeoutCodeSeconds[static_cast<std::size_t>(code)];
}

int16_t LowWordToInt(int32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFFu));
}

}  // namespace tarnwick
