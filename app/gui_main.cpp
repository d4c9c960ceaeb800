// tarnwick: the operator window. START runs one measurement on the fields'
// values; the result lines go into the window's results box.
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include <QApplication>
#include <QEvent>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "app/program_options.h"
#include "bus/analyzer_bus.h"
#include "ui/main_window.h"
#include "ui/window_platform.h"
#include "version.h"

namespace tarnwick {
namespace {

constexpr char kProgram[] = "tarnwick";

struct GuiOptions {
  DriverOptions driver;
  // For the documentation's picture: one run on the simulated analyser, then
  // the window is saved as a PNG and the program quits.
  std::string screenshot;
  // For start-up timing: quit as soon as the window has first painted.
  bool quitAfterFirstPaint = false;
};

void DefineOptions(CLI::App& app, GuiOptions& options) {
  AddDriverOptions(app, options.driver);
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

// --help and --version must work without a display, so they are answered
// before Qt starts.
bool AsksForHelpOrVersion(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") break;
    if (arg == "-h" || arg == "--help" || arg == "--version") return true;
  }
  return false;
}

// Runs an action once, just after the watched window's first paint.
class AfterFirstPaint : public QObject {
 public:
  AfterFirstPaint(QWidget& window, std::function<void()> action)
      : action_(std::move(action)) {
    window.installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && action_) {
      watched->removeEventFilter(this);
      // Not from inside the paint event: the action may paint again.
      QTimer::singleShot(0, this, std::exchange(action_, nullptr));
    }
    return false;
  }

 private:
  std::function<void()> action_;
};

int Main(int argc, char** argv) {
  const char* summary = "The Tarnwick window: searches a transmitter's spurious emissions "
                        "with a spectrum analyser over GPIB.";
  GuiOptions options;
  if (AsksForHelpOrVersion(argc, argv)) {
    CLI::App app{summary, kProgram};
    DefineOptions(app, options);
    int status = kExitOk;
    Parse(app, argc, argv, status);
    return status;
  }

  // Takes Qt's own options (-platform, -style, ...) out of argv.
  QApplication qt(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(kProductName));
  QApplication::setApplicationVersion(QString::fromUtf8(kProductVersion));

  CLI::App app{summary, kProgram};
  DefineOptions(app, options);
  if (int status = kExitOk; !Parse(app, argc, argv, status)) return status;

  ui::WindowPlatform platform;
  std::unique_ptr<DriverStack> stack;
  try {
    stack = std::make_unique<DriverStack>(options.driver, platform);
  } catch (const std::exception& e) {
    fmt::print(stderr, "{}: {}\n", kProgram, e.what());
    platform.CriticalMessage(e.what());
    return kExitUsage;
  }

  AnalyzerBus bus(stack->driver(), platform);
  ui::Form1 window(bus, platform, stack->simulated());
  platform.SetMessageParent(&window);

  int toolStatus = kExitOk;
  std::unique_ptr<AfterFirstPaint> hook;
  if (!options.screenshot.empty()) {
    hook = std::make_unique<AfterFirstPaint>(window, [&] {
      if (stack->simulated()) window.Command1->click();
      if (!window.grab().save(QString::fromStdString(options.screenshot), "PNG")) {
        fmt::print(stderr, "{}: cannot write {}\n", kProgram, options.screenshot);
        toolStatus = EXIT_FAILURE;
      }
      QApplication::quit();
    });
  } else if (options.quitAfterFirstPaint) {
    hook = std::make_unique<AfterFirstPaint>(window, [] { QApplication::quit(); });
  }

  window.show();
  const int status = QApplication::exec();
  if (window.ProgramEnded()) return kExitProgramEnded;
  return toolStatus != kExitOk ? toolStatus : status;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) { return tarnwick::Main(argc, argv); }
