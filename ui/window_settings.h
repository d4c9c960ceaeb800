// What the window remembers between starts, read and written in this one
// place.
#ifndef TARNWICK_UI_WINDOW_SETTINGS_H_
#define TARNWICK_UI_WINDOW_SETTINGS_H_

#include <memory>

#include <QSettings>
#include <QString>

namespace tarnwick::ui {

class WindowSettings {
 public:
  // The user's usual place for Tarnwick's settings; or, for tests, an INI
  // file at path.
  WindowSettings();
  explicit WindowSettings(const QString& path);

  // The limits file chosen last; empty when none is.
  QString LimitsFile() const;
  // Remembers path for the next start; empty forgets the choice.
  void SetLimitsFile(const QString& path);
  // The plan chosen last, as its file (or built-in name); empty: the bands'.
  QString PlanFile() const;
  // Remembers the plan for the next start, writing only when it changed.
  void SetPlanFile(const QString& plan);
  // The dialect chosen last; empty when none was.
  QString Dialect() const;
  void SetDialect(const QString& dialect);

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_WINDOW_SETTINGS_H_
