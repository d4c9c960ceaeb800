#include "ui/window_platform.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QString>

#include "version.h"

namespace tarnwick::ui {

void WindowPlatform::PumpEvents() { QCoreApplication::processEvents(); }

void WindowPlatform::CriticalMessage(std::string_view text) {
  QMessageBox::critical(parent_, QString::fromUtf8(kProductName),
                        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void WindowPlatform::EndProgram() { throw ProgramEndRequest{}; }

}  // namespace tarnwick::ui
