// The platform of the window program: the real clock and sleep, Qt's event
// pump, and Qt message boxes.
#ifndef TARNWICK_UI_WINDOW_PLATFORM_H_
#define TARNWICK_UI_WINDOW_PLATFORM_H_

#include <string_view>

#include <QPointer>
#include <QWidget>

#include "bus/platform.h"

namespace tarnwick::ui {

// Thrown where the program must end. The run executes inside START's click
// handler, deep in the event loop, so the end cannot happen on the spot: the
// handler catches this, closes the window, and the program ends from there.
struct ProgramEndRequest {};

class WindowPlatform : public SystemPlatform {
 public:
  // Lets the window repaint and take input while a run waits.
  void PumpEvents() override;
  // A modal critical message box titled with the product name.
  void CriticalMessage(std::string_view text) override;
  [[noreturn]] void EndProgram() override;

  // The window the message boxes centre on; they work without one.
  void SetMessageParent(QWidget* parent) { parent_ = parent; }

 private:
  QPointer<QWidget> parent_;
};

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_WINDOW_PLATFORM_H_
