#include "analyser/identify.h"

#include "analyser/builtin_commands.h"
#include "analyser/bus_analyser.h"
#include "analyser/query.h"
#include "bus/status_words.h"

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

// AskText within kProbeTimeoutCode; nothing when the driver cannot shorten
// its limit, and then nothing was asked.
std::optional<std::string> ProbeText(AnalyzerBus& bus, std::string_view query) {
  if (!bus.SetTimeout(bus.Analyzer, kProbeTimeoutCode).ok()) return std::nullopt;
  std::string answer = AskText(bus, query);
  // The driver took the shorter limit, so it takes this one back.
  (void)bus.SetTimeout(bus.Analyzer, kTimeout10s);
  return answer;
}

bool Answers(AnalyzerBus& bus, const DialectProbe& probe, Identity& identity) {
  if (probe.identity) {
    const std::optional<std::string> probed = ProbeText(bus, probe.query);
    identity.instrument = probed ? *probed : AskText(bus, probe.query);
    identity.identitySeconds = TimeoutSeconds(probed ? kProbeTimeoutCode : kTimeout10s);
    return !identity.instrument.empty();
  }
  std::string buffer(kMarkerBufferWidth, '\0');
  const Result<double> value = QueryValue(bus, probe.query, buffer);
  if (!value.ok()) identity.silence = value.error().message;
  return value.ok();
}

}  // namespace

std::string AskIdentity(AnalyzerBus& bus) { return AskText(bus, cmd::kIdentify); }

std::optional<std::string> ProbeIdentity(AnalyzerBus& bus) {
  return ProbeText(bus, cmd::kIdentify);
}

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
  if (!identity.dialect.empty()) identity.silence.clear();
  if (Status s = TakeAnalyserOffline(bus); !s.ok()) return s.error();
  return identity;
}

}  // namespace tarnwick
