// The options both programs share, defined once, and the driver they choose.
#ifndef TARNWICK_APP_PROGRAM_OPTIONS_H_
#define TARNWICK_APP_PROGRAM_OPTIONS_H_

#include <cstdio>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "bus/gpib_driver.h"
#include "bus/platform.h"

namespace tarnwick {

// Exit statuses of both programs.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRunStopped = 1;  // bus fault, overflow, closing step, output
inline constexpr int kExitUsage = 2;       // command line, refused field, scene
inline constexpr int kExitProgramEnded = 3;  // driver library or registration
inline constexpr int kExitDoubtful = 4;      // completed, some readings doubtful
inline constexpr int kExitSignalBase = 128;  // + the signal that ended the run

struct DriverOptions {
  bool simulate = false;
  std::string simScene;     // empty: the built-in scene
  std::string gpibLibrary;  // empty: environment, then the usual names
  std::string traceFile;    // empty: no trace; "-": stderr
};

// Adds --simulate, --sim-scene, --gpib-library, --trace and --version.
void AddDriverOptions(CLI::App& app, DriverOptions& options);

// The "Tarnwick 1.00" line of --version.
std::string VersionText();

// The driver the options ask for, with its trace when one is wanted.
class DriverStack {
 public:
  // Throws sim::SceneError for a broken scene file and std::runtime_error for
  // a trace file that cannot be opened.
  DriverStack(const DriverOptions& options, Platform& platform);
  ~DriverStack();

  GpibDriver& driver() { return *top_; }
  bool simulated() const { return simulated_; }
  bool traces_to_stderr() const;
  // Whether a write to the trace has failed.
  bool trace_failed() const;
  // What the journal records as the bench: "simulated (scene)", or the
  // driver library once loaded.
  std::string BenchText() const;

 private:
  std::unique_ptr<GpibDriver> base_;
  std::unique_ptr<GpibDriver> trace_;
  GpibDriver* top_ = nullptr;
  std::FILE* trace_file_ = nullptr;
  bool simulated_ = false;
  std::string scene_;
};

}  // namespace tarnwick

#endif  // TARNWICK_APP_PROGRAM_OPTIONS_H_
