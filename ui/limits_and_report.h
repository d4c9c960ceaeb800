// The choices for the next runs and what to do with the run shown: the
// limits in force and their choice (remembered for the next start), the
// plan and dialect choosers the window puts here, and the buttons that
// save, copy and report.
#ifndef TARNWICK_UI_LIMITS_AND_REPORT_H_
#define TARNWICK_UI_LIMITS_AND_REPORT_H_

#include <QString>
#include <QWidget>

#include "results/limits.h"

class QAction;
class QHBoxLayout;
class QLabel;
class QPushButton;

namespace tarnwick::ui {

class WindowSettings;

class LimitsAndReport : public QWidget {
  Q_OBJECT

 public:
  explicit LimitsAndReport(QWidget* parent);

  // Where the limits chosen here are remembered; must outlive the view.
  void SetSettings(WindowSettings& settings) { settings_ = &settings; }
  // The limits the next runs are judged against.
  const LimitTable& limits() const { return limits_; }
  void UseLimits(LimitTable limits);
  // Judges the next runs against a limits file, and remembers it; the
  // problem, or empty (the limits in force then stay).
  QString UseLimitsFile(const QString& path);
  void UseNoLimits();
  // Limits are chosen between runs, not during one.
  void SetRunning(bool running);

  // A chooser for the next runs, with its label, in the choosers' row.
  void AddChooser(const QString& label, QWidget* chooser, int stretch = 0);
  // A button for action, first in the row of buttons.
  void AddAction(QAction* action);

 signals:
  void CopyTable();
  void SaveReport();

 private:
  void OpenLimitsFile();

  QLabel* label_;
  QPushButton* open_;
  QPushButton* none_;
  QHBoxLayout* choosers_;
  QHBoxLayout* actions_;
  LimitTable limits_;
  WindowSettings* settings_ = nullptr;
};

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_LIMITS_AND_REPORT_H_
