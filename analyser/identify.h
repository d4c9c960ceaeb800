// Who answers at the bus's address, and which dialect fits it: each dialect
// says what to ask to tell an analyser that speaks it (an instrument that
// answers the IEEE 488.2 "*IDN?" speaks SCPI; one that only answers the
// built-in marker query speaks the built-in language).
#ifndef TARNWICK_ANALYSER_IDENTIFY_H_
#define TARNWICK_ANALYSER_IDENTIFY_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "bus/analyzer_bus.h"
#include "bus/bus_error.h"

namespace tarnwick {

// How much of an identity messages show: they run to some 70 characters.
inline constexpr std::size_t kIdentityShown = 160;

// The time limit of an identity probe: an instrument that knows the
// question answers at once, and one that does not must not cost a second
// timeout.
inline constexpr int16_t kProbeTimeoutCode = kTimeout300ms;

// What identify asks to learn whether an analyser speaks a dialect.
struct DialectProbe {
  std::string_view dialect;
  std::string_view query;
  // Any answer will do, and it names the instrument. These are asked before
  // the probes whose answer must begin with a number.
  bool identity = false;
};

struct Identity {
  std::string instrument;     // its answer to an identity probe, line end removed; empty: none
  std::string_view answered;  // the query that told the dialect; empty when none did
  std::string_view dialect;   // the dialect that fits; empty when none does
  double identitySeconds = 0; // how long each identity probe was given
  std::string silence;        // when none fits: how the last other probe failed
};

// The open analyser's answer to "*IDN?" within the limit it was opened
// with, line end removed; empty when it gives none.
std::string AskIdentity(AnalyzerBus& bus);

// AskIdentity within kProbeTimeoutCode, the ten-second limit set again
// after; nothing when the driver cannot shorten its limit, and then
// nothing was asked.
std::optional<std::string> ProbeIdentity(AnalyzerBus& bus);

// Opens the analyser, asks the probes until one is answered, identities
// first (each within kProbeTimeoutCode when the driver can shorten its
// limit), then takes it offline. Fails when it cannot be opened or taken
// offline.
Result<Identity> Identify(AnalyzerBus& bus, std::span<const DialectProbe> probes);

}  // namespace tarnwick

#endif  // TARNWICK_ANALYSER_IDENTIFY_H_
