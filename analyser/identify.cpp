#include "analyser/identify.h"

#include "analyser/builtin_commands.h"
#include "analyser/bus_analyser.h"
#include "analyser/dialect.h"
#include "analyser/query.h"
#include "bus/status_words.h"

namespace tarnwick {
namespace {

// IEEE 488.2 keeps an identity to 72 characters; room for more, and a cap.
constexpr std::size_t kIdentityWidth = 256;

}  // namespace

std::string AskIdentity(AnalyzerBus& bus) {
  std::string identity;
  if (bus.WriteText(bus.Analyzer, cmd::kIdentify).ok()) {
    std::string buffer(kIdentityWidth, '\0');
    const Result<int32_t> read = bus.ReadText(bus.Analyzer, buffer, cmd::kIdentify);
    if (read.ok()) identity.assign(buffer, 0, static_cast<std::size_t>(read.value()));
  }
  identity.erase(identity.find_last_not_of("\r\n") + 1);
  return identity;
}

std::optional<std::string> ProbeIdentity(AnalyzerBus& bus) {
  if (!bus.SetTimeout(bus.Analyzer, kProbeTimeoutCode).ok()) return std::nullopt;
  std::string identity = AskIdentity(bus);
  // The driver took the shorter limit, so it takes this one back.
  (void)bus.SetTimeout(bus.Analyzer, kTimeout10s);
  return identity;
}

Result<Identity> Identify(AnalyzerBus& bus) {
  if (Status s = OpenAnalyser(bus); !s.ok()) {
    (void)TakeAnalyserOffline(bus);
    return s.error();
  }
  Identity identity;
  const std::optional<std::string> probed = ProbeIdentity(bus);
  identity.instrument = probed ? *probed : AskIdentity(bus);
  identity.identitySeconds = TimeoutSeconds(probed ? kProbeTimeoutCode : kTimeout10s);
  if (!identity.instrument.empty()) {
    identity.dialect = kScpiDialect;
  } else {
    std::string buffer(kMarkerBufferWidth, '\0');
    const Result<double> marker = QueryValue(bus, cmd::kMarkerFrequency, buffer);
    identity.answersMarker = marker.ok();
    if (identity.answersMarker) {
      identity.dialect = kBuiltinDialect;
    } else {
      identity.silence = marker.error().message;
    }
  }
  if (Status s = TakeAnalyserOffline(bus); !s.ok()) return s.error();
  return identity;
}

}  // namespace tarnwick
