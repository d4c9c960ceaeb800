#include "app/program_options.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "drivers/driver_library.h"
#include "drivers/visa_driver.h"
#include "session/dialects.h"
#include "session/resources.h"
#include "version.h"

namespace tarnwick {

std::string VersionText() { return fmt::format("{} {}", kProductName, kProductVersion); }

namespace {

// The resource's form list doubles as the option's help.
std::string ResourceHelp() {
  std::string help = fmt::format("Where the analyser is (default {}):", drivers::kDefaultResource);
  for (const ResourceForm& form : ResourceForms()) {
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
              ParseResource(text);
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
                 fmt::format("The analyser's command language: {} (also the simulator's)",
                             fmt::join(DialectNames(), ", ")))
      ->check(CLI::IsMember(DialectNames()))
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

}  // namespace tarnwick
