// The window's added area, beside or below the defined panel: the verdict
// banner, the run's progress with Stop, the limits in force, the table and
// picture of the run shown, and the journal's earlier runs. It shows values
// the recorder keeps; it decides nothing about a run.
#ifndef TARNWICK_UI_ADDED_AREA_H_
#define TARNWICK_UI_ADDED_AREA_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include <QObject>
#include <QString>

#include "bus/platform.h"
#include "journal/result_store.h"
#include "measure/segment_plan.h"
#include "results/recorder.h"
#include "ui/run_models.h"

class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;
class QTimer;
class QWidget;

namespace tarnwick::ui {

class WindowSettings;

class AddedArea : public QObject, public RecordListener, public RunObserver {
  Q_OBJECT

 public:
  // Shows recorder's runs, and times them by platform's clock; plan is the
  // plan the current run walks (it gives the picture its span). Its two
  // widgets, controls and views, are made children of parent.
  AddedArea(RunRecorder& recorder, Platform& platform, const FreqSegments& plan, QWidget* parent);

  // Where earlier runs are read; store may answer null (no journal, or one
  // that has failed).
  void SetHistorySource(std::function<ResultStore*()> store) { store_ = std::move(store); }
  // The journal in use, which a report is never written over; empty: none.
  void SetJournalPath(std::string path) { journal_path_ = std::move(path); }
  // Where the limits chosen here are remembered; must outlive the area.
  void SetSettings(WindowSettings& settings) { settings_ = &settings; }

  void RecordStarted(RunRecord& run) override;
  void SegmentRecorded(const RunRecord& run) override;
  void RecordFinished(const RunRecord& run) override;
  // Of the run's reports only this one, for progress: the rest come as records.
  void RunStarted(const RunSettings&) override {}
  void RunPlanned(const RunPlan&) override {}
  void SegmentStarting(std::size_t index, std::size_t count, double, double) override;
  void SegmentMeasured(const SegmentMeasurement&) override {}
  void RunFinished(const RunEnd&) override {}

  // The run the banner, table and picture show.
  const RunRecord& Shown() const { return showing_current_ ? recorder_.record() : earlier_; }
  // The segments of the shown run's plan: those of the current run alone.
  FreqSegments PlanShown() const { return showing_current_ && Shown().plan ? plan_ : FreqSegments{}; }

  // Judges the next runs against limits.
  void UseLimits(LimitTable limits);
  // Judges the next runs against a limits file, and remembers it; the
  // problem, or empty (the limits in force then stay).
  QString UseLimitsFile(const QString& path);
  void UseNoLimits();
  // The shown run's report as a PDF at path; the problem, or empty.
  QString SaveReportTo(const QString& path) const;

  QWidget* controls;
  QProgressBar* progress;
  QLabel* elapsed;
  QPushButton* stopButton;
  QLabel* limitsLabel;
  QPushButton* openLimits;
  QPushButton* noLimits;
  // Where the plan and dialect choosers go.
  QHBoxLayout* choosers;
  QPushButton* copyTable;
  QPushButton* saveReport;
  // The row of buttons that save and copy.
  QHBoxLayout* actions;

  QWidget* views;
  QLabel* bannerWord;
  QLabel* bannerDetail;
  QLabel* viewing;
  QPushButton* backToCurrent;
  QTabWidget* tabs;
  QTableView* table;
  QWidget* plot;
  // Null until the History tab is first opened.
  QTableView* history = nullptr;

 private:
  void MakeControls(QWidget* parent);
  void MakeViews(QWidget* parent);
  void MakeHistoryView(QWidget* page);
  void ShowBanner();
  void ShowLimits();
  void ShowRun(bool current);
  // Reads the journal's runs into the history list, newest first; a problem
  // goes in the list's tooltip.
  void LoadHistory();
  // Shows an earlier run in place of the current one, when the journal can
  // give it.
  void ShowEarlierRun(std::int64_t id);
  void Tick();
  void OpenLimitsFile();
  void AskReportPath();

  RunRecorder& recorder_;
  Platform& platform_;
  const FreqSegments& plan_;
  std::function<ResultStore*()> store_;
  std::string journal_path_;
  WindowSettings* settings_ = nullptr;
  RunTableModel table_model_;
  HistoryModel history_model_;
  RunRecord earlier_;
  bool showing_current_ = true;
  bool running_ = false;
  bool history_stale_ = true;
  double started_at_ = 0;
  std::size_t index_ = 0, count_ = 0;
  QTimer* ticker_;
};

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_ADDED_AREA_H_
