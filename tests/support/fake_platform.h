// A platform on a virtual clock: sleeping advances time at once, and a test
// can act at every sleep (the window's sleep is where it handles its events).
#ifndef TARNWICK_TESTS_SUPPORT_FAKE_PLATFORM_H_
#define TARNWICK_TESTS_SUPPORT_FAKE_PLATFORM_H_

#include <functional>

#include "bus/platform.h"

namespace tarnwick::testing {

class FakePlatform : public Platform {
 public:
  void SleepMs(int milliseconds) override {
    now_ += milliseconds / 1000.0;
    ++sleeps;
    if (onSleep) onSleep();
  }
  double NowSeconds() override { return now_; }

  void Advance(double seconds) { now_ += seconds; }

  std::function<void()> onSleep;
  int sleeps = 0;

 private:
  double now_ = 1000.0;  // not zero, so nothing relies on a zero start
};

}  // namespace tarnwick::testing

#endif  // TARNWICK_TESTS_SUPPORT_FAKE_PLATFORM_H_
