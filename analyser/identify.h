// Who answers at the bus's address, and which dialect fits it: an
// instrument that answers the IEEE 488.2 "*IDN?" speaks SCPI; one that only
// answers the built-in marker query speaks the built-in language.
#ifndef TARNWICK_ANALYSER_IDENTIFY_H_
#define TARNWICK_ANALYSER_IDENTIFY_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bus/analyzer_bus.h"
#include "bus/bus_error.h"

namespace tarnwick {

// How much of an identity messages show: they run to some 70 characters.
inline constexpr std::size_t kIdentityShown = 160;

// The time limit of "*IDN?" when it only probes: an instrument that knows it
// answers at once, and one that does not must not cost a second timeout.
inline constexpr int16_t kProbeTimeoutCode = kTimeout300ms;

struct Identity {
  std::string instrument;      // its answer to "*IDN?", line end removed; empty: none
  double identitySeconds = 0;  // how long "*IDN?" was given
  bool answersMarker = false;  // it answered "MF?" with a number
  std::string_view dialect;    // the dialect that fits; empty when none does
  std::string silence;         // when none does: how "MF?" failed
};

// The open analyser's answer to "*IDN?" within the limit it was opened
// with, line end removed; empty when it gives none.
std::string AskIdentity(AnalyzerBus& bus);

// AskIdentity within kProbeTimeoutCode, the ten-second limit set again
// after; nothing when the driver cannot shorten its limit, and then
// nothing was asked.
std::optional<std::string> ProbeIdentity(AnalyzerBus& bus);

// Opens the analyser, probes "*IDN?" (asks it with the ten seconds when the
// driver cannot shorten its limit) and, when that goes unanswered, asks
// "MF?" with the ten-second limit, then takes it offline. Fails when it
// cannot be opened or taken offline.
Result<Identity> Identify(AnalyzerBus& bus);

}  // namespace tarnwick

#endif  // TARNWICK_ANALYSER_IDENTIFY_H_
