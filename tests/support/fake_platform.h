// A platform on a virtual clock: sleeping advances time instantly, messages
// are recorded, and ending the program throws ProgramEnded.
#ifndef TARNWICK_TESTS_SUPPORT_FAKE_PLATFORM_H_
#define TARNWICK_TESTS_SUPPORT_FAKE_PLATFORM_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "bus/platform.h"

namespace tarnwick::testing {

struct ProgramEnded {};

class FakePlatform : public Platform {
 public:
  void SleepMs(int milliseconds) override {
    now_ += milliseconds / 1000.0;
    ++sleeps;
  }
  double NowSeconds() override { return now_; }
  void PumpEvents() override {
    ++pumps;
    if (onPump) onPump();
  }
  void CriticalMessage(std::string_view text) override { messages.emplace_back(text); }
  [[noreturn]] void EndProgram() override { throw ProgramEnded{}; }

  void Advance(double seconds) { now_ += seconds; }

  std::function<void()> onPump;
  std::vector<std::string> messages;
  int sleeps = 0;
  int pumps = 0;

 private:
  double now_ = 1000.0;  // not zero, so nothing relies on a zero start
};

}  // namespace tarnwick::testing

#endif  // TARNWICK_TESTS_SUPPORT_FAKE_PLATFORM_H_
