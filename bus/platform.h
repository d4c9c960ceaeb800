// The seam to the operating system: time, sleep, the window's event pump and
// the operator messages. The programs provide real ones; tests provide one on
// a virtual clock so that a ten-second timeout passes in microseconds.
#ifndef TARNWICK_BUS_PLATFORM_H_
#define TARNWICK_BUS_PLATFORM_H_

#include <cstdlib>
#include <string_view>

namespace tarnwick {

class Platform {
 public:
  virtual ~Platform() = default;

  virtual void SleepMs(int milliseconds) = 0;
  // Seconds on a steady clock; only differences mean anything.
  virtual double NowSeconds() = 0;
  // Lets the window handle whatever events are pending, then returns.
  virtual void PumpEvents() = 0;
  // A modal message with the critical-error icon, titled with the product name.
  virtual void CriticalMessage(std::string_view text) = 0;
  // Ends the program after a fatal message. Never returns to the caller: an
  // implementation that cannot exit on the spot throws instead.
  [[noreturn]] virtual void EndProgram() = 0;
};

// Ends the program through platform. The compiler does not trust [[noreturn]]
// through a virtual call, and nothing after a fatal message may run.
[[noreturn]] inline void EndProgramVia(Platform& platform) {
  platform.EndProgram();
  std::abort();
}

// Sleep and clock of the real machine; messages and the end are left to the
// program that uses it.
class SystemPlatform : public Platform {
 public:
  void SleepMs(int milliseconds) override;
  double NowSeconds() override;
};

}  // namespace tarnwick

#endif  // TARNWICK_BUS_PLATFORM_H_
