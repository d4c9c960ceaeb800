#include "app/program_options.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fmt/format.h>

#include "bus/driver_trace.h"
#include "drivers/driver_library.h"
#include "drivers/resource.h"
#include "sim/simulated_driver.h"
#include "drivers/visa_driver.h"
#include "text/quote.h"
#include "version.h"

namespace tarnwick {

std::string VersionText() { return fmt::format("{} {}", kProductName, kProductVersion); }

namespace {

// The resource's form list doubles as the option's help.
std::string ResourceHelp() {
  std::string help = fmt::format("Where the analyser is (default {}):", drivers::kDefaultResource);
  for (const drivers::ResourceForm& form : drivers::ResourceForms()) {
    help += fmt::format("\n  {}: {}", form.pattern, form.serves);
  }
  return help;
}

}  // namespace

void AddDriverOptions(CLI::App& app, DriverOptions& options) {
  CLI::Option* resource =
      app.add_option("--resource", options.resource, ResourceHelp())
          ->option_text("RESOURCE")
          ->check([](const std::string& text) {
            try {
              drivers::ParseResource(text);
              return std::string();
            } catch (const drivers::ResourceError& e) {
              return std::string(e.what());
            }
          });
  app.add_option("--backend", options.backend,
                 "Which library serves GPIB resources: auto (the GPIB driver library) or visa")
      ->check(CLI::IsMember({"auto", "visa"}))
      ->capture_default_str();
  app.add_option("--dialect", options.dialect,
                 "The analyser's command language: builtin, or scpi (also the simulator's)")
      ->check(CLI::IsMember(std::vector<std::string>(kDialects.begin(), kDialects.end())))
      ->capture_default_str();
  CLI::Option* simulate = app.add_flag(
      "--simulate", options.simulate,
      fmt::format("Run on the built-in simulated analyser instead of a GPIB bus (the resource {})",
                  drivers::kSimulatedResource));
  app.add_option("--sim-scene", options.simScene,
                 "Scene file for the simulated analyser (see sim/scenes)")
      ->option_text("FILE");
  app.add_option("--gpib-library", options.gpibLibrary,
                 fmt::format("GPIB driver library to load (default: ${}, then the usual names)",
                             kGpibLibraryEnv))
      ->option_text("PATH")
      ->excludes(simulate);
  app.add_option("--visa-library", options.visaLibrary,
                 fmt::format("VISA library to load (default: ${}, then the usual names)",
                             drivers::kVisaLibraryEnv))
      ->option_text("PATH")
      ->excludes(simulate);
  resource->excludes(simulate);
  app.add_option("--trace", options.traceFile,
                 "Append one line per driver call to FILE ('-' for standard error)")
      ->option_text("FILE");
  app.set_version_flag("--version", VersionText());
}

CLI::Option* AddPlanOption(CLI::App& app, std::string& plan) {
  return app.add_option("--plan", plan,
                        "Test plan: a plan's name (see 'tarnwick-cli plans'), or a plan file "
                        "(a path, or a name ending in .toml)")
      ->option_text("NAME|FILE");
}

DriverStack::DriverStack(const DriverOptions& options, Platform& platform) {
  std::string text = options.resource.empty() ? std::string(drivers::kDefaultResource)
                                              : options.resource;
  if (options.simulate) text = drivers::kSimulatedResource;
  const drivers::Resource resource = drivers::ParseResource(
      text, options.backend == "visa" ? drivers::Backend::kVisa : drivers::Backend::kAuto);
  simulated_ = resource.form->simulated;
  if (!options.simScene.empty() && !simulated_) {
    throw drivers::ResourceError(fmt::format("--sim-scene needs --simulate or the resource {}",
                                             drivers::kSimulatedResource));
  }
  base_ = drivers::MakeDriver(resource,
                              {platform, options.gpibLibrary, options.visaLibrary, options.simScene});
  SpeakDialect(options.dialect);  // the simulator answers in the language it is spoken to in
  address_ = resource.address;
  scene_ = options.simScene.empty() ? "built-in scene" : options.simScene;
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

void DriverStack::SpeakDialect(std::string_view dialect) {
  if (auto* simulator = dynamic_cast<sim::SimulatedDriver*>(base_.get())) {
    simulator->SetLanguage(dialect == kScpiDialect ? sim::Language::kScpi : sim::Language::kBuiltin);
  }
}

std::string DriverStack::BenchText() const {
  if (simulated_) return fmt::format("simulated ({})", scene_);
  const std::string resource =
      address_.resource.empty()
          ? fmt::format("GPIB{}::{}::INSTR", address_.board, address_.pad)
          : CutForMessage(address_.resource, kQuotedPathLength);
  // The driver says what served the run (for a library: which one was
  // loaded; for an adaptor: the transport and the resource).
  const std::string driver = base_->Description();
  if (driver.empty()) return resource;
  return driver.find(resource) != std::string::npos ? driver
                                                    : fmt::format("{} via {}", resource, driver);
}

}  // namespace tarnwick
