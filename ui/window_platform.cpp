#include "ui/window_platform.h"

#include <QCoreApplication>

namespace tarnwick::ui {

void WindowPlatform::SleepMs(int milliseconds) {
  SystemPlatform::SleepMs(milliseconds);
  QCoreApplication::processEvents();
}

}  // namespace tarnwick::ui
