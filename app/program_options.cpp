#include "app/program_options.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fmt/format.h>

#include "bus/driver_library.h"
#include "bus/driver_trace.h"
#include "bus/quote.h"
#include "sim/scene.h"
#include "sim/simulated_driver.h"
#include "version.h"

namespace tarnwick {

std::string VersionText() { return fmt::format("{} {}", kProductName, kProductVersion); }

void AddDriverOptions(CLI::App& app, DriverOptions& options) {
  CLI::Option* simulate = app.add_flag(
      "--simulate", options.simulate,
      "Run on the built-in simulated analyser instead of a GPIB bus");
  app.add_option("--sim-scene", options.simScene,
                 "Scene file for the simulated analyser (see sim/scenes)")
      ->option_text("FILE")
      ->needs(simulate);
  app.add_option("--gpib-library", options.gpibLibrary,
                 fmt::format("GPIB driver library to load (default: ${}, then the usual names)",
                             kGpibLibraryEnv))
      ->option_text("PATH")
      ->excludes(simulate);
  app.add_option("--trace", options.traceFile,
                 "Append one line per driver call to FILE ('-' for standard error)")
      ->option_text("FILE");
  app.set_version_flag("--version", VersionText());
}

DriverStack::DriverStack(const DriverOptions& options, Platform& platform) {
  if (options.simulate) {
    sim::Scene scene =
        options.simScene.empty() ? sim::DefaultScene() : sim::LoadSceneFile(options.simScene);
    base_ = std::make_unique<sim::SimulatedDriver>(std::move(scene), platform);
    simulated_ = true;
    scene_ = options.simScene.empty() ? "built-in scene" : options.simScene;
  } else {
    base_ = std::make_unique<DriverLibrary>(GpibLibraryCandidates(options.gpibLibrary), platform);
  }
  top_ = base_.get();

  if (!options.traceFile.empty()) {
    if (options.traceFile == "-") {
      trace_file_ = stderr;
    } else {
      trace_file_ = std::fopen(options.traceFile.c_str(), "a");
      if (trace_file_ == nullptr) {
        throw std::runtime_error(fmt::format("Cannot open the trace file {}: {}",
                                             QuotedForMessage(options.traceFile, kQuotedPathLength),
                                             std::strerror(errno)));
      }
    }
    trace_ = std::make_unique<DriverTrace>(*base_, platform, trace_file_);
    top_ = trace_.get();
  }
}

DriverStack::~DriverStack() {
  trace_.reset();
  if (trace_file_ != nullptr && trace_file_ != stderr) std::fclose(trace_file_);
}

bool DriverStack::traces_to_stderr() const { return trace_file_ == stderr; }

bool DriverStack::trace_failed() const {
  return trace_file_ != nullptr && std::ferror(trace_file_) != 0;
}

std::string DriverStack::BenchText() const {
  if (simulated_) return fmt::format("simulated ({})", scene_);
  const auto* library = dynamic_cast<const DriverLibrary*>(base_.get());
  return library && !library->loaded_path().empty() ? library->loaded_path()
                                                    : "GPIB driver library (not loaded)";
}

}  // namespace tarnwick
