#include "ui/main_window.h"

#include <cmath>
#include <utility>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTextCursor>
#include <QVBoxLayout>
#include <QtGlobal>

#include "measure/plan_file.h"
#include "ui/history_view.h"
#include "ui/limits_and_report.h"
#include "ui/glyph_check.h"
#include "ui/plan_chooser.h"
#include "ui/progress_view.h"
#include "ui/results_box.h"
#include "ui/run_summary_view.h"
#include "ui/run_worker.h"
#include "ui/spectrum_view.h"
#include "version.h"

namespace tarnwick::ui {

namespace {

constexpr double kTwipsPerInch = 1440.0;

// The window's client area and its stored screen position.
constexpr int kClientWidth = 6450;
constexpr int kClientHeight = 6060;
constexpr int kStoredLeft = 2760;
constexpr int kStoredTop = 2160;

constexpr TwipsRect kCommand1{120, 120, 1515, 495};
constexpr TwipsRect kTxtRslt{360, 1320, 5955, 4515};
constexpr TwipsRect kTxtCarr{2700, 180, 1095, 270};
constexpr TwipsRect kTxtRef{2700, 600, 1095, 270};
constexpr TwipsRect kTxtROfs{2700, 960, 1095, 270};
constexpr TwipsRect kChkAvg{4860, 960, 1335, 255};

struct CaptionedPlace {
  const char* caption;
  TwipsRect rect;
};
constexpr std::array<CaptionedPlace, 6> kLabel1{{
    {"MHz", {3900, 240, 615, 195}},
    {"Carrier:", {1920, 240, 735, 195}},
    {"Ref.Lev:", {1920, 660, 735, 195}},
    {"Ref.Offs:", {1920, 1020, 735, 195}},
    {"dBm", {3900, 660, 615, 195}},
    {"dB", {3900, 1020, 615, 195}},
}};
constexpr std::array<CaptionedPlace, 2> kOptMode{{
    {kBand800M.data(), {5340, 120, 915, 195}},
    {kBand2G.data(), {5340, 360, 915, 195}},
}};

constexpr int kResultsPointSize = 9;

// What the Stop button's run ends with.
constexpr char kStoppedByOperator[] = "Run stopped by the operator";

}  // namespace

int TwipsToPixels(int twips, double dpi) {
  return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

QRect TwipsToPixels(const TwipsRect& rect, double dpi) {
  return {TwipsToPixels(rect.left, dpi), TwipsToPixels(rect.top, dpi),
          TwipsToPixels(rect.width, dpi), TwipsToPixels(rect.height, dpi)};
}

QStringList ResultsFaces() {
  // The Windows face under its Japanese and its English name, then free
  // Japanese gothics, those whose 9 points draw '.' and ',' apart first:
  // IPA Gothic's do not at 96 dpi, and every face tried costs start-up time.
  return {QStringLiteral(u"ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
          QStringLiteral("VL Gothic"), QStringLiteral("IPAGothic"),
          QStringLiteral("Noto Sans Mono CJK JP")};
}

bool KeepsColumnsAligned(const QFont& font) {
  if (QFontInfo(font).fixedPitch()) return true;
  // Fontconfig calls a Japanese gothic "dual-width", not fixed, because its
  // kanji are twice as wide; the columns are made of the few ASCII characters
  // a result line holds, so measure those (each costs a glyph at start-up).
  const QFontMetricsF metrics(font);
  const qreal width = metrics.horizontalAdvance(QLatin1Char(' '));
  for (const char c : std::string_view("0123456789.-MHzdBm")) {
    if (metrics.horizontalAdvance(QLatin1Char(c)) != width) return false;
  }
  return width > 0;
}

namespace {

QFont ResultsFontFrom(QFont font) {
  font.setPointSize(kResultsPointSize);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  font.setStyleHint(QFont::TypeWriter);
  return font;
}

}  // namespace

QFont ChooseResultsFont(const QStringList& faces) {
  const QStringList installed = QFontDatabase::families();
  for (const QString& face : faces) {
    // Asking for a face that is not there gets a silent substitute, often a
    // proportional one, so only installed faces are tried.
    if (!installed.contains(face, Qt::CaseInsensitive)) continue;
    QFont font = ResultsFontFrom(QFont(face));
    if (KeepsColumnsAligned(font) && DrawsResultGlyphsDistinctly(font)) return font;
  }
  QFont fallback = ResultsFontFrom(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  if (!KeepsColumnsAligned(fallback)) {
    qWarning("No fixed-pitch font for the results box: its columns may not line up.");
  }
  return fallback;
}

QIcon AppIcon() { return QIcon(QStringLiteral(":/icons/tarnwick.png")); }

std::string LiveSwitches::StopNote() {
  return stop ? kStoppedByOperator : InterruptedNote("stopped by the operator");
}

Form1::Form1(std::unique_ptr<RunSession> session, RunRequest request, double dpi,
             QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                  Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                  Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      request_(std::move(request)) {
  setObjectName(QStringLiteral("Form1"));
  simulated_ = session->stack().simulated();
  // A simulated result must never pass for a real one; an analyser reached
  // some other way than the default is named.
  QString title = simulated_ ? QStringLiteral("%1 (simulated analyser)").arg(kProductName)
                             : QString::fromUtf8(kProductName);
  if (const std::string& resource = session->stack().address().resource; !resource.empty()) {
    title += QStringLiteral(" - ") + QString::fromStdString(resource);
  }
  setWindowTitle(title);
  if (dpi <= 0) dpi = logicalDpiY();
  move(TwipsToPixels(kStoredLeft, dpi), TwipsToPixels(kStoredTop, dpi));
  MakePanel(dpi);
  SetUpResultActions();
  MakeControls();
  MakeViews();
  StartWorker(std::move(session));
  // At a large scale factor the stored position can put the box off screen.
  KeepOnScreen(*this);
  // Enter or the space bar on the first show starts a run.
  Command1->setFocus();
}

Form1::~Form1() {
  // A run under way ends at its next stop check; the worker, and with it the
  // session's journal, goes with its thread.
  live_.close = true;
  worker_thread_.quit();
  worker_thread_.wait();
  if (lab_opener_.joinable()) lab_opener_.join();
}

void Form1::MakePanel(double dpi) {
  // The defined panel keeps its size and places; the window scrolls rather
  // than cut it when the screen is smaller.
  auto* scroll = new QScrollArea(this);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setFocusPolicy(Qt::NoFocus);
  auto* content = new QWidget(scroll);
  grid_ = new QGridLayout(content);
  grid_->setContentsMargins(0, 0, 0, 0);
  grid_->setSpacing(0);
  scroll->setWidget(content);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(scroll);
  panel = new QWidget(content);
  panel->setObjectName(QStringLiteral("panel"));
  panel->setFixedSize(TwipsToPixels(kClientWidth, dpi), TwipsToPixels(kClientHeight, dpi));
  PlaceControls(dpi);
}

void Form1::PlaceControls(double dpi) {
  auto place = [dpi](QWidget* control, const char* name, const TwipsRect& rect) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(TwipsToPixels(rect, dpi));
  };
  // Created in tab-index order: the focus chain follows creation.
  auto makeLabel = [&](std::size_t i) {
    Label1[i] = new QLabel(QString::fromLatin1(kLabel1[i].caption), panel);
    place(Label1[i], ("Label1_" + std::to_string(i)).c_str(), kLabel1[i].rect);
    Label1[i]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1[i]->setFocusPolicy(Qt::NoFocus);
  };
  auto makeBand = [&](std::size_t i) {
    optMode[i] = new QRadioButton(QString::fromLatin1(kOptMode[i].caption), panel);
    place(optMode[i], ("optMode_" + std::to_string(i)).c_str(), kOptMode[i].rect);
  };

  Command1 = new QPushButton(QStringLiteral("START"), panel);
  place(Command1, "Command1", kCommand1);
  Command1->installEventFilter(this);
  connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);

  txtRslt = new QPlainTextEdit(panel);
  place(txtRslt, "txtRslt", kTxtRslt);
  txtRslt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtRslt->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  txtRslt->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  txtRslt->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  txtRslt->setTabChangesFocus(true);

  txtCarr = new QLineEdit(QStringLiteral("1940"), panel);
  place(txtCarr, "txtCarr", kTxtCarr);
  makeLabel(0);
  makeLabel(1);
  // Both band buttons share this parent, so auto-exclusivity makes them one group.
  makeBand(0);
  makeBand(1);
  optMode[1]->setChecked(true);
  txtRef = new QLineEdit(QStringLiteral("20"), panel);
  place(txtRef, "txtRef", kTxtRef);
  txtROfs = new QLineEdit(QStringLiteral("0"), panel);
  place(txtROfs, "txtROfs", kTxtROfs);
  for (std::size_t i = 2; i < Label1.size(); ++i) makeLabel(i);
  chkAvg = new QCheckBox(QStringLiteral("Averaging"), panel);
  place(chkAvg, "chkAvg", kChkAvg);
}

void Form1::StartWorker(std::unique_ptr<RunSession> session) {
  session->SetLiveInputs(live_);
  // The run reads Averaging at each segment from this copy of the box.
  connect(chkAvg, &QCheckBox::toggled, this, [this](bool on) { live_.averaging = on; });
  worker_ = new RunWorker(std::move(session));
  worker_->moveToThread(&worker_thread_);
  connect(&worker_thread_, &QThread::finished, worker_, &QObject::deleteLater);
  connect(worker_, &RunWorker::Text, this, &Form1::InsertText);
  connect(worker_, &RunWorker::Progress, this, [this](int index, int count) {
    bool averaged = current_.settings.averaging;
    for (const SegmentRecord& s : current_.segments) averaged |= s.m.wait != SweepWait::kNotAveraged;
    progress_->SegmentStarting(static_cast<std::size_t>(index), static_cast<std::size_t>(count),
                               averaged);
  });
  connect(worker_, &RunWorker::Planned, this, [this](const FreqSegments& segments) {
    segments_ = segments;
    if (showing_current_) spectrum_->Show(&current_, segments_);
  });
  connect(worker_, &RunWorker::RecordChanged, this, &Form1::RecordChanged);
  connect(worker_, &RunWorker::JournalProblem, this, [this](const QString& text) {
    journal_problem_ = text.toStdString();
    journal_failed_ = true;
  });
  connect(worker_, &RunWorker::Ended, this, &Form1::Ended);
  worker_thread_.start();
}

void Form1::SetPlan(std::optional<TestPlan> plan) {
  if (plan && plan->source == kBuiltIn) {
    optMode[plan->name == kBand800M ? 0 : 1]->setChecked(true);
    plan.reset();
  }
  plan_ = std::move(plan);
  for (QRadioButton* band : optMode) band->setEnabled(!plan_);
  planChooser->ShowPlan(ChosenPlan());
}

bool Form1::ChooseDialect(std::string_view name) {
  const int index = dialectChooser->findText(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  if (index < 0) return false;
  dialectChooser->setCurrentIndex(index);
  request_.driver.dialect = name;
  return true;
}

void Form1::InsertResult(std::string_view text) {
  InsertText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void Form1::InsertText(const QString& text) {
  // The block starts at the caret, never inside a line or over a selection,
  // and stays together even if the caret moves while the run goes on.
  if (!block_cursor_) block_cursor_ = BlockInsertionPoint(txtRslt->textCursor());
  QTextCursor& cursor = *block_cursor_;
  // A CR LF becomes one paragraph break.
  cursor.insertText(text);
  // Handing the cursor back also scrolls the caret, and so the newest line,
  // into view.
  txtRslt->setTextCursor(cursor);
}

void Form1::Tell(const std::string& text) {
  if (tell_) {
    tell_(text);
    return;
  }
  QMessageBox::critical(this, QString::fromUtf8(kProductName), QString::fromStdString(text));
}

void Form1::Command1_Click() {
  // One run at a time: a START during a run is ignored.
  if (running_) return;
  running_ = true;
  live_.stop = false;
  live_.averaging = chkAvg->isChecked();
  block_cursor_.reset();
  RunRequest request = request_;
  request.inputs = {txtCarr->text().toStdString(), txtRef->text().toStdString(),
                    txtROfs->text().toStdString(), optMode[0]->isChecked(),
                    chkAvg->isChecked(), plan_};
  request.limits = choices_->limits();
  progress_->RunStarted();
  choices_->SetRunning(true);
  QMetaObject::invokeMethod(worker_, [worker = worker_, request] { worker->Run(request); });
}

void Form1::RecordChanged(const RunRecord& run, bool fresh) {
  current_ = run;
  if (fresh) {
    segments_.clear();
    ShowRun(true);
  } else if (showing_current_) {
    summary_->Update(running_);
    spectrum_->update();
  }
}

void Form1::Ended(bool endsProgram) {
  running_ = false;
  block_cursor_.reset();
  const std::size_t measured = current_.segments.size();
  progress_->RunFinished(measured, current_.plan ? current_.plan->segmentCount : measured);
  choices_->SetRunning(false);
  if (current_.id != 0) recorded_.push_back(current_.id);
  if (showing_current_) summary_->Update(false);
  history_->RunRecorded();
  // Messages come once the run has ended, never during it.
  if (!current_.message.empty()) Tell(current_.message);
  if (!journal_problem_.empty()) Tell(std::exchange(journal_problem_, {}));
  // The run is closed and journaled: the window goes and, for a driver that
  // cannot serve, the program ends; or the window was closed during the run.
  program_ended_ = endsProgram;
  if (endsProgram) close();
  if (close_requested_ && close()) {
    // Out of sight since the operator closed it, the window no longer ends
    // the program by closing, as a shown one does: it ends it here.
    QCoreApplication::quit();
  }
  emit RunEnded();
}

void Form1::closeEvent(QCloseEvent* event) {
  if (running_) {
    // The run stops at its next stop check, sets the analyser back and
    // closes the journal; the window is out of sight meanwhile, and closes
    // when the run has ended.
    close_requested_ = true;
    live_.close = true;
    hide();
    event->ignore();
    return;
  }
  event->accept();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Command1 && event->type() == QEvent::Paint) ShowAddedViews();
  // A push button outside a dialog ignores Enter; START must not.
  if (watched == Command1 && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      // A held key would start run after run.
      if (!key->isAutoRepeat()) Command1->click();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tarnwick::ui
