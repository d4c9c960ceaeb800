// tarnwick-cli rejudge: stored runs judged again against other limits, the
// new verdicts beside the stored ones. Nothing stored changes: the record
// stays what the operator saw.
#ifndef TARNWICK_APP_CLI_REJUDGE_H_
#define TARNWICK_APP_CLI_REJUDGE_H_

#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/run_choice.h"

namespace tarnwick {

struct RejudgeCommand {
  CLI::App* command = nullptr;
  std::vector<std::string> runs;  // numbers or UUIDs
  bool all = false;
  FilterOptions filter;
  std::optional<double> limitDbm;
  std::string limitsFile;
  std::string format = "text";
  std::string journal;
  bool lab = false;
};

void AddRejudgeCommand(CLI::App& app, RejudgeCommand& command);

// Runs it when given, and returns the program's status: 5 when any run now
// fails a limit; none when it was not given. journal is where the other
// reading commands read, when the command names none.
std::optional<int> RunRejudgeCommand(const RejudgeCommand& command, const std::string& journal,
                                     const char* program);

}  // namespace tarnwick

#endif  // TARNWICK_APP_CLI_REJUDGE_H_
