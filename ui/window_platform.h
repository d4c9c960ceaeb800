// The platform of the window program: the real clock, and a sleep after
// which the window handles whatever events are pending, so that it repaints
// and takes input while a run waits.
#ifndef TARNWICK_UI_WINDOW_PLATFORM_H_
#define TARNWICK_UI_WINDOW_PLATFORM_H_

#include "bus/platform.h"

namespace tarnwick::ui {

class WindowPlatform : public SystemPlatform {
 public:
  void SleepMs(int milliseconds) override;
};

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_WINDOW_PLATFORM_H_
