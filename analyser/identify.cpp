#include "analyser/identify.h"

#include "analyser/builtin_commands.h"
#include "analyser/bus_analyser.h"
#include "analyser/dialect.h"
#include "analyser/query.h"

namespace tarnwick {
namespace {

// IEEE 488.2 keeps an identity to 72 characters; room for more, and a cap.
constexpr std::size_t kIdentityWidth = 256;

}  // namespace

std::string AskIdentity(AnalyzerBus& bus) {
  std::string buffer(kIdentityWidth, '\0');
  if (!bus.WriteText(bus.Analyzer, cmd::kIdentify).ok()) return {};
  const Result<int32_t> read = bus.ReadText(bus.Analyzer, buffer, cmd::kIdentify);
  if (!read.ok()) return {};
  buffer.resize(static_cast<std::size_t>(read.value()));
  buffer.erase(buffer.find_last_not_of("\r\n") + 1);
  return buffer;
}

Result<Identity> Identify(AnalyzerBus& bus) {
  if (Status s = OpenAnalyser(bus); !s.ok()) {
    (void)TakeAnalyserOffline(bus);
    return s.error();
  }
  Identity identity;
  identity.instrument = AskIdentity(bus);
  if (!identity.instrument.empty()) {
    identity.dialect = kScpiDialect;
  } else {
    std::string buffer(kMarkerBufferWidth, '\0');
    identity.answersMarker = QueryValue(bus, cmd::kMarkerFrequency, buffer).ok();
    if (identity.answersMarker) identity.dialect = kBuiltinDialect;
  }
  if (Status s = TakeAnalyserOffline(bus); !s.ok()) return s.error();
  return identity;
}

}  // namespace tarnwick
