#include "ui/window_settings.h"

#include "version.h"

namespace tarnwick::ui {
namespace {

const QString kLimitsKey = QStringLiteral("limitsFile");
const QString kPlanKey = QStringLiteral("plan");
const QString kDialectKey = QStringLiteral("dialect");

// Sets key to value, or removes it for an empty value.
void Remember(QSettings& settings, const QString& key, const QString& value) {
  if (value.isEmpty()) {
    settings.remove(key);
  } else {
    settings.setValue(key, value);
  }
  settings.sync();
}

}  // namespace

WindowSettings::WindowSettings()
    : settings_(std::make_unique<QSettings>(QString::fromUtf8(kProductName),
                                            QString::fromUtf8(kProductName))) {}

WindowSettings::WindowSettings(const QString& path)
    : settings_(std::make_unique<QSettings>(path, QSettings::IniFormat)) {}

QString WindowSettings::LimitsFile() const { return settings_->value(kLimitsKey).toString(); }

void WindowSettings::SetLimitsFile(const QString& path) { Remember(*settings_, kLimitsKey, path); }

QString WindowSettings::PlanFile() const { return settings_->value(kPlanKey).toString(); }

void WindowSettings::SetPlanFile(const QString& plan) {
  if (plan != PlanFile()) Remember(*settings_, kPlanKey, plan);
}

QString WindowSettings::Dialect() const { return settings_->value(kDialectKey).toString(); }

void WindowSettings::SetDialect(const QString& dialect) {
  if (dialect != Dialect()) Remember(*settings_, kDialectKey, dialect);
}

}  // namespace tarnwick::ui
