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
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include "analyser/builtin_dialogue.h"
#include "journal/run_journal.h"
#include "measure/plan_file.h"
#include "tests/support/fake_platform.h"
#include "tests/support/process.h"
#include "tests/support/scripted_driver.h"
#include "ui/glyph_check.h"
#include "ui/main_window.h"

using tarnwick::AnalyzerBus;
using tarnwick::testing::FakePlatform;
using tarnwick::testing::ScriptedDriver;
using tarnwick::ui::Form1;

namespace {

// An analyser whose peak is always 1234.56789 MHz at -45.3 dBm and whose
// averaged sweeps finish at the first status poll.
std::optional<std::string> Answer(std::string_view command) {
  if (command == "MF?") return "1234567890\r\n";
  if (command == "ML?") return "-45.3\r\n";
  if (command == "*STB?") return "128\r\n";
  if (command == "*ESR?") return "0\r\n";
  return std::nullopt;
}

const QString kFirstLine = QStringLiteral("30MHz---1100MHz       1234.568MHz    -45.30dBm");

struct Bench {
  explicit Bench(bool simulated = false, double dpi = 96)
      : window(analyser, platform, simulated, dpi) {
    driver.responder = Answer;
    window.SetMessenger([this](const std::string& text) { messages.push_back(text); });
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

  FakePlatform platform;
  ScriptedDriver driver;
  AnalyzerBus bus{driver};
  tarnwick::BuiltinDialogue analyser{bus, platform};
  Form1 window;
  std::vector<std::string> messages;
};

// Runs the application's event loop, as the program does, with action as its
// first event. Returns the loop's exit status, or -1 if nothing ended it.
int ExecWith(const std::function<void()>& action) {
  QTimer::singleShot(0, action);
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
  deadline.start(5000);
  return QCoreApplication::exec();
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startUpStateAndLayout() {
    Bench b;
    b.Show();
    QCOMPARE(b.window.windowTitle(), QStringLiteral("Tarnwick"));
    QCOMPARE(QApplication::focusWidget(), b.window.Command1);
    // Tab leaves the results box rather than typing into it.
    QVERIFY(b.window.optMode[1]->isChecked() && !b.window.chkAvg->isChecked() &&
            b.window.txtRslt->tabChangesFocus());
    QCOMPARE(Bench(true).window.windowTitle(), QStringLiteral("Tarnwick (simulated analyser)"));
    // Twips at the screen's DPI (offscreen reports 96), or at a given one.
    QCOMPARE(b.window.size(), QSize(430, 404));
    QCOMPARE(b.window.txtRslt->geometry(), QRect(24, 88, 397, 301));
    QCOMPARE(Bench(false, 120).window.chkAvg->geometry(), QRect(405, 80, 111, 21));
    // A plain fixed-pitch results font, so the columns line up; long lines wrap.
    const QFontInfo font(b.window.txtRslt->font());
    QVERIFY(tarnwick::ui::KeepsColumnsAligned(b.window.txtRslt->font()));
    QVERIFY(!font.italic() && !font.underline() && !font.strikeOut());
    b.window.InsertResult(std::string(200, 'x'));
    QCOMPARE(b.window.txtRslt->horizontalScrollBar()->maximum(), 0);
  }

  void keysOnStartRunMeasurements() {
    Bench b;
    b.Show();
    // Keys go to whatever has the focus: START, at first show.
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Return);
    const QStringList lines = b.Lines();
    QCOMPARE(lines.size(), 8);  // header, six segments, the empty line after the break
    QCOMPARE(lines[1], kFirstLine);
    QVERIFY(!b.window.txtRslt->toPlainText().contains(QLatin1Char('\r')));
    QCOMPARE(b.Sweeps(), "TTTTTT");
    QCOMPARE(b.platform.sleeps, 0);  // events wait while the run holds the thread

    // The keypad's Enter and the space bar start runs too; Ctrl+Return and a
    // held key's repeats do not.
    QTest::keyClick(b.window.Command1, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(b.window.Command1, Qt::Key_Space);
    QTest::keyClick(b.window.Command1, Qt::Key_Return, Qt::ControlModifier);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
      for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent repeat(type, key, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(b.window.Command1, &repeat);
      }
    }
    QCOMPARE(b.Lines().count(QStringLiteral("Spurious")), 3);
    // Once the blocks outgrow the box, it scrolls to keep the newest line in view.
    b.window.Command1->click();
    QPlainTextEdit* box = b.window.txtRslt;
    QVERIFY(box->verticalScrollBar()->maximum() > 0);
    QVERIFY(box->viewport()->rect().contains(box->cursorRect()));
  }

  void eventsDuringAWait() {
    Bench b;
    b.Show();
    b.window.chkAvg->setChecked(true);
    // One status poll per wait, so pump n belongs to segment n-1. A second
    // START is ignored; Averaging changed applies from the next segment.
    bool runningInWait = false;
    b.platform.onSleep = [&] {
      if (b.platform.sleeps == 1) {
        runningInWait = b.window.Running();
        b.window.Command1->click();
        QTest::keyClick(b.window.Command1, Qt::Key_Return);
      }
      if (b.platform.sleeps == 2) QTest::mouseClick(b.window.chkAvg, Qt::LeftButton);
    };
    b.window.Command1->click();
    QVERIFY(runningInWait && !b.window.Running());
    QCOMPARE(b.Count(b.driver.writes, "DY 0.1"), 1);
    QCOMPARE(b.Sweeps(), "AATTTT");
    QCOMPARE(b.Lines().size(), 8);
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
    // During a wait: the wait ends at its next pass, the run cleans up, and
    // only then does the window go.
    Bench b;
    b.Show();
    b.window.chkAvg->setChecked(true);
    b.driver.responder = [](std::string_view c) {
      return c == "*STB?" ? std::optional<std::string>("0\r\n") : Answer(c);  // never done
    };
    bool closedInWait = true;
    b.platform.onSleep = [&] { closedInWait = b.window.close(); };
    QCOMPARE(ExecWith([&] { b.window.Command1->click(); }), 0);
    QVERIFY(!closedInWait);
    QCOMPARE(b.platform.sleeps, 1);
    QCOMPARE(b.Count(b.driver.writes, "*STB?"), 0);
    QCOMPARE(b.driver.writes.back(), "AAVG OFF");
    QCOMPARE(b.driver.calls.back(), "ibonl(0, 0)");
    QVERIFY(!b.window.isVisible());
    QVERIFY(!b.window.ProgramEnded());
  }

  void registrationFailureEndsTheProgram() {
    Bench b;
    b.Show();
    b.driver.registrationResults = {3};
    QCOMPARE(ExecWith([&] { b.window.Command1->click(); }), 0);
    QCOMPARE(b.messages, (std::vector<std::string>{std::string(tarnwick::kMsgUnableToRegister)}));
    // The run ended properly before the window went: recorded, and nothing
    // more said to a driver that refused its words.
    QCOMPARE(b.window.recorder().record().OutcomeName(), std::string("stopped"));
    QCOMPARE(b.driver.calls, (std::vector<std::string>{"Register", "Unregister"}));
    QVERIFY(b.window.ProgramEnded());
    QVERIFY(!b.window.isVisible() && !b.window.Running());
  }

  void blocksNeverSplitALineNorReplaceASelection() {
    struct Case {
      QString text;
      int anchor, position;  // the selection, or the caret when equal
      QString before, after;  // the text around the block
    };
    const Case cases[] = {
        {"DUT 7\nend", 2, 2, "DUT 7\n", "end"},          // mid-line: after the line
        {"DUT 7", 5, 5, "DUT 7\n", ""},                   // end of the last line
        {"old\nresults\n", 0, 12, "old\nresults\n", ""},  // Ctrl+A keeps everything
        {"abc\ndef\nghi", 5, 1, "abc\ndef\n", "ghi"},      // a selection across lines
    };
    for (const Case& c : cases) {
      Bench b;
      b.window.txtRslt->setPlainText(c.text);
      QTextCursor caret(b.window.txtRslt->document());
      caret.setPosition(c.anchor);
      caret.setPosition(c.position, QTextCursor::KeepAnchor);
      b.window.txtRslt->setTextCursor(caret);
      b.window.Command1->click();
      const QString all = b.window.txtRslt->toPlainText();
      const qsizetype at = all.indexOf(QStringLiteral("Spurious"));
      QCOMPARE(all.left(at), c.before);
      QCOMPARE(all.mid(all.indexOf(QStringLiteral("6100MHz"), at)).section('\n', 1), c.after);
    }
  }

  void titleShowsProgressAndTheVerdict() {
    Bench b(true);
    b.window.recorder().SetLimits(tarnwick::LimitTable::Everywhere(-50));  // -45.3 dBm fails
    QStringList titles;
    b.driver.responder = [&](std::string_view c) {
      if (c == "MF?") titles << b.window.windowTitle();
      return Answer(c);
    };
    b.window.Command1->click();
    QCOMPARE(titles.value(2), QStringLiteral("Tarnwick — segment 3 of 6 (simulated analyser)"));
    QCOMPARE(b.window.windowTitle(), QStringLiteral("Tarnwick — FAIL (simulated analyser)"));
  }

  void savedTextAndExportedRunsSayWhatTheyAre() {
    const auto dir = tarnwick::testing::TestDir();
    Bench b(true);
    QCOMPARE(b.window.ExportSessionTo(QString::fromStdString((dir / "none.csv").string())),
             QStringLiteral("No journal is being written: there is nothing to export."));
    tarnwick::RunJournal journal(tarnwick::OpenJournal((dir / "j.sqlite").string()),
                                 [](const std::string& w) { QFAIL(w.c_str()); });
    b.window.recorder().AddListener(journal);
    b.window.SetJournal(journal);
    b.window.Command1->click();
    b.window.Command1->click();
    const auto saved = dir / "saved.txt", csv = dir / "runs.csv";
    QCOMPARE(b.window.SaveResultsTo(QString::fromStdString(saved.string())), QString());
    QCOMPARE(b.window.ExportSessionTo(QString::fromStdString(csv.string())), QString());
    const std::string text = tarnwick::testing::ReadFile(saved);
    QVERIFY(text.starts_with("Simulated analyser: these lines are not a measurement.\r\n"
                             "Spurious\r\n30MHz---1100MHz       1234.568MHz    -45.30dBm\r\n"));
    QCOMPARE(std::count(text.begin(), text.end(), '\n'), std::count(text.begin(), text.end(), '\r'));
    const std::string rows = tarnwick::testing::ReadFile(csv);
    QCOMPARE(std::count(rows.begin(), rows.end(), '\n'), 13);  // header, two runs of six
    QVERIFY(rows.find("\r\n2,") != std::string::npos);  // this session's second run
    QCOMPARE(b.window.saveAction->shortcut(), QKeySequence(QKeySequence::Save));
  }

  void tabEntersTheBandsAtTheSelectedOne() {
    Bench b;
    b.Show();
    for (int selected : {1, 0}) {
      b.window.optMode[static_cast<std::size_t>(selected)]->setChecked(true);
      b.window.txtCarr->setFocus();
      QTest::keyClick(b.window.txtCarr, Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), b.window.optMode[static_cast<std::size_t>(selected)]);
    }
    // 800M, now selected, clears 2G and sets the next run's plan.
    QVERIFY(!b.window.optMode[1]->isChecked());
    b.window.Command1->click();
    QCOMPARE(b.window.SegmentList().size(), 3u);
    // Another plan greys the band buttons; a built-in one gives them back.
    b.window.SetPlan(tarnwick::ParsePlan(
        "name = \"p\"\nnotch_mhz = 1\n[[segment]]\nstart_mhz = 30\nstop_mhz = 40\n", "p.toml"));
    b.window.Command1->click();
    QVERIFY(!b.window.optMode[0]->isEnabled() && !b.window.optMode[1]->isEnabled());
    QCOMPARE(b.window.SegmentList().size(), 1u);
    b.window.SetPlan(tarnwick::BuiltinPlan(1));
    b.window.Command1->click();
    QVERIFY(b.window.optMode[1]->isChecked() && b.window.optMode[0]->isEnabled());
    QCOMPARE(b.window.SegmentList().size(), 6u);
  }

  void windowStaysOnItsScreenAndItsFontIsLegible() {
    // Twips at 150 dpi put the window's foot below the offscreen 800 x 800 screen,
    // as a scale factor of 2 does on a 1080-line one.
    Bench large(false, 150);
    large.Show();
    QVERIFY(large.window.screen()->availableGeometry().contains(large.window.frameGeometry()));
    QVERIFY(tarnwick::ui::DrawsResultGlyphsDistinctly(large.window.txtRslt->font()));
    // IPA Gothic at 9 points draws '.' like ',': the check must see it.
    if (QFontDatabase::families().contains(QStringLiteral("IPAGothic"))) {
      QFont ipa(QStringLiteral("IPAGothic"));
      ipa.setPointSize(9);
      QVERIFY(!tarnwick::ui::DrawsResultGlyphsDistinctly(ipa));
    }
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
