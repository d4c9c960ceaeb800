// The window driven as the operator drives it, on a scripted analyser and a
// virtual clock. Runs under Qt's offscreen platform.
#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include "tests/support/fake_platform.h"
#include "tests/support/scripted_driver.h"
#include "ui/main_window.h"
#include "ui/window_platform.h"

using tarnwick::AnalyzerBus;
using tarnwick::testing::FakePlatform;
using tarnwick::testing::ScriptedDriver;
using tarnwick::ui::Form1;

namespace {

// Ends the program the way the window's own platform does.
class TestPlatform : public FakePlatform {
 public:
  [[noreturn]] void EndProgram() override { throw tarnwick::ui::ProgramEndRequest{}; }
};

// An analyser whose peak is always 1234.56789 MHz at -45.3 dBm and whose
// averaged sweeps finish at the first status poll.
std::optional<std::string> Answer(std::string_view command) {
  if (command == "MF?") return "1234567890\r\n";
  if (command == "ML?") return "-45.3\r\n";
  if (command == "*STB?") return "128\r\n";
  if (command == "*ESR?") return "0\r\n";
  return std::nullopt;
}

// The line for segment 0 of the default plan with that peak.
const QString kFirstLine = QStringLiteral("30MHz---1100MHz     ") +
                           QStringLiteral("  1234.568MHz") + QStringLiteral("    -45.30dBm");

struct Bench {
  explicit Bench(bool simulated = false) : window(bus, platform, simulated, 96) {
    driver.responder = Answer;
  }
  void Show() {
    window.show();
    window.activateWindow();  // an X server without a window manager activates nothing
    QVERIFY(QTest::qWaitForWindowActive(&window));
  }
  QStringList Lines() const { return window.txtRslt->toPlainText().split(QLatin1Char('\n')); }
  int Count(const std::vector<std::string>& list, std::string_view item) const {
    return static_cast<int>(std::count(list.begin(), list.end(), item));
  }
  // One letter per segment: 'T' for a plain sweep, 'A' for an averaged one.
  std::string Sweeps() const {
    std::string kinds;
    for (const std::string& w : driver.writes) {
      if (w == "TS") kinds += 'T';
      if (w == "AGSGL") kinds += 'A';
    }
    return kinds;
  }
  std::vector<std::string> StopFrequencies() const {
    std::vector<std::string> stops;
    for (const std::string& w : driver.writes) {
      if (w.rfind("FB ", 0) == 0) stops.push_back(w);
    }
    return stops;
  }

  TestPlatform platform;
  ScriptedDriver driver;
  AnalyzerBus bus{driver, platform};
  Form1 window;
};

// Runs the application's event loop, as the program does, with action as its
// first event. Returns the loop's exit status, or -1 if nothing ended it.
int ExecWith(const std::function<void()>& action) {
  QTimer start, deadline;
  start.setSingleShot(true);
  deadline.setSingleShot(true);
  QObject::connect(&start, &QTimer::timeout, action);
  QObject::connect(&deadline, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
  start.start(0);
  deadline.start(5000);
  return QCoreApplication::exec();
}

const std::vector<std::string> k2GStops = {"FB 1100000000HZ", "FB 1927500000HZ",
                                           "FB 3100000000HZ", "FB 4100000000HZ",
                                           "FB 5100000000HZ", "FB 6100000000HZ"};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startUpState() {
    Bench b;
    b.Show();
    QCOMPARE(b.window.windowTitle(), QStringLiteral("Tarnwick"));
    QCOMPARE(QApplication::focusWidget(), b.window.Command1);
    QCOMPARE(b.window.txtCarr->text(), QStringLiteral("1940"));
    QCOMPARE(b.window.txtRef->text(), QStringLiteral("20"));
    QCOMPARE(b.window.txtROfs->text(), QStringLiteral("0"));
    QVERIFY(!b.window.optMode[0]->isChecked());
    QVERIFY(b.window.optMode[1]->isChecked());
    QVERIFY(!b.window.chkAvg->isChecked());
    QVERIFY(b.window.txtRslt->toPlainText().isEmpty());
    QVERIFY(!b.window.txtRslt->isReadOnly());
    QVERIFY(!b.window.Command1->isDefault() && !b.window.Command1->autoDefault());
    // Fixed size, no maximise button.
    QCOMPARE(b.window.minimumSize(), QSize(430, 404));
    QCOMPARE(b.window.maximumSize(), QSize(430, 404));
    QVERIFY(!(b.window.windowFlags() & Qt::WindowMaximizeButtonHint));
    // Nothing touches the bus before START.
    QVERIFY(b.driver.calls.empty());

    Bench simulated(true);
    QCOMPARE(simulated.window.windowTitle(), QStringLiteral("Tarnwick (simulated analyser)"));
  }

  void focusChainFollowsTabIndex() {
    Bench b;
    const QStringList expected = {"Command1", "txtRslt", "txtCarr", "optMode_0",
                                  "optMode_1", "txtRef", "txtROfs", "chkAvg"};
    QStringList chain;
    QWidget* w = b.window.Command1;
    do {
      if (expected.contains(w->objectName())) chain << w->objectName();
      w = w->nextInFocusChain();
    } while (w != b.window.Command1);
    QCOMPARE(chain, expected);
    for (QLabel* label : b.window.Label1) QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    // Tab leaves the results box instead of typing a tab into it.
    QVERIFY(b.window.txtRslt->tabChangesFocus());
  }

  void layoutAt96Dpi_data() {
    QTest::addColumn<QRect>("expected");
    QTest::newRow("Command1") << QRect(8, 8, 101, 33);
    QTest::newRow("txtRslt") << QRect(24, 88, 397, 301);
    QTest::newRow("txtCarr") << QRect(180, 12, 73, 18);
    QTest::newRow("Label1_0") << QRect(260, 16, 41, 13);
    QTest::newRow("Label1_1") << QRect(128, 16, 49, 13);
    QTest::newRow("optMode_0") << QRect(356, 8, 61, 13);
    QTest::newRow("optMode_1") << QRect(356, 24, 61, 13);
    QTest::newRow("txtRef") << QRect(180, 40, 73, 18);
    QTest::newRow("txtROfs") << QRect(180, 64, 73, 18);
    QTest::newRow("Label1_2") << QRect(128, 44, 49, 13);
    QTest::newRow("Label1_3") << QRect(128, 68, 49, 13);
    QTest::newRow("Label1_4") << QRect(260, 44, 41, 13);
    QTest::newRow("Label1_5") << QRect(260, 68, 41, 13);
    QTest::newRow("chkAvg") << QRect(324, 64, 89, 17);
  }

  void layoutAt96Dpi() {
    QFETCH(QRect, expected);
    Bench b;
    auto* control = b.window.findChild<QWidget*>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(control != nullptr);
    QCOMPARE(control->geometry(), expected);
  }

  void layoutFollowsDpi() {
    TestPlatform platform;
    ScriptedDriver driver;
    AnalyzerBus bus(driver, platform);
    // 12 twips a pixel at 120 dpi.
    Form1 at120(bus, platform, false, 120);
    QCOMPARE(at120.size(), QSize(538, 505));
    QCOMPARE(at120.Command1->geometry(), QRect(10, 10, 126, 41));
    QCOMPARE(at120.txtRslt->geometry(), QRect(30, 110, 496, 376));
    // Without a DPI the screen's is used; offscreen reports 96.
    QCOMPARE(qRound(QApplication::primaryScreen()->logicalDotsPerInchY()), 96);
    Form1 atScreen(bus, platform, false);
    QCOMPARE(atScreen.size(), QSize(430, 404));
    QCOMPARE(atScreen.chkAvg->geometry(), QRect(324, 64, 89, 17));
  }

  void resultsBoxLooksAsItShould() {
    Bench b;
    QPlainTextEdit* box = b.window.txtRslt;
    QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    const QFontInfo info(box->font());
    QCOMPARE(info.pointSize(), 9);
    QCOMPARE(info.weight(), int(QFont::Normal));
    QVERIFY(!info.italic() && !info.underline() && !info.strikeOut());
    QVERIFY(tarnwick::ui::KeepsColumnsAligned(box->font()));
    if (!QFontDatabase::families().contains(QStringLiteral("MS Gothic")) &&
        QFontDatabase::families().contains(QStringLiteral("IPAGothic"))) {
      QCOMPARE(info.family(), QStringLiteral("IPAGothic"));
    }
    // Every other control keeps the toolkit's font.
    for (QWidget* w : b.window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (w != box) QVERIFY2(!w->testAttribute(Qt::WA_SetFont), qPrintable(w->objectName()));
    }
    // A long line wraps instead of scrolling sideways.
    b.Show();
    b.window.InsertResult(std::string(200, 'x'));
    QCOMPARE(box->horizontalScrollBar()->maximum(), 0);
    QVERIFY(box->document()->firstBlock().layout()->lineCount() > 1);
  }

  void fontFallsBackToAFixedFace() {
    using tarnwick::ui::ChooseResultsFont;
    using tarnwick::ui::KeepsColumnsAligned;
    const QString systemFixed =
        QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
    QCOMPARE(QFontInfo(ChooseResultsFont({"No Such Face"})).family(), systemFixed);
    QCOMPARE(ChooseResultsFont({"No Such Face"}).pointSize(), 9);
    if (QFontDatabase::families().contains(QStringLiteral("IPAPGothic"))) {
      // Installed but proportional: rejected.
      QVERIFY(!KeepsColumnsAligned(QFont(QStringLiteral("IPAPGothic"), 9)));
      QCOMPARE(QFontInfo(ChooseResultsFont({"IPAPGothic"})).family(), systemFixed);
    }
  }

  void enterOnStartRunsADefaultMeasurement() {
    Bench b;
    b.Show();
    // Keys go to whatever has the focus: START, at first show.
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Return);
    QStringList lines = b.Lines();
    QCOMPARE(lines.size(), 8);  // header, six segments, the empty line after the break
    QCOMPARE(lines[0], QStringLiteral("Spurious"));
    QCOMPARE(lines[1], kFirstLine);
    for (int i = 1; i <= 6; ++i) QCOMPARE(lines[i].size(), 46);
    QVERIFY(lines[7].isEmpty());
    QVERIFY(!b.window.txtRslt->toPlainText().contains(QLatin1Char('\r')));
    QCOMPARE(b.StopFrequencies(), k2GStops);
    QCOMPARE(b.Sweeps(), "TTTTTT");
    QCOMPARE(b.platform.pumps, 0);  // events wait while the run holds the thread

    // The keypad's Enter and the space bar start runs too; Ctrl+Return does not.
    QTest::keyClick(b.window.Command1, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(b.window.Command1, Qt::Key_Space);
    QTest::keyClick(b.window.Command1, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(b.Lines().count(QStringLiteral("Spurious")), 3);
    // Once the blocks outgrow the box, it scrolls to keep the newest line in view.
    b.window.Command1->click();
    QPlainTextEdit* box = b.window.txtRslt;
    QVERIFY(box->verticalScrollBar()->maximum() > 0);
    QVERIFY(box->viewport()->rect().contains(box->cursorRect()));
  }

  void eachLineIsPaintedWhenInserted() {
    Bench b;
    b.Show();
    QVERIFY(QTest::qWaitForWindowExposed(&b.window));
    struct PaintCounter : QObject {
      int paints = 0;
      bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
      }
    } counter;
    b.window.txtRslt->viewport()->installEventFilter(&counter);
    // Paints seen when each segment begins and when the run closes.
    std::vector<int> seen;
    b.driver.writeFailure = [&](std::string_view text) -> std::optional<int32_t> {
      if (text.rfind("FB ", 0) == 0 || text == "AAVG OFF") seen.push_back(counter.paints);
      return std::nullopt;
    };
    b.window.Command1->click();
    QCOMPARE(b.platform.pumps, 0);
    QCOMPARE(seen.size(), 7u);
    QVERIFY(seen[0] > 0);  // the header
    for (std::size_t i = 1; i < seen.size(); ++i) QVERIFY(seen[i] > seen[i - 1]);
  }

  void band800MReplaces2G() {
    Bench b;
    b.Show();
    QTest::mouseClick(b.window.optMode[0], Qt::LeftButton);
    QVERIFY(b.window.optMode[0]->isChecked());
    QVERIFY(!b.window.optMode[1]->isChecked());
    b.window.Command1->click();
    QCOMPARE(b.StopFrequencies(),
             (std::vector<std::string>{"FB 1927500000HZ", "FB 2100000000HZ", "FB 3100000000HZ"}));
    QCOMPARE(b.window.SegmentList().size(), 3u);
    QCOMPARE(b.Lines().size(), 5);

    QTest::mouseClick(b.window.optMode[1], Qt::LeftButton);
    QVERIFY(!b.window.optMode[0]->isChecked());
    b.driver.writes.clear();
    b.window.Command1->click();
    QCOMPARE(b.StopFrequencies(), k2GStops);
  }

  void runsInsertAtTheCaretAndKeepTypedText() {
    Bench b;
    b.Show();
    QPlainTextEdit* box = b.window.txtRslt;
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("DUT 7"));
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, QStringLiteral("end"));
    QTextCursor caret = box->textCursor();
    caret.setPosition(6);  // the start of "end"
    box->setTextCursor(caret);

    b.window.Command1->click();
    QStringList lines = b.Lines();
    QCOMPARE(lines.size(), 9);
    QCOMPARE(lines[0], QStringLiteral("DUT 7"));
    QCOMPARE(lines[1], QStringLiteral("Spurious"));
    QCOMPARE(lines[2], kFirstLine);
    QCOMPARE(lines[8], QStringLiteral("end"));
    const int blockEnd = box->textCursor().position();
    QCOMPARE(box->toPlainText().mid(blockEnd), QStringLiteral("end"));

    // A second run follows the first block; a selection is replaced.
    caret = box->textCursor();
    caret.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    box->setTextCursor(caret);
    b.window.Command1->click();
    lines = b.Lines();
    QCOMPARE(lines.size(), 16);
    QCOMPARE(lines[8], QStringLiteral("Spurious"));
    QVERIFY(!lines.contains(QStringLiteral("end")));
    QVERIFY(box->textCursor().atEnd());
    QCOMPARE(b.Count(b.driver.calls, "Register"), 1);
    QCOMPARE(b.Count(b.driver.calls, "ibdev(0, 8, 0, 13, 1, 0)"), 2);
  }

  void averagingChangedDuringAWaitAppliesFromTheNextSegment() {
    Bench b;
    b.Show();
    b.window.chkAvg->setChecked(true);
    // One status poll per wait, so pump n belongs to segment n-1.
    b.platform.onPump = [&] {
      if (b.platform.pumps == 2) QTest::mouseClick(b.window.chkAvg, Qt::LeftButton);
    };
    b.window.Command1->click();
    QVERIFY(!b.window.chkAvg->isChecked());
    QCOMPARE(b.Sweeps(), "AATTTT");
    QCOMPARE(b.platform.pumps, 2);
    QCOMPARE(b.Lines().size(), 8);
  }

  void secondStartDuringAWaitIsIgnored() {
    Bench b;
    b.Show();
    b.window.chkAvg->setChecked(true);
    bool runningInWait = false;
    b.platform.onPump = [&] {
      if (b.platform.pumps > 1) return;
      runningInWait = b.window.Running();
      b.window.Command1->click();
      QTest::keyClick(b.window.Command1, Qt::Key_Return);
    };
    b.window.Command1->click();
    QVERIFY(runningInWait);
    QCOMPARE(b.Count(b.driver.writes, "DY 0.1"), 1);
    QCOMPARE(b.Count(b.driver.calls, "ibdev(0, 8, 0, 13, 1, 0)"), 1);
    QCOMPARE(b.Lines().count(QStringLiteral("Spurious")), 1);
    QCOMPARE(b.Sweeps(), "AAAAAA");
    QVERIFY(!b.window.Running());
  }

  void closingEndsTheProgram() {
    {
      // While idle: at once, without a word to the analyser.
      Bench b;
      b.Show();
      QCOMPARE(ExecWith([&] { b.window.close(); }), 0);
      QVERIFY(!b.window.isVisible());
      QVERIFY(b.driver.calls.empty());
    }
    // During a wait: the run stops once the wait returns, cleans up, and only
    // then does the window go.
    Bench b;
    b.Show();
    b.window.chkAvg->setChecked(true);
    bool closedInWait = true;
    b.platform.onPump = [&] {
      closedInWait = b.window.close();
      QVERIFY(b.window.isVisible());
    };
    QCOMPARE(ExecWith([&] { b.window.Command1->click(); }), 0);
    QVERIFY(!closedInWait);
    QCOMPARE(b.platform.pumps, 1);
    QCOMPARE(b.Count(b.driver.writes, "PS"), 0);
    QCOMPARE(b.Count(b.driver.writes, "MF?"), 0);
    QCOMPARE(b.driver.writes.back(), "AAVG OFF");
    const std::vector<std::string> lastCalls(b.driver.calls.end() - 2, b.driver.calls.end());
    QCOMPARE(lastCalls, (std::vector<std::string>{"ibonl(1, 0)", "ibonl(0, 0)"}));
    QCOMPARE(b.Lines(), (QStringList{"Spurious", ""}));
    QVERIFY(!b.window.isVisible());
    QVERIFY(!b.window.ProgramEnded());
  }

  void stoppedRunShowsAMessageAndKeepsResults() {
    Bench b;
    b.Show();
    b.driver.writeFailure = [](std::string_view text) -> std::optional<int32_t> {
      if (text == "FB 4100000000HZ") return tarnwick::ENOL;
      return std::nullopt;
    };
    b.window.Command1->click();
    QCOMPARE(b.platform.messages.size(), 1u);
    QVERIFY(!b.platform.messages[0].empty());
    QCOMPARE(b.Lines().size(), 5);  // header and the three segments before the fault
    QCOMPARE(b.Lines()[1], kFirstLine);
    QCOMPARE(b.driver.calls.back(), "ibonl(0, 0)");
    QVERIFY(b.window.isVisible());
    QVERIFY(!b.window.ProgramEnded());

    b.driver.writeFailure = nullptr;
    b.window.Command1->click();
    const QStringList lines = b.Lines();
    QCOMPARE(lines.size(), 12);
    QCOMPARE(lines[1], kFirstLine);
    QCOMPARE(lines[4], QStringLiteral("Spurious"));
  }

  void registrationFailureEndsTheProgram() {
    Bench b;
    b.Show();
    b.driver.registrationResults = {3};
    QCOMPARE(ExecWith([&] { b.window.Command1->click(); }), 0);
    QCOMPARE(b.platform.messages,
             (std::vector<std::string>{std::string(tarnwick::kMsgUnableToRegister)}));
    QVERIFY(b.window.ProgramEnded());
    QVERIFY(!b.window.isVisible());
    QVERIFY(!b.window.Running());
    QVERIFY(b.driver.writes.empty());
  }

  void windowPlatformPumpsShowsMessagesAndEnds() {
    tarnwick::ui::WindowPlatform platform;
    bool delivered = false;
    QTimer::singleShot(0, [&] { delivered = true; });
    platform.PumpEvents();
    QVERIFY(delivered);

    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    // Answers the box once it shows; the box would otherwise wait for ever.
    QTimer::singleShot(0, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box == nullptr || !box->isVisible()) continue;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->accept();
      }
    });
    platform.CriticalMessage("Unable to register GPIB thread globals.");
    QCOMPARE(title, QStringLiteral("Tarnwick"));
    QCOMPARE(text, QStringLiteral("Unable to register GPIB thread globals."));
    QCOMPARE(icon, QMessageBox::Critical);

    QVERIFY_THROWS_EXCEPTION(tarnwick::ui::ProgramEndRequest, platform.EndProgram());
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
