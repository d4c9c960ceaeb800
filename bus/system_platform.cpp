#include <chrono>
#include <thread>

#include "bus/platform.h"

namespace tarnwick {

void SystemPlatform::SleepMs(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

double SystemPlatform::NowSeconds() {
  using Seconds = std::chrono::duration<double>;
  return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace tarnwick
