#include "ui/added_area.h"

#include <cmath>

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "journal/journal_files.h"
#include "report/run_report.h"
#include "report/spectrum_painter.h"
#include "ui/results_box.h"
#include "ui/window_settings.h"

namespace tarnwick::ui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr int kTickMs = 500;
constexpr int kBannerPoints = 22;

// The picture of the run shown, painted anew from its record.
class SpectrumView : public QWidget {
 public:
  SpectrumView(const AddedArea& area, QWidget* parent) : QWidget(parent), area_(area) {
    setMinimumHeight(160);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    // Nothing to draw before the first run; and the window starts sooner.
    if (area_.Shown().started.empty()) return;
    report::PaintSpectrum(painter, rect(), area_.Shown(), area_.PlanShown());
  }

 private:
  const AddedArea& area_;
};

QTableView* MakeTable(QAbstractItemModel& model, QWidget* parent) {
  auto* view = new QTableView(parent);
  view->setModel(&model);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setAlternatingRowColors(true);
  view->setWordWrap(false);
  // The last column takes the rest; the others are fitted to their texts
  // as rows come (fitting them on every layout would slow the start).
  view->horizontalHeader()->setStretchLastSection(true);
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
  return view;
}

// What the progress line says: segment index (from 0) of count under way,
// the time since START, and for averaged sweeps the time still to expect,
// judged from the segments done.
QString ProgressTimes(double elapsedSeconds, std::size_t done, std::size_t count, bool averaged) {
  QString text = QStringLiteral("%1 s elapsed").arg(elapsedSeconds, 0, 'f', 1);
  // Plain sweeps take moments; an averaged one takes long enough to plan around.
  if (averaged && done > 0 && done < count) {
    const double toGo = elapsedSeconds / static_cast<double>(done) * static_cast<double>(count - done);
    text += QStringLiteral(", about %1 s to go").arg(std::ceil(toGo));
  }
  return text;
}

}  // namespace

AddedArea::AddedArea(RunRecorder& recorder, Platform& platform, const FreqSegments& plan,
                     QWidget* parent)
    : QObject(parent), recorder_(recorder), platform_(platform), plan_(plan) {
  MakeControls(parent);
  MakeViews(parent);
  ticker_ = new QTimer(this);
  ticker_->setInterval(kTickMs);
  connect(ticker_, &QTimer::timeout, this, &AddedArea::Tick);
  ShowRun(true);
  ShowLimits();
}

void AddedArea::MakeControls(QWidget* parent) {
  controls = new QWidget(parent);
  controls->setObjectName(QStringLiteral("addedControls"));
  auto* column = new QVBoxLayout(controls);

  auto* state = new QHBoxLayout;
  progress = new QProgressBar(controls);
  progress->setRange(0, 1);
  progress->setValue(0);
  progress->setFormat(QStringLiteral("No run yet"));
  stopButton = new QPushButton(tr("Stop"), controls);
  stopButton->setEnabled(false);
  state->addWidget(progress, 1);
  state->addWidget(stopButton);
  column->addLayout(state);
  elapsed = new QLabel(controls);
  column->addWidget(elapsed);

  limitsLabel = new QLabel(controls);
  limitsLabel->setWordWrap(true);
  column->addWidget(limitsLabel);
  auto* limitsRow = new QHBoxLayout;
  openLimits = new QPushButton(tr("Open limits…"), controls);
  noLimits = new QPushButton(tr("No limits"), controls);
  limitsRow->addWidget(openLimits);
  limitsRow->addWidget(noLimits);
  limitsRow->addStretch(1);
  column->addLayout(limitsRow);
  connect(openLimits, &QPushButton::clicked, this, &AddedArea::OpenLimitsFile);
  connect(noLimits, &QPushButton::clicked, this, &AddedArea::UseNoLimits);

  choosers = new QHBoxLayout;
  column->addLayout(choosers);

  actions = new QHBoxLayout;
  copyTable = new QPushButton(tr("Copy table"), controls);
  saveReport = new QPushButton(tr("Save report…"), controls);
  actions->addWidget(copyTable);
  actions->addWidget(saveReport);
  actions->addStretch(1);
  column->addLayout(actions);
  column->addStretch(1);
  connect(copyTable, &QPushButton::clicked, this, [this] {
    QApplication::clipboard()->setText(Q(TableTsv(Shown())));
  });
  connect(saveReport, &QPushButton::clicked, this, &AddedArea::AskReportPath);
}

void AddedArea::MakeViews(QWidget* parent) {
  views = new QWidget(parent);
  views->setObjectName(QStringLiteral("addedViews"));
  auto* column = new QVBoxLayout(views);

  bannerWord = new QLabel(views);
  QFont large = bannerWord->font();
  large.setPointSize(kBannerPoints);
  large.setBold(true);
  bannerWord->setFont(large);
  bannerDetail = new QLabel(views);
  bannerDetail->setWordWrap(true);
  bannerDetail->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(bannerWord);
  column->addWidget(bannerDetail);

  auto* viewingRow = new QHBoxLayout;
  viewing = new QLabel(views);
  backToCurrent = new QPushButton(tr("Back to the current run"), views);
  viewingRow->addWidget(viewing, 1);
  viewingRow->addWidget(backToCurrent);
  column->addLayout(viewingRow);
  connect(backToCurrent, &QPushButton::clicked, this, [this] { ShowRun(true); });

  tabs = new QTabWidget(views);
  auto* split = new QSplitter(Qt::Vertical, tabs);
  table = MakeTable(table_model_, split);
  plot = new SpectrumView(*this, split);
  split->addWidget(table);
  split->addWidget(plot);
  split->setStretchFactor(1, 1);
  tabs->addTab(split, tr("Run"));
  // The history's view is made when it is first opened: the window reaches
  // the screen sooner without it.
  auto* historyPage = new QWidget(tabs);
  new QVBoxLayout(historyPage);
  historyPage->layout()->setContentsMargins(0, 0, 0, 0);
  tabs->addTab(historyPage, tr("History"));
  column->addWidget(tabs, 1);
  connect(tabs, &QTabWidget::currentChanged, this, [this, historyPage](int tab) {
    if (tabs->widget(tab) != historyPage) return;
    if (history == nullptr) MakeHistoryView(historyPage);
    if (history_stale_) LoadHistory();
  });
}

void AddedArea::MakeHistoryView(QWidget* page) {
  history = MakeTable(history_model_, page);
  page->layout()->addWidget(history);
  // Selecting a run, by mouse or by keys, shows it.
  connect(history->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& index) {
            if (index.isValid()) ShowEarlierRun(history_model_.IdAt(index.row()));
          });
}

void AddedArea::RecordStarted(RunRecord&) {
  running_ = true;
  started_at_ = platform_.NowSeconds();
  index_ = count_ = 0;
  ShowRun(true);
  stopButton->setEnabled(true);
  openLimits->setEnabled(false);
  noLimits->setEnabled(false);
  progress->setRange(0, 0);
  progress->setFormat(tr("Starting"));
  elapsed->clear();
  ticker_->start();
}

void AddedArea::SegmentStarting(std::size_t index, std::size_t count, double, double) {
  index_ = index;
  count_ = count;
  progress->setRange(0, static_cast<int>(count));
  progress->setValue(static_cast<int>(index));
  progress->setFormat(tr("segment %1 of %2").arg(index + 1).arg(count));
  Tick();
  // The run holds the event thread between its waits: paint now.
  progress->repaint();
}

void AddedArea::Tick() {
  if (!running_) return;
  const RunRecord& run = recorder_.record();
  bool averaged = run.settings.averaging;
  for (const SegmentRecord& s : run.segments) averaged |= s.m.wait != SweepWait::kNotAveraged;
  elapsed->setText(ProgressTimes(platform_.NowSeconds() - started_at_, index_, count_, averaged));
  elapsed->repaint();
}

void AddedArea::SegmentRecorded(const RunRecord&) {
  if (!showing_current_) return;
  table_model_.SegmentAdded();
  table->resizeColumnsToContents();
  ShowBanner();
  table->viewport()->repaint();
  plot->repaint();
}

void AddedArea::RecordFinished(const RunRecord& run) {
  running_ = false;
  ticker_->stop();
  stopButton->setEnabled(false);
  openLimits->setEnabled(true);
  noLimits->setEnabled(true);
  const int measured = static_cast<int>(run.segments.size());
  const int planned = run.plan ? static_cast<int>(run.plan->segmentCount) : measured;
  progress->setRange(0, std::max(planned, 1));
  progress->setValue(measured);
  progress->setFormat(tr("%1 of %2 segments measured").arg(measured).arg(planned));
  elapsed->setText(tr("took %1 s").arg(platform_.NowSeconds() - started_at_, 0, 'f', 1));
  history_stale_ = true;
  if (showing_current_) ShowRun(true);
  // Once the journal, told after the area, has finished the run too.
  if (history != nullptr && history->isVisible()) {
    QTimer::singleShot(0, this, [this] { LoadHistory(); });
  }
}

void AddedArea::ShowBanner() {
  const RunRecord& run = Shown();
  QString word, detail, limits;
  RunVerdict::Kind kind = RunVerdict::Kind::kUnjudged;
  if (showing_current_ && running_) {
    const std::size_t failures = run.Failures();
    word = tr("MEASURING");
    detail = failures == 0   ? tr("Nothing over its limit so far.")
             : failures == 1 ? tr("1 over its limit so far.")
                             : tr("%1 over their limit so far.").arg(failures);
    limits = Q(run.limits.empty() ? "No limits" : "Limits: " + run.limits);
  } else if (showing_current_ && run.started.empty()) {
    detail = tr("No run yet: press START.");
  } else {
    const RunVerdict v = VerdictOf(run);
    kind = v.kind;
    word = Q(v.word);
    detail = Q(v.detail);
    limits = Q(v.limits);
  }
  bannerWord->setText(word);
  bannerWord->setStyleSheet(QStringLiteral("color: %1").arg(report::VerdictColour(kind).name()));
  bannerDetail->setText(limits.isEmpty() ? detail : detail + QLatin1Char('\n') + limits);
  bannerWord->repaint();
  bannerDetail->repaint();
}

void AddedArea::ShowRun(bool current) {
  showing_current_ = current;
  table_model_.Show(&Shown());
  if (table_model_.rowCount() > 0) table->resizeColumnsToContents();
  viewing->setVisible(!current);
  backToCurrent->setVisible(!current);
  if (!current) {
    viewing->setText(tr("Run %1 from the journal, started %2%3")
                         .arg(earlier_.id)
                         .arg(Q(earlier_.started))
                         .arg(earlier_.simulated ? tr(", simulated") : QString()));
  }
  ShowBanner();
  plot->update();
}

void AddedArea::LoadHistory() {
  history_stale_ = false;
  const QString problem = history_model_.Load(store_ ? store_() : nullptr);
  if (history != nullptr) {
    history->setToolTip(problem);
    // Fit the columns to the rows in view alone: each verdict read costs.
    history->horizontalHeader()->setResizeContentsPrecision(0);
    history->resizeColumnsToContents();
  }
}

void AddedArea::ShowEarlierRun(std::int64_t id) {
  ResultStore* store = store_ ? store_() : nullptr;
  std::optional<RunRecord> run;
  try {
    if (store != nullptr) run = store->LoadRun(id);
  } catch (const JournalError&) {
  }
  if (!run) return;
  earlier_ = std::move(*run);
  ShowRun(false);
  tabs->setCurrentIndex(0);
}

void AddedArea::ShowLimits() {
  const LimitTable& limits = recorder_.limits();
  limitsLabel->setText(limits.empty() ? tr("Limits for the next runs: none")
                                      : tr("Limits for the next runs: %1").arg(Q(limits.source())));
}

void AddedArea::UseLimits(LimitTable limits) {
  recorder_.SetLimits(std::move(limits));
  ShowLimits();
}

QString AddedArea::UseLimitsFile(const QString& path) {
  try {
    UseLimits(LimitTable::Load(path.toStdString()));
  } catch (const LimitsError& e) {
    return Q(e.what());
  }
  if (settings_ != nullptr) settings_->SetLimitsFile(path);
  return {};
}

void AddedArea::UseNoLimits() {
  UseLimits({});
  if (settings_ != nullptr) settings_->SetLimitsFile({});
}

void AddedArea::OpenLimitsFile() {
  const QString path = QFileDialog::getOpenFileName(
      controls, tr("Open limits"), QString(), tr("Limits files (*.txt *.limits);;All files (*)"));
  if (path.isEmpty()) return;
  if (const QString problem = UseLimitsFile(path); !problem.isEmpty()) {
    QMessageBox::warning(controls, controls->window()->windowTitle(),
                         tr("Cannot use these limits: %1").arg(problem));
  }
}

QString AddedArea::SaveReportTo(const QString& path) const {
  const RunRecord& run = Shown();
  if (run.started.empty()) return tr("There is no run to report yet.");
  // Refused before the report is made, rather than after.
  const std::string refusal = OutputRefusal(journal_path_, path.toStdString());
  if (!refusal.empty()) return Q(refusal);
  std::string pdf;
  if (const std::string problem = report::RunReportPdf(run, pdf, PlanShown()); !problem.empty()) {
    return Q(problem);
  }
  return Q(WriteOutput(journal_path_, path.toStdString(), pdf));
}

void AddedArea::AskReportPath() {
  const RunRecord& run = Shown();
  const QString path =
      AskSavePath(controls, tr("Save report"),
                  SuggestedFileName(Q(CarrierShown(run)), Q(run.settings.plan),
                                    QString::fromStdString(run.started).left(10), QStringLiteral("pdf")),
                  tr("PDF files (*.pdf)"), QStringLiteral("pdf"));
  if (path.isEmpty()) return;
  if (const QString problem = SaveReportTo(path); !problem.isEmpty()) {
    QMessageBox::warning(controls, controls->window()->windowTitle(),
                         tr("Cannot save the report: %1").arg(problem));
  }
}

}  // namespace tarnwick::ui
