// The languages Tarnwick can speak to an analyser, by the names the
// programs' --dialect option and the journal use.
#ifndef TARNWICK_ANALYSER_DIALECT_H_
#define TARNWICK_ANALYSER_DIALECT_H_

#include <array>
#include <memory>
#include <string_view>

#include "analyser/bus_analyser.h"

namespace tarnwick {

inline constexpr std::string_view kBuiltinDialect = "builtin";
inline constexpr std::string_view kScpiDialect = "scpi";
// Every name, the default first.
inline constexpr std::array<std::string_view, 2> kDialects = {kBuiltinDialect, kScpiDialect};

// The dialect of that name on bus; the built-in one for any name not listed.
std::unique_ptr<BusAnalyser> MakeDialect(std::string_view name, AnalyzerBus& bus,
                                         Platform& platform);

}  // namespace tarnwick

#endif  // TARNWICK_ANALYSER_DIALECT_H_
