// The report as tarnwick-cli loads it: a module of its own, so that only
// "report" pays for starting Qt.
#include <memory>

#include <QGuiApplication>

#include "report/run_report.h"

#ifdef _WIN32
#define TARNWICK_REPORT_EXPORT __declspec(dllexport)
#else
#define TARNWICK_REPORT_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TARNWICK_REPORT_EXPORT bool TarnwickReportPdf(const tarnwick::RunRecord& run,
                                                         std::string& pdf, std::string& problem) {
  // Fonts need an application; the command line has no display to give it.
  std::unique_ptr<QGuiApplication> app;
  if (QCoreApplication::instance() == nullptr) {
    static int argc = 3;
    static char name[] = "tarnwick-cli", platform[] = "-platform", offscreen[] = "offscreen";
    static char* argv[] = {name, platform, offscreen, nullptr};
    app = std::make_unique<QGuiApplication>(argc, argv);
  }
  problem = tarnwick::report::RunReportPdf(run, pdf);
  return problem.empty();
}
