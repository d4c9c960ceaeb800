#include "app/identify_command.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "analyser/builtin_commands.h"
#include "analyser/identify.h"
#include "bus/analyzer_bus.h"
#include "session/dialects.h"
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
  const std::vector<DialectProbe> probes = DialectProbes();
  const Result<Identity> found = Identify(bus, probes);
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
  } else if (!identity.answered.empty()) {
    fmt::print("instrument: no answer to \"{}\", but it answers \"{}\"\n", cmd::kIdentify,
               identity.answered);
  }
  if (identity.dialect.empty()) {
    // In the order they were asked: identities first, each within its
    // probe's limit, then the others with the full timeout.
    std::vector<std::string> asked[2];
    for (const DialectProbe& p : probes) {
      asked[p.identity ? 0 : 1].push_back(fmt::format("\"{}\"", p.query));
    }
    fmt::print(stderr, "{}: nothing at {} answered {} within {:g} s or {}: {}\n", program,
               bus.Where(), fmt::join(asked[0], " or "), identity.identitySeconds,
               fmt::join(asked[1], " or "), identity.silence);
    return kExitRunStopped;
  }
  fmt::print("dialect: {}\n", identity.dialect);
  return kExitOk;
}

}  // namespace tarnwick
