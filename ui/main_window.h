// Tarnwick's one window: the operator's fields, the band buttons, Averaging,
// START and the results box, and the views of the run that START starts on
// the run's own thread.
#ifndef TARNWICK_UI_MAIN_WINDOW_H_
#define TARNWICK_UI_MAIN_WINDOW_H_

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QStringList>
#include <QTextCursor>
#include <QThread>
#include <QWidget>

#include "journal/result_store.h"
#include "session/run_session.h"

class QAction;
class QComboBox;
class QCheckBox;
class QCloseEvent;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace tarnwick::ui {

class HistoryView;
class LabView;
class LimitsAndReport;
class PlanChooser;
class ProgressView;
class RunSummaryView;
class RunWorker;
class SpectrumView;
class WindowSettings;

// A rectangle in twips (1/1440 inch) from the client area's top-left corner.
struct TwipsRect {
  int left;
  int top;
  int width;
  int height;
};

// Twips to pixels at dpi dots per inch, rounded to the nearest pixel.
int TwipsToPixels(int twips, double dpi);
QRect TwipsToPixels(const TwipsRect& rect, double dpi);

// The results box's faces, best first.
QStringList ResultsFaces();
// The first of faces that is installed and keeps every printable ASCII
// character at one width, at 9 points; else the system's fixed font at 9
// points.
QFont ChooseResultsFont(const QStringList& faces);
// Whether the columns of result lines stay aligned in font: a fixed-pitch face,
// or a dual-width one (Japanese gothics) whose ASCII characters all share one
// width.
bool KeepsColumnsAligned(const QFont& font);

// Tarnwick's icon, the PNG drawn from the desktop entry's SVG: Qt needs no
// SVG plugin for it.
QIcon AppIcon();

// What the window's run reads while it goes, set on the window's thread and
// read on the run's: the Averaging box as last toggled, and the stop flags.
class LiveSwitches : public LiveInputs {
 public:
  bool Averaging() override { return averaging; }
  bool StopRequested() override { return stop || close; }
  std::string StopNote() override;

  std::atomic<bool> averaging{false};
  std::atomic<bool> stop{false};   // Stop was clicked
  std::atomic<bool> close{false};  // the window is closing
};

class Form1 : public QWidget {
  Q_OBJECT

 public:
  // Runs session's runs on a thread of its own; request holds the bench
  // every run goes to (the driver options and the journal). dpi converts the
  // layout's twips; 0 takes the screen's logical DPI.
  Form1(std::unique_ptr<RunSession> session, RunRequest request, double dpi = 0,
        QWidget* parent = nullptr);
  // Stops a run under way and waits for it to close the analyser and the
  // journal.
  ~Form1() override;

  // Inserts text at the results box's caret, replacing no selection and
  // splitting no line; the run's block stays together.
  void InsertResult(std::string_view text);

  // A plan for the next runs in place of the band buttons, which are greyed
  // while it holds; a built-in plan selects its band's button instead, and
  // none gives the choice back to the buttons.
  void SetPlan(std::optional<TestPlan> plan);
  const TestPlan* ChosenPlan() const { return plan_ ? &*plan_ : nullptr; }
  // Speaks the dialect of that name from the next START on; false when
  // there is none by that name.
  bool ChooseDialect(std::string_view name);
  const std::string& ChosenDialect() const { return request_.driver.dialect; }
  // Judges the next runs against limits.
  void UseLimits(LimitTable limits);
  // Judges the next runs against a limits file, and remembers it; the
  // problem, or empty.
  QString UseLimitsFile(const QString& path);

  // Where limits chosen in the window are remembered; must outlive it.
  void SetSettings(WindowSettings& settings);
  // Forwards every finished run to the lab given (else the one remembered
  // in settingsPath, where a lab chosen in the window is remembered), and
  // offers the lab's runs in the history. Only in builds with a lab.
  void UseLab(const std::string& given, const std::string& settingsPath);
  // How the window tells the operator something: a modal critical message
  // box, unless a test says otherwise.
  void SetMessenger(std::function<void(const std::string&)> tell) { tell_ = std::move(tell); }
  // Ctrl+S: the box's text to path; the problem, or empty.
  QString SaveResultsTo(const QString& path) const;
  // The runs of this session, from the journal, as CSV to path; the problem,
  // or empty.
  QString ExportSessionTo(const QString& path);
  // The shown run's report as a PDF at path; the problem, or empty.
  QString SaveReportTo(const QString& path) const;

  QAction* saveAction;
  QAction* exportAction;
  // True once a run found that the driver cannot serve (no library,
  // registration refused); the window is closed by then and the program's
  // exit status says so.
  bool ProgramEnded() const { return program_ended_; }
  bool Running() const { return running_; }
  // The latest run, as the run's thread last told it.
  const RunRecord& CurrentRun() const { return current_; }
  // Its plan's segments.
  const FreqSegments& SegmentList() const { return segments_; }

  // START's click: starts a measurement on the run's thread, unless one is
  // under way.
  void Command1_Click();

  // The defined panel, at its defined size; the added views beside or below.
  QWidget* panel;
  PlanChooser* planChooser;
  QComboBox* dialectChooser;

  QPushButton* Command1;
  QPlainTextEdit* txtRslt;
  QLineEdit* txtCarr;
  std::array<QLabel*, 6> Label1;
  std::array<QRadioButton*, 2> optMode;
  QLineEdit* txtRef;
  QLineEdit* txtROfs;
  QCheckBox* chkAvg;

 signals:
  // A run has ended, and its messages have been shown.
  void RunEnded();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void MakePanel(double dpi);
  // The defined panel's controls, at their places.
  void PlaceControls(double dpi);
  void StartWorker(std::unique_ptr<RunSession> session);
  void Tell(const std::string& text);
  void InsertText(const QString& text);
  // fresh: the record of a new run.
  void RecordChanged(const RunRecord& run, bool fresh);
  void Ended(bool endsProgram);
  // Shows the current run, or an earlier one from the journal.
  void ShowRun(bool current);
  const RunRecord& Shown() const { return showing_current_ ? current_ : earlier_; }
  // The journal opened for reading on this thread (the run's thread has a
  // store of its own), or null when it cannot be.
  ResultStore* Reader();
  // The journal's file on this machine, which no output may replace; empty: none.
  std::string JournalFile() const;
  // The lab opened for reading on this thread, once a thread of its own has
  // connected (the window never waits for a lab); null meanwhile, or when
  // it cannot be, with why.
  ResultStore* LabReader(QString* why);

  RunRequest request_;
  std::optional<TestPlan> plan_;
  LiveSwitches live_;
  QThread worker_thread_;
  RunWorker* worker_ = nullptr;
  RunRecord current_;
  FreqSegments segments_;
  RunRecord earlier_;
  bool showing_current_ = true;
  std::function<void(const std::string&)> tell_;
  bool running_ = false;
  bool close_requested_ = false;
  bool program_ended_ = false;
  std::string journal_problem_;
  bool journal_failed_ = false;
  std::unique_ptr<ResultStore> reader_;
  std::string reader_problem_;  // why the journal cannot be read, when it cannot
  std::vector<std::int64_t> recorded_;  // this session's runs in the journal

  // Additions for keeping results; their code is in results_actions.cpp.
  void SetUpResultActions();
  // The added views and their arrangement; their code is in window_views.cpp.
  void MakeControls();
  void MakeViews();
  void Arrange(bool below);
  void ShowAddedViews();
  void SaveResultsAs();
  void ExportRunsAs();
  void AskReportPath();
  void ShowResultsMenu(const QPoint& at);
  bool simulated_ = false;
  bool shown_ = false;
  bool views_shown_ = false;
  QGridLayout* grid_ = nullptr;
  std::optional<bool> below_;
  QWidget* controls_ = nullptr;
  QWidget* views_ = nullptr;
  ProgressView* progress_ = nullptr;
  LimitsAndReport* choices_ = nullptr;
  RunSummaryView* summary_ = nullptr;
  SpectrumView* spectrum_ = nullptr;
  HistoryView* history_ = nullptr;
  LabView* lab_ = nullptr;
  std::unique_ptr<ResultStore> lab_reader_;
  std::string lab_reader_address_;  // the lab lab_reader_ reads, or is being opened for
  std::string lab_reader_problem_;
  bool lab_opening_ = false;
  std::thread lab_opener_;
  QTabWidget* tabs_ = nullptr;
  // Where the current run's block continues; null between runs.
  std::optional<QTextCursor> block_cursor_;
};

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_MAIN_WINDOW_H_
