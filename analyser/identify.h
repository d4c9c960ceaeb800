// Who answers at the bus's address, and which dialect fits it: an
// instrument that answers the IEEE 488.2 "*IDN?" speaks SCPI; one that only
// answers the built-in marker query speaks the built-in language.
#ifndef TARNWICK_ANALYSER_IDENTIFY_H_
#define TARNWICK_ANALYSER_IDENTIFY_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "bus/analyzer_bus.h"
#include "bus/bus_error.h"

namespace tarnwick {

// How much of an identity messages show: they run to some 70 characters.
inline constexpr std::size_t kIdentityShown = 160;

struct Identity {
  std::string instrument;      // its answer to "*IDN?", line end removed; empty: none
  bool answersMarker = false;  // it answered "MF?" with a number
  std::string_view dialect;    // the dialect that fits; empty when none does
};

// The open analyser's answer to "*IDN?", line end removed; empty when it
// gives none.
std::string AskIdentity(AnalyzerBus& bus);

// Opens the analyser, asks "*IDN?" and, when that goes unanswered, "MF?",
// then takes it offline. Fails when it cannot be opened or taken offline.
Result<Identity> Identify(AnalyzerBus& bus);

}  // namespace tarnwick

#endif  // TARNWICK_ANALYSER_IDENTIFY_H_
