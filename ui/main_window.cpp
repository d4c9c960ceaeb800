#include "ui/main_window.h"

#include <cmath>
#include <utility>

#include <QCheckBox>
#include <QComboBox>
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
#include "ui/added_area.h"
#include "ui/plan_chooser.h"
#include "ui/glyph_check.h"
#include "ui/results_box.h"
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

Form1::Form1(Analyser& analyser, Platform& platform, bool simulated, double dpi,
             QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                  Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                  Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      run_(analyser, *this, platform),
      box_([this](std::string_view text) { InsertResult(text); }) {
  run_.AddObserver(box_);
  run_.AddObserver(recorder_);
  platform.SetStopCheck([this] { return StopRequested(); });
  run_.SetPlanCheck(
      [this](const FreqSegments& plan) { return recorder_.limits().MissedPlan(plan); });
  setObjectName(QStringLiteral("Form1"));
  if (dpi <= 0) dpi = logicalDpiY();

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

  auto place = [dpi](QWidget* control, const char* name, const TwipsRect& rect) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(TwipsToPixels(rect, dpi));
  };

  // A simulated result must never pass for a real one.
  setWindowTitle(simulated ? QStringLiteral("%1 (simulated analyser)").arg(kProductName)
                           : QString::fromUtf8(kProductName));
  move(TwipsToPixels(kStoredLeft, dpi), TwipsToPixels(kStoredTop, dpi));

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

  simulated_ = simulated;
  SetUpResultActions();
  MakeAddedArea(platform);
  // At a large scale factor the stored position can put the box off screen.
  KeepOnScreen(*this);

  // Enter or the space bar on the first show starts a run.
  Command1->setFocus();
}

std::string Form1::CarrierText() { return txtCarr->text().toStdString(); }
std::string Form1::RefLevelText() { return txtRef->text().toStdString(); }
std::string Form1::RefOffsetText() { return txtROfs->text().toStdString(); }
bool Form1::Band800MSelected() { return optMode[0]->isChecked(); }
int Form1::AveragingValue() { return chkAvg->isChecked() ? 1 : 0; }

void Form1::SetDialects(std::vector<Analyser*> dialects,
                        std::function<void(std::string_view)> told) {
  dialects_ = std::move(dialects);
  dialect_told_ = std::move(told);
  {
    const QSignalBlocker quiet(dialectChooser);
    dialectChooser->clear();
    for (const Analyser* dialect : dialects_) dialectChooser->addItem(QString::fromUtf8(dialect->Name()));
  }
  if (!dialects_.empty()) ChooseDialect(dialects_.front()->Name());
}

bool Form1::ChooseDialect(std::string_view name) {
  for (std::size_t i = 0; i < dialects_.size(); ++i) {
    if (dialects_[i]->Name() != name) continue;
    dialect_ = dialects_[i];
    {
      const QSignalBlocker quiet(dialectChooser);
      dialectChooser->setCurrentIndex(static_cast<int>(i));
    }
    if (dialect_told_) dialect_told_(name);
    return true;
  }
  return false;
}

std::string_view Form1::ChosenDialect() const {
  return dialect_ != nullptr ? dialect_->Name() : run_.AnalyserName();
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

void Form1::InsertResult(std::string_view text) {
  // The block starts at the caret, never inside a line or over a selection,
  // and stays together even if the caret moves during an averaging wait.
  if (!block_cursor_) block_cursor_ = BlockInsertionPoint(txtRslt->textCursor());
  QTextCursor& cursor = *block_cursor_;
  // A CR LF becomes one paragraph break.
  cursor.insertText(QString::fromUtf8(text));
  // Handing the cursor back also scrolls the caret, and so the newest line,
  // into view.
  txtRslt->setTextCursor(cursor);
  // Between averaging waits the run holds the event thread; paint now so each
  // line shows the moment it arrives rather than when the run ends.
  txtRslt->repaint();
}

void Form1::Tell(const std::string& text) {
  if (tell_) {
    tell_(text);
    return;
  }
  QMessageBox::critical(this, QString::fromUtf8(kProductName), QString::fromStdString(text));
}

std::string Form1::StopNote() {
  return stop_requested_ ? kStoppedByOperator : RunHost::StopNote();
}

void Form1::Command1_Click() {
  // Clicks delivered by an averaging wait's event handling land here while a
  // run is in progress: one run at a time.
  if (running_) return;
  running_ = true;
  stop_requested_ = false;
  block_cursor_.reset();
  // A dialect chosen during a wait speaks from the next run on.
  if (dialect_ != nullptr) run_.SetAnalyser(*dialect_);
  const RunEnd end = run_.OnStart();
  running_ = false;
  block_cursor_.reset();
  const RunRecord& record = recorder_.record();
  // Messages come once the run has ended, never during it.
  if (!record.message.empty()) Tell(record.message);
  if (!journal_problem_.empty()) Tell(std::exchange(journal_problem_, {}));
  if (end.endsProgram) {
    // The run is closed and journaled; the window goes and the program ends.
    program_ended_ = true;
    close();
    return;
  }
  // The window was closed during a wait; the run has stopped cleanly, so
  // close it for real now.
  if (close_requested_) close();
}

void Form1::closeEvent(QCloseEvent* event) {
  if (running_) {
    // Inside an averaging wait: the run stops when the wait returns, takes
    // the analyser offline, and then closes the window.
    close_requested_ = true;
    event->ignore();
    return;
  }
  event->accept();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Command1 && event->type() == QEvent::Paint) ShowAddedArea();
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
