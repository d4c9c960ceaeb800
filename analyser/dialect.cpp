#include "analyser/dialect.h"

#include "analyser/builtin_dialogue.h"
#include "analyser/scpi_dialogue.h"

namespace tarnwick {

std::string_view BuiltinDialogue::Name() const { return kBuiltinDialect; }
std::string_view ScpiDialogue::Name() const { return kScpiDialect; }

}  // namespace tarnwick
