// The options both programs share, defined once, and the driver they choose.
#ifndef TARNWICK_APP_PROGRAM_OPTIONS_H_
#define TARNWICK_APP_PROGRAM_OPTIONS_H_

#include <cstdio>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "analyser/dialect.h"
#include "bus/analyzer_address.h"
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
  bool simulate = false;    // the resource SIM::INSTR
  std::string simScene;     // empty: the built-in scene
  std::string gpibLibrary;  // empty: environment, then the usual names
  std::string traceFile;    // empty: no trace; "-": stderr
  std::string resource;     // empty: the default, GPIB0::8::INSTR
  std::string backend = "auto";  // "visa": every resource through VISA
  std::string visaLibrary;  // empty: environment, then the usual names
  std::string dialect{kBuiltinDialect};  // the language the analyser is spoken to in
};

// Adds --resource, --backend, --dialect, --simulate, --sim-scene,
// --gpib-library, --visa-library, --trace and --version.
void AddDriverOptions(CLI::App& app, DriverOptions& options);

// Adds --plan NAME|FILE and returns it.
CLI::Option* AddPlanOption(CLI::App& app, std::string& plan);

// The "Tarnwick 1.00" line of --version.
std::string VersionText();

// The driver the options ask for, with its trace when one is wanted.
class DriverStack {
 public:
  // Throws sim::SceneError for a broken scene file, drivers::ResourceError for
  // a resource no driver serves (or a scene for one that is not simulated)
  // and std::runtime_error for a trace file that cannot be opened.
  DriverStack(const DriverOptions& options, Platform& platform);
  ~DriverStack();

  GpibDriver& driver() { return *top_; }
  bool simulated() const { return simulated_; }
  bool traces_to_stderr() const;
  // Whether a write to the trace has failed.
  bool trace_failed() const;
  // Where runs find the analyser; its name is empty for the default resource,
  // so messages keep naming it GPIB0::8.
  const AnalyzerAddress& address() const { return address_; }
  // What the journal records as the bench: "simulated (scene)", or the
  // resource and what served it ("GPIB0::8::INSTR via GPIB driver library
  // libgpib.so.0").
  std::string BenchText() const;
  // Has a simulated analyser speak the dialect's language from now on; a
  // real one speaks what it speaks.
  void SpeakDialect(std::string_view dialect);

 private:
  std::unique_ptr<GpibDriver> base_;
  std::unique_ptr<GpibDriver> trace_;
  GpibDriver* top_ = nullptr;
  std::FILE* trace_file_ = nullptr;
  bool simulated_ = false;
  AnalyzerAddress address_;
  std::string scene_;
};

}  // namespace tarnwick

#endif  // TARNWICK_APP_PROGRAM_OPTIONS_H_
