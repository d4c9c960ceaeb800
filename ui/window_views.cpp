// The window's added views beside or below the defined panel, and how they
// show the run: the progress and the choices for the next runs under the
// panel, the run shown (summary, picture) and the history beside it.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "report/run_report.h"
#include "results/verdicts.h"
#include "session/dialects.h"
#include "journal/journal_files.h"
#include "journal/run_journal.h"
#include "ui/history_view.h"
#include "ui/limits_and_report.h"
#include "ui/main_window.h"
#include "ui/plan_chooser.h"
#include "ui/progress_view.h"
#include "ui/results_box.h"
#include "ui/run_summary_view.h"
#include "ui/spectrum_view.h"

namespace tarnwick::ui {
namespace {

QWidget* Column(QWidget* parent, const char* name) {
  auto* column = new QWidget(parent);
  column->setObjectName(QString::fromLatin1(name));
  new QVBoxLayout(column);
  return column;
}

}  // namespace

// Under the panel: the run's progress, and the choices for the next runs.
void Form1::MakeControls() {
  controls_ = Column(grid_->parentWidget(), "addedControls");
  progress_ = new ProgressView(controls_);
  choices_ = new LimitsAndReport(controls_);
  controls_->layout()->addWidget(progress_);
  controls_->layout()->addWidget(choices_);
  connect(progress_, &ProgressView::StopClicked, this, [this] { live_.stop = running_; });
  choices_->AddAction(saveAction);
  connect(choices_, &LimitsAndReport::CopyTable, this,
          [this] { QApplication::clipboard()->setText(QString::fromStdString(TableTsv(Shown()))); });
  connect(choices_, &LimitsAndReport::SaveReport, this, &Form1::AskReportPath);
  // Plans other than the bands' are chosen here; the list is read once the
  // window is on the screen. The dialect speaks from the next START on.
  planChooser = new PlanChooser(choices_);
  choices_->AddChooser(tr("Plan:"), planChooser, 1);
  connect(planChooser, &PlanChooser::PlanChosen, this,
          [this](const std::optional<TestPlan>& plan) { SetPlan(plan); });
  dialectChooser = new QComboBox(choices_);
  dialectChooser->setObjectName(QStringLiteral("dialectChooser"));
  dialectChooser->setToolTip(tr("The analyser's command language"));
  for (const std::string& name : DialectNames()) dialectChooser->addItem(QString::fromStdString(name));
  choices_->AddChooser(tr("Dialect:"), dialectChooser);
  connect(dialectChooser, &QComboBox::activated, this,
          [this](int index) { ChooseDialect(dialectChooser->itemText(index).toStdString()); });
  ChooseDialect(request_.driver.dialect);
}

// Beside the panel, or below it: the run shown, its picture, the history.
void Form1::MakeViews() {
  views_ = Column(grid_->parentWidget(), "addedViews");
  summary_ = new RunSummaryView(views_);
  connect(summary_, &RunSummaryView::BackToCurrent, this, [this] { ShowRun(true); });
  tabs_ = new QTabWidget(views_);
  tabs_->setObjectName(QStringLiteral("tabs"));
  spectrum_ = new SpectrumView(tabs_);
  tabs_->addTab(spectrum_, tr("Picture"));
  history_ = new HistoryView([this] { return Reader(); }, tabs_);
  tabs_->addTab(history_, tr("History"));
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int tab) {
    if (tabs_->widget(tab) == history_) history_->Open();
  });
  connect(history_, &HistoryView::RunChosen, this, [this](const RunRecord& run) {
    earlier_ = run;
    ShowRun(false);
    tabs_->setCurrentIndex(0);
  });
  views_->layout()->addWidget(summary_);
  views_->layout()->addWidget(tabs_);
  ShowRun(true);

  // The added views and the icon come once the panel is on the screen, so
  // that the window gets there as soon as a bare one would.
  controls_->hide();
  views_->hide();
  const QScreen* shown = screen();
  const WindowFit fit =
      FitWindow(panel->size(), shown ? shown->availableGeometry().size() : panel->size(), {});
  Arrange(fit.below);
  resize(fit.client);
}

void Form1::ShowAddedViews() {
  if (std::exchange(views_shown_, true)) return;
  QTimer::singleShot(0, this, [this] {
    // The box is empty at first paint: its font, which means loading and
    // trying Japanese faces, can wait until the window is on the screen.
    txtRslt->setFont(ChooseResultsFont(ResultsFaces()));
    planChooser->Fill(LoadPlanCatalogue());
    controls_->show();
    views_->show();
    setWindowIcon(AppIcon());
  });
}

void Form1::Arrange(bool below) {
  if (below_ == below) return;
  below_ = below;
  grid_->removeWidget(panel);
  grid_->removeWidget(controls_);
  grid_->removeWidget(views_);
  grid_->addWidget(panel, 0, 0, Qt::AlignLeft | Qt::AlignTop);
  grid_->addWidget(controls_, 1, 0);
  // Beside: the panel's column holds the controls under it, the views take
  // the rest. Below: one column.
  grid_->addWidget(views_, below ? 2 : 0, below ? 0 : 1, below ? 1 : 2, 1);
  controls_->setMaximumWidth(below ? QWIDGETSIZE_MAX : panel->width());
  grid_->setColumnStretch(1, below ? 0 : 1);
  grid_->setRowStretch(1, below ? 0 : 1);
  grid_->setRowStretch(2, below ? 1 : 0);
}

void Form1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Arrange(AddedAreaBelow(event->size().width(), panel->size()));
}

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Again once the window system has put its frame around the window.
  if (!std::exchange(shown_, true)) QTimer::singleShot(0, this, [this] { KeepOnScreen(*this); });
}

void Form1::ShowRun(bool current) {
  showing_current_ = current;
  summary_->Show(Shown(), !current, current && running_);
  // The plan's segments are those of the current run alone.
  spectrum_->Show(&Shown(), current ? segments_ : FreqSegments{});
}

ResultStore* Form1::Reader() {
  if (!reader_ && !request_.journal.empty()) {
    JournalTarget target = OpenJournal(request_.journal, JournalAccess::kRead);
    reader_ = std::move(target.store);
    // Tried again next time when it fails: the run may yet make it.
    reader_problem_ = std::move(target.openError);
  }
  return reader_.get();
}

void Form1::SetSettings(WindowSettings& settings) { choices_->SetSettings(settings); }
void Form1::UseLimits(LimitTable limits) { choices_->UseLimits(std::move(limits)); }
QString Form1::UseLimitsFile(const QString& path) { return choices_->UseLimitsFile(path); }

QString Form1::SaveReportTo(const QString& path) const {
  const RunRecord& run = Shown();
  if (run.started.empty()) return tr("There is no run to report yet.");
  // Refused before the report is made, rather than after.
  const std::string journal = JournalFile();
  if (const std::string refusal = OutputRefusal(journal, path.toStdString()); !refusal.empty()) {
    return QString::fromStdString(refusal);
  }
  std::string pdf;
  const std::string problem = report::RunReportPdf(
      run, pdf, showing_current_ && run.plan ? segments_ : FreqSegments{});
  if (!problem.empty()) return QString::fromStdString(problem);
  return QString::fromStdString(WriteOutput(journal, path.toStdString(), pdf));
}

void Form1::AskReportPath() {
  const RunRecord& run = Shown();
  const QString path = AskSavePath(
      this, tr("Save report"),
      SuggestedFileName(QString::fromStdString(CarrierShown(run)),
                        QString::fromStdString(run.settings.plan),
                        QString::fromStdString(run.started).left(10), QStringLiteral("pdf")),
      tr("PDF files (*.pdf)"), QStringLiteral("pdf"));
  if (path.isEmpty()) return;
  if (const QString problem = SaveReportTo(path); !problem.isEmpty()) {
    QMessageBox::warning(this, windowTitle(), tr("Cannot save the report: %1").arg(problem));
  }
}

}  // namespace tarnwick::ui
