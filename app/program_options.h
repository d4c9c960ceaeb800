// The options both programs share, defined once.
#ifndef TARNWICK_APP_PROGRAM_OPTIONS_H_
#define TARNWICK_APP_PROGRAM_OPTIONS_H_

#include <string>

#include <CLI/CLI.hpp>

#include "session/driver_stack.h"

namespace tarnwick {

// Exit statuses of both programs.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRunStopped = 1;  // bus fault, overflow, closing step, output
inline constexpr int kExitUsage = 2;       // command line, refused field, scene
inline constexpr int kExitProgramEnded = 3;  // driver library or registration
inline constexpr int kExitDoubtful = 4;      // completed, some readings doubtful
inline constexpr int kExitSignalBase = 128;  // + the signal that ended the run

// Adds --resource, --backend, --dialect, --simulate, --sim-scene,
// --gpib-library, --visa-library, --trace and --version.
void AddDriverOptions(CLI::App& app, DriverOptions& options);

// Adds --plan NAME|FILE and returns it.
CLI::Option* AddPlanOption(CLI::App& app, std::string& plan);

// The "Tarnwick 1.00" line of --version.
std::string VersionText();

}  // namespace tarnwick

#endif  // TARNWICK_APP_PROGRAM_OPTIONS_H_
