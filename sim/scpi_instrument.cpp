#include "sim/scpi_instrument.h"

#include <utility>

namespace tarnwick::sim {

ScpiInstrument::ScpiInstrument(Scene scene, Platform& platform)
    : driver_(scene, platform, Language::kScpi) {
  ud_ = driver_.ibdev(0, scene.address, 0, kTimeout10s, 1, 0);
}

std::string ScpiInstrument::Receive(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    if (overflowed_) break;
    if (c != '\n') {
      line_ += c;
      overflowed_ = line_.size() > kMaxLineBytes;
      continue;
    }
    const std::string line = std::exchange(line_, {});
    ++lines_;
    driver_.ibwrt(ud_, line.data(), static_cast<long>(line.size()));
    out += driver_.TakeReply(ud_);
  }
  return out;
}

}  // namespace tarnwick::sim
