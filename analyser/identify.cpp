#include "analyser/identify.h"

#include "analyser/builtin_commands.h"
#include "analyser/bus_analyser.h"
#include "analyser/query.h"

namespace tarnwick {
namespace {

// IEEE 488.2 keeps an identity to 72 characters; room for more, and a cap.
constexpr std::size_t kIdentityWidth = 256;

// The answer to query, line end removed; empty when none comes.
std::string AskText(AnalyzerBus& bus, std::string_view query) {
  std::string buffer(kIdentityWidth, '\0');
  if (!bus.WriteText(bus.Analyzer, query).ok()) return {};
  const Result<int32_t> read = bus.ReadText(bus.Analyzer, buffer, query);
  if (!read.ok()) return {};
  buffer.resize(static_cast<std::size_t>(read.value()));
  buffer.erase(buffer.find_last_not_of("\r\n") + 1);
  return buffer;
}

bool Answers(AnalyzerBus& bus, const DialectProbe& probe, Identity& identity) {
  if (probe.identity) {
    identity.instrument = AskText(bus, probe.query);
    return !identity.instrument.empty();
  }
  std::string buffer(kMarkerBufferWidth, '\0');
  return QueryValue(bus, probe.query, buffer).ok();
}

}  // namespace

std::string AskIdentity(AnalyzerBus& bus) { return AskText(bus, cmd::kIdentify); }

Result<Identity> Identify(AnalyzerBus& bus, std::span<const DialectProbe> probes) {
  if (Status s = OpenAnalyser(bus); !s.ok()) {
    (void)TakeAnalyserOffline(bus);
    return s.error();
  }
  Identity identity;
  for (const bool identities : {true, false}) {
    for (const DialectProbe& probe : probes) {
      if (probe.identity != identities || !identity.dialect.empty()) continue;
      if (Answers(bus, probe, identity)) {
        identity.answered = probe.query;
        identity.dialect = probe.dialect;
      }
    }
  }
  if (Status s = TakeAnalyserOffline(bus); !s.ok()) return s.error();
  return identity;
}

}  // namespace tarnwick
