// tarnwick-cli's subcommands: runs, show, export and backup read the
// journal, read-only, and stream what they read, so their memory stays flat
// however large the journal grows; plans lists the test plans and shows one.
#ifndef TARNWICK_APP_CLI_SUBCOMMANDS_H_
#define TARNWICK_APP_CLI_SUBCOMMANDS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/cli_rejudge.h"
#include "app/run_choice.h"
#include "journal/result_store.h"
#ifdef TARNWICK_LAB
#include "app/cli_lab.h"
#endif
#include "measure/plan_catalogue.h"

namespace tarnwick {

struct HistoryCommands {
  CLI::App* runs = nullptr;
  CLI::App* show = nullptr;
  CLI::App* exporter = nullptr;
  CLI::App* backup = nullptr;
  std::string journal;  // empty: the default place
  bool lab = false;     // read the lab this bench remembers
  FilterOptions filter;
  std::size_t last = 0;
  std::string showRun;
  std::vector<std::string> exportRuns;
  bool all = false;
  std::string format = "csv";
  std::string output;  // empty: standard output
  std::string backupPath;
#ifdef TARNWICK_LAB
  LabCommands labCommands;
#endif
  RejudgeCommand rejudge;
};

// Adds the subcommands to app; measuring stays the default.
void AddHistoryCommands(CLI::App& app, HistoryCommands& commands);

// Runs the subcommand that was given and returns the program's status;
// none when no subcommand was given.
std::optional<int> RunHistoryCommand(const HistoryCommands& commands, const char* program);


// Writes text to standard output, byte for byte; the problem, or empty.
std::string WriteToStdout(const std::string& text);

struct PlanCommands {
  CLI::App* plans = nullptr;
  CLI::App* show = nullptr;
  std::string name;
  std::optional<double> carrierMHz;
};

// Adds "plans" and "plans show NAME [--carrier MHZ]" to app.
void AddPlanCommands(CLI::App& app, PlanCommands& commands);

// Runs the plan command that was given and returns the program's status;
// none when no plan command was given.
std::optional<int> RunPlanCommand(const PlanCommands& commands, const char* program);

}  // namespace tarnwick

#endif  // TARNWICK_APP_CLI_SUBCOMMANDS_H_
