// tarnwick: the operator window. START runs one measurement on the fields'
// values; the result lines go into the window's results box.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "app/journal_options.h"
#include "journal/lab_settings.h"
#include "app/program_options.h"
#include "measure/plan_catalogue.h"
#include "session/run_session.h"
#include "ui/main_window.h"
#include "ui/window_settings.h"
#include "version.h"

namespace tarnwick {
namespace {

constexpr char kProgram[] = "tarnwick";

struct GuiOptions {
  DriverOptions driver;
  JournalOptions journal;
  std::string plan;
  // For the documentation's picture: one run on the simulated analyser, then
  // the window is saved as a PNG and the program quits.
  std::string screenshot;
  // For start-up timing: quit as soon as the window has first painted.
  bool quitAfterFirstPaint = false;
};

void DefineOptions(CLI::App& app, GuiOptions& options) {
  AddDriverOptions(app, options.driver);
  AddJournalOptions(app, options.journal);
  AddPlanOption(app, options.plan);
  // Development aids, left out of --help.
  app.add_option("--screenshot", options.screenshot)->group("");
  app.add_flag("--quit-after-first-paint", options.quitAfterFirstPaint)->group("");
}

// False when the program ends here with status: a usage error, or --help or
// --version answered.
bool Parse(CLI::App& app, int argc, char** argv, int& status) {
  try {
    app.parse(argc, argv);
    return true;
  } catch (const CLI::ParseError& e) {
    status = app.exit(e) == 0 ? kExitOk : kExitUsage;
    return false;
  }
}

// Qt takes its own options (single dash, such as -platform) out of argv when it
// starts, and it cannot start without a display. So ours are checked once
// before Qt: --help, --version and usage errors are answered even where no
// display can be opened. Returns false when the program ends here.
bool PreParse(const char* summary, int argc, char** argv, int& status) {
  CLI::App app{summary, kProgram};
  GuiOptions ignored;
  DefineOptions(app, ignored);
  app.allow_extras();
  if (!Parse(app, argc, argv, status)) return false;
  for (const std::string& extra : app.remaining()) {
    if (extra.rfind("--", 0) == 0) {
      fmt::print(stderr, "{}: unknown option {}; see --help\n", kProgram, extra);
      status = kExitUsage;
      return false;
    }
  }
  return true;
}

// How long Qt's own closing may take once the window is gone and the journal
// is closed. Qt hands text the operator copied to the desktop's clipboard
// manager and waits for it, up to 5 s with one that is slow to answer: the
// window was long gone, but the program lived on.
constexpr std::chrono::milliseconds kQtClosingGrace{300};

// Armed with the program's status, ends the program kQtClosingGrace after
// it is destroyed, should Qt's closing still be under way then.
class ClosingDeadline {
 public:
  void Arm(int status) { status_ = status; }
  ~ClosingDeadline() {
    if (!status_) return;
    std::thread([status = *status_] {
      std::this_thread::sleep_for(kQtClosingGrace);
      std::fflush(nullptr);
      std::_Exit(status);
    }).detach();
  }

 private:
  std::optional<int> status_;
};

// Runs an action once, just after the watched window's first paint: of the
// window or of whichever of its widgets paints first (those that cover it
// whole leave the window itself nothing to paint).
class AfterFirstPaint : public QObject {
 public:
  // at once: from inside the paint event (for quitting, which paints
  // nothing), rather than just after it.
  AfterFirstPaint(QWidget& window, std::function<void()> action, bool atOnce = false)
      : window_(window), action_(std::move(action)), at_once_(atOnce) {
    QCoreApplication::instance()->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && action_ && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == &window_) {
      QCoreApplication::instance()->removeEventFilter(this);
      if (at_once_) {
        std::exchange(action_, nullptr)();
      } else {
        // Not from inside the paint event: the action may paint again.
        QTimer::singleShot(0, this, std::exchange(action_, nullptr));
      }
    }
    return false;
  }

 private:
  QWidget& window_;
  std::function<void()> action_;
  bool at_once_;
};

// Tells the operator before the window exists, on standard error and in a
// message box of its own.
void Critical(const std::string& text) {
  fmt::print(stderr, "{}: {}\n", kProgram, text);
  QMessageBox::critical(nullptr, QString::fromUtf8(kProductName), QString::fromStdString(text));
}

// The dialect and the plan given on the command line, else those in force
// when the window last closed. False when a plan given cannot be used.
bool RestoreChoices(ui::Form1& window, const ui::WindowSettings& settings,
                    const GuiOptions& options, bool dialectGiven) {
  if (!window.ChooseDialect(dialectGiven ? options.driver.dialect
                                         : settings.Dialect().toStdString())) {
    window.ChooseDialect(options.driver.dialect);
  }
  const std::string planChoice =
      options.plan.empty() ? settings.PlanFile().toStdString() : options.plan;
  if (planChoice.empty()) return true;
  try {
    window.SetPlan(ChoosePlan(planChoice));
  } catch (const PlanError& e) {
    Critical(e.what());
    return options.plan.empty();
  }
  return true;
}

// The choices in force as the window closes, for the next start.
void RememberChoices(ui::Form1& window, ui::WindowSettings& settings) {
  const TestPlan* plan = window.ChosenPlan();
  settings.SetPlanFile(plan ? QString::fromStdString(plan->source) : QString());
  settings.SetDialect(QString::fromStdString(window.ChosenDialect()));
}

// What the development aids do at the first paint: a run on the simulated
// analyser and the window saved as a picture, or quitting at once.
std::unique_ptr<AfterFirstPaint> ToolHook(ui::Form1& window, const GuiOptions& options,
                                          bool simulated, int& toolStatus) {
  if (!options.screenshot.empty()) {
    return std::make_unique<AfterFirstPaint>(window, [&window, &options, simulated, &toolStatus] {
      auto save = [&window, &options, &toolStatus] {
        if (!window.grab().save(QString::fromStdString(options.screenshot), "PNG")) {
          fmt::print(stderr, "{}: cannot write {}\n", kProgram, options.screenshot);
          toolStatus = EXIT_FAILURE;
        }
        QApplication::quit();
      };
      if (!simulated) return save();
      // Once the run has ended, and the window has laid itself out again for
      // what the run left in it.
      QObject::connect(
          &window, &ui::Form1::RunEnded, &window, [save] { QTimer::singleShot(0, save); },
          Qt::SingleShotConnection);
      window.Command1->click();
    });
  }
  if (options.quitAfterFirstPaint) {
    // What else was waiting for the first paint is not timed.
    return std::make_unique<AfterFirstPaint>(window, [] { QApplication::quit(); }, true);
  }
  return nullptr;
}

int Main(int argc, char** argv) {
  const char* summary = "The Tarnwick window: searches a transmitter's spurious emissions "
                        "with a spectrum analyser over GPIB.";
  if (int status = kExitOk; !PreParse(summary, argc, argv, status)) return status;
  GuiOptions options;

  // Takes Qt's own options (-platform, -style, ...) out of argv.
  QApplication qt(argc, argv);
  // Destroyed after everything below, before Qt.
  ClosingDeadline deadline;
  QApplication::setApplicationName(QString::fromUtf8(kProductName));
  QApplication::setApplicationVersion(QString::fromUtf8(kProductVersion));

  CLI::App app{summary, kProgram};
  DefineOptions(app, options);
  if (int status = kExitOk; !Parse(app, argc, argv, status)) return status;

  // A limits file, given once here or chosen in the window, is remembered
  // for the next start.
  ui::WindowSettings settings;
  JournalOptions journalOptions = options.journal;
  const bool limitsOnCommandLine = !journalOptions.limitsFile.empty() || journalOptions.limitDbm;
  if (!journalOptions.limitsFile.empty()) {
    settings.SetLimitsFile(QString::fromStdString(journalOptions.limitsFile));
  } else if (!journalOptions.limitDbm) {
    journalOptions.limitsFile = settings.LimitsFile().toStdString();
  }

  RunRequest request;
  request.driver = options.driver;
  request.journal = JournalPath(journalOptions);
  request.benchName = ChosenBenchName(journalOptions);
  SystemPlatform platform;
  std::unique_ptr<RunSession> session;
  try {
    session = std::make_unique<RunSession>(request, platform);
  } catch (const std::exception& e) {
    Critical(e.what());
    return kExitUsage;
  }
  const bool simulated = session->stack().simulated();
  ui::Form1 window(std::move(session), request);
  window.SetSettings(settings);
#ifdef TARNWICK_LAB
  window.UseLab(journalOptions.lab, LabSettingsPath());
#endif
  if (!RestoreChoices(window, settings, options, app.get_option("--dialect")->count() > 0)) {
    return kExitUsage;
  }
  try {
    window.UseLimits(ChosenLimits(journalOptions));
  } catch (const LimitsError& e) {
    Critical(e.what());
    if (limitsOnCommandLine) return kExitUsage;
  }

  int toolStatus = kExitOk;
  const std::unique_ptr<AfterFirstPaint> hook =
      ToolHook(window, options, simulated, toolStatus);
  window.show();
  const int status = QApplication::exec();
  RememberChoices(window, settings);
  const int exitStatus = window.ProgramEnded()      ? kExitProgramEnded
                         : toolStatus != kExitOk ? toolStatus
                                                 : status;
  deadline.Arm(exitStatus);
  return exitStatus;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) { return tarnwick::Main(argc, argv); }
