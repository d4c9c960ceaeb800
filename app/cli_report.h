// tarnwick-cli report: a journaled run's one-page PDF. The PDF is made by
// the report module, loaded only when this command runs, and only in builds
// with Qt.
#ifndef TARNWICK_APP_CLI_REPORT_H_
#define TARNWICK_APP_CLI_REPORT_H_

#include <cstdint>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

namespace tarnwick {

struct ReportCommand {
  CLI::App* command = nullptr;
  std::int64_t id = 0;
  std::string output;
  std::string journal;  // empty: the one measuring runs go to
  bool lab = false;     // the lab this bench forwards to
};

void AddReportCommand(CLI::App& app, ReportCommand& report);

// Writes the report when the command was given and returns the program's
// status; none when it was not.
std::optional<int> RunReportCommand(const ReportCommand& report, const char* program);

}  // namespace tarnwick

#endif  // TARNWICK_APP_CLI_REPORT_H_
