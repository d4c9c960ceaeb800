// The languages Tarnwick can speak to an analyser, one row each: its name,
// how it is made, the language the simulated analyser answers it in, and
// what identify listens for. Adding a dialect adds a row.
#ifndef TARNWICK_SESSION_DIALECTS_H_
#define TARNWICK_SESSION_DIALECTS_H_

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analyser/bus_analyser.h"
#include "analyser/identify.h"
#include "sim/simulated_driver.h"

namespace tarnwick {

struct DialectRow {
  std::string_view name;  // as --dialect and the journal say it
  std::unique_ptr<BusAnalyser> (*make)(AnalyzerBus& bus, Platform& platform);
  sim::Language simLanguage;
  // What identify asks to tell an analyser that speaks it, and whether any
  // answer will do (an instrument's identity) or it must be a number.
  std::string_view listensFor;
  bool identity = false;
};

// Every dialect, the default first.
std::span<const DialectRow> Dialects();
// The row of that name; the default's for a name not listed.
const DialectRow& DialectNamed(std::string_view name);
std::vector<std::string> DialectNames();
// What identify asks, a probe a dialect.
std::vector<DialectProbe> DialectProbes();

}  // namespace tarnwick

#endif  // TARNWICK_SESSION_DIALECTS_H_
