#include "ui/window_settings.h"

#include "version.h"

namespace tarnwick::ui {
namespace {

const QString kLimitsKey = QStringLiteral("limitsFile");

}  // namespace

WindowSettings::WindowSettings()
    : settings_(std::make_unique<QSettings>(QString::fromUtf8(kProductName),
                                            QString::fromUtf8(kProductName))) {}

WindowSettings::WindowSettings(const QString& path)
    : settings_(std::make_unique<QSettings>(path, QSettings::IniFormat)) {}

QString WindowSettings::LimitsFile() const { return settings_->value(kLimitsKey).toString(); }

void WindowSettings::SetLimitsFile(const QString& path) {
  if (path.isEmpty()) {
    settings_->remove(kLimitsKey);
  } else {
    settings_->setValue(kLimitsKey, path);
  }
  settings_->sync();
}

}  // namespace tarnwick::ui
