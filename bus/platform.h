// The seam to the operating system the core needs: a clock, a sleep and the
// stop check. The programs provide real ones (the window's sleep lets it
// handle its events); tests provide one on a virtual clock so that a
// ten-second timeout passes in microseconds.
#ifndef TARNWICK_BUS_PLATFORM_H_
#define TARNWICK_BUS_PLATFORM_H_

#include <functional>
#include <utility>

namespace tarnwick {

class Platform {
 public:
  virtual ~Platform() = default;

  virtual void SleepMs(int milliseconds) = 0;
  // Seconds on a steady clock; only differences mean anything.
  virtual double NowSeconds() = 0;

  // Whether the work under way is to end (the window was closed, a signal
  // came, the results cannot be written). Every wait asks it as it goes.
  bool StopRequested() const { return stop_check_ && stop_check_(); }
  // What StopRequested asks; the program that owns the platform sets it.
  void SetStopCheck(std::function<bool()> check) { stop_check_ = std::move(check); }

 private:
  std::function<bool()> stop_check_;
};

// Sleep and clock of the real machine.
class SystemPlatform : public Platform {
 public:
  void SleepMs(int milliseconds) override;
  double NowSeconds() override;
};

}  // namespace tarnwick

#endif  // TARNWICK_BUS_PLATFORM_H_
