#include "analyser/dialect.h"

#include "analyser/builtin_dialogue.h"
#include "analyser/scpi_dialogue.h"

namespace tarnwick {

std::unique_ptr<BusAnalyser> MakeDialect(std::string_view name, AnalyzerBus& bus,
                                         Platform& platform) {
  if (name == kScpiDialect) return std::make_unique<ScpiDialogue>(bus, platform);
  return std::make_unique<BuiltinDialogue>(bus, platform);
}

std::string_view BuiltinDialogue::Name() const { return kBuiltinDialect; }
std::string_view ScpiDialogue::Name() const { return kScpiDialect; }

}  // namespace tarnwick
