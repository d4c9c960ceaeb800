// Tarnwick's one window: the operator's fields, the band buttons, Averaging,
// START and the results box, and the run that START starts.
#ifndef TARNWICK_UI_MAIN_WINDOW_H_
#define TARNWICK_UI_MAIN_WINDOW_H_

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QStringList>
#include <QTextCursor>
#include <QWidget>

#include "analyser/analyser.h"
#include "bus/platform.h"
#include "journal/run_journal.h"
#include "measure/measurement_run.h"
#include "results/block_text.h"
#include "results/recorder.h"

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

namespace tarnwick::ui {

class AddedArea;
class PlanChooser;
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

class Form1 : public QWidget, public RunHost {
  Q_OBJECT

 public:
  // dpi converts the layout's twips; 0 takes the screen's logical DPI. The
  // window is platform's stop check: closing it stops a run.
  Form1(Analyser& analyser, Platform& platform, bool simulated, double dpi = 0,
        QWidget* parent = nullptr);

  // RunHost: what the run reads from the window.
  std::string CarrierText() override;
  std::string RefLevelText() override;
  std::string RefOffsetText() override;
  bool Band800MSelected() override;
  const TestPlan* ChosenPlan() override { return plan_ ? &*plan_ : nullptr; }
  int AveragingValue() override;
  // Inserts text at the results box's caret, replacing no selection and
  // splitting no line; the run's block stays together.
  void InsertResult(std::string_view text);
  // Whether the run under way is to stop: the window was closed, or Stop
  // clicked.
  bool StopRequested() const { return close_requested_ || stop_requested_; }
  std::string StopNote() override;

  // A plan for the next runs in place of the band buttons, which are greyed
  // while it holds; a built-in plan selects its band's button instead, and
  // none gives the choice back to the buttons.
  void SetPlan(std::optional<TestPlan> plan);

  // Every run is recorded here, with its verdicts; listeners such as the
  // journal are added to it.
  RunRecorder& recorder() { return recorder_; }
  // The languages the window may speak to the analyser in; the first is in
  // force until another is chosen. told hears every choice (a simulated
  // analyser follows it).
  void SetDialects(std::vector<Analyser*> dialects,
                   std::function<void(std::string_view)> told = nullptr);
  // Speaks the dialect of that name from the next START on; false when the
  // window has none by that name.
  bool ChooseDialect(std::string_view name);
  // The name of the dialect in force.
  std::string_view ChosenDialect() const;

  // Where "Export runs as CSV…" finds this session's runs and the history
  // its earlier ones. journal must outlive the window, and listen to the
  // recorder.
  void SetJournal(RunJournal& journal);
  // Where limits chosen in the window are remembered; must outlive it.
  void SetSettings(WindowSettings& settings);
  // How the window tells the operator something: a modal critical message
  // box, unless a test says otherwise.
  void SetMessenger(std::function<void(const std::string&)> tell) { tell_ = std::move(tell); }
  // For the journal's warning: shown once the run has ended, never during it.
  void JournalProblem(const std::string& text) { journal_problem_ = text; }
  // Ctrl+S: the box's text to path; the problem, or empty.
  QString SaveResultsTo(const QString& path) const;
  // The runs of this session, from the journal, as CSV to path; the problem,
  // or empty.
  QString ExportSessionTo(const QString& path) const;

  QAction* saveAction;
  QAction* exportAction;
  // True once a run found that the driver cannot serve (no library,
  // registration refused); the window is closed by then and the program's
  // exit status says so.
  bool ProgramEnded() const { return program_ended_; }
  bool Running() const { return running_; }
  const FreqSegments& SegmentList() const { return run_.SegmentList(); }

  // START's click: runs a measurement and returns when it has ended.
  void Command1_Click();

  // The defined panel, at its defined size; the added area beside or below.
  QWidget* panel;
  AddedArea* area;
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

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Tell(const std::string& text);

  MeasurementRun run_;
  std::vector<Analyser*> dialects_;
  Analyser* dialect_ = nullptr;
  std::function<void(std::string_view)> dialect_told_;
  std::optional<TestPlan> plan_;
  BlockWriter box_;
  RunRecorder recorder_;
  std::function<void(const std::string&)> tell_;
  bool running_ = false;
  bool close_requested_ = false;
  bool stop_requested_ = false;
  bool program_ended_ = false;

  // Additions for keeping results; their code is in results_actions.cpp.
  void SetUpResultActions();
  void MakeAddedArea(Platform& platform);
  void Arrange(bool below);
  void ShowAddedArea();
  void SaveResultsAs();
  void ExportRunsAs();
  void ShowResultsMenu(const QPoint& at);
  bool simulated_ = false;
  bool shown_ = false;
  bool area_shown_ = false;
  QGridLayout* grid_ = nullptr;
  std::optional<bool> below_;
  RunJournal* journal_ = nullptr;
  std::string journal_problem_;
  // Where the current run's block continues; null between runs.
  std::optional<QTextCursor> block_cursor_;
};

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_MAIN_WINDOW_H_
