#include "session/dialects.h"

#include <array>

#include "analyser/builtin_commands.h"
#include "analyser/builtin_dialogue.h"
#include "analyser/dialect.h"
#include "analyser/scpi_dialogue.h"

namespace tarnwick {
namespace {

template <typename Dialogue>
std::unique_ptr<BusAnalyser> Make(AnalyzerBus& bus, Platform& platform) {
  return std::make_unique<Dialogue>(bus, platform);
}

// An analyser that answers "*IDN?" speaks SCPI; one that only answers the
// marker query with a number speaks the built-in language.
constexpr std::array<DialectRow, 2> kDialects = {{
    {kBuiltinDialect, Make<BuiltinDialogue>, sim::Language::kBuiltin, cmd::kMarkerFrequency},
    {kScpiDialect, Make<ScpiDialogue>, sim::Language::kScpi, cmd::kIdentify, true},
}};

}  // namespace

std::span<const DialectRow> Dialects() { return kDialects; }

const DialectRow& DialectNamed(std::string_view name) {
  for (const DialectRow& row : kDialects) {
    if (row.name == name) return row;
  }
  return kDialects.front();
}

std::vector<std::string> DialectNames() {
  std::vector<std::string> names;
  for (const DialectRow& row : kDialects) names.emplace_back(row.name);
  return names;
}

std::vector<DialectProbe> DialectProbes() {
  std::vector<DialectProbe> probes;
  for (const DialectRow& row : kDialects) probes.push_back({row.name, row.listensFor, row.identity});
  return probes;
}

}  // namespace tarnwick
