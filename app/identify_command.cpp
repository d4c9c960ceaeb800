#include "app/identify_command.h"

#include <fmt/format.h>

#include "analyser/builtin_commands.h"
#include "analyser/identify.h"
#include "bus/analyzer_bus.h"
#include "text/quote.h"

namespace tarnwick {

CLI::App* AddIdentifyCommand(CLI::App& app) {
  CLI::App* identify = app.add_subcommand(
      "identify", fmt::format("Ask what answers at --resource (\"{}\", or an adaptor's \"++ver\") "
                              "and which --dialect fits it", cmd::kIdentify));
  identify->fallthrough();
  return identify;
}

int RunIdentify(const DriverOptions& options, const char* program) {
  SystemPlatform platform;
  std::unique_ptr<DriverStack> stack;
  try {
    stack = std::make_unique<DriverStack>(options, platform);
  } catch (const std::exception& e) {
    fmt::print(stderr, "{}: {}\n", program, e.what());
    return kExitUsage;
  }
  AnalyzerBus bus(stack->driver());
  bus.SetAddress(stack->address());
  const Result<Identity> found = Identify(bus);
  if (const std::string adaptor = stack->driver().AdaptorVersion(); !adaptor.empty()) {
    fmt::print("adaptor: {}\n", QuotedForMessage(adaptor, kIdentityShown));
  }
  if (!found.ok()) {
    fmt::print(stderr, "{}: {}\n", program, found.error().message);
    return found.error().endsProgram ? kExitProgramEnded : kExitRunStopped;
  }
  const Identity& identity = found.value();
  if (!identity.instrument.empty()) {
    fmt::print("instrument: {}\n", QuotedForMessage(identity.instrument, kIdentityShown));
  } else if (identity.answersMarker) {
    fmt::print("instrument: no answer to \"{}\", but it answers \"{}\"\n", cmd::kIdentify,
               cmd::kMarkerFrequency);
  }
  if (identity.dialect.empty()) {
    fmt::print(stderr, "{}: nothing at {} answered \"{}\" within {:g} s or \"{}\": {}\n", program,
               bus.Where(), cmd::kIdentify, identity.identitySeconds,
               cmd::kMarkerFrequency, identity.silence);
    return kExitRunStopped;
  }
  fmt::print("dialect: {}\n", identity.dialect);
  return kExitOk;
}

}  // namespace tarnwick
