// The names of the languages Tarnwick can speak to an analyser, as the
// programs' --dialect option and the journal use them. Which dialects there
// are, and how each is made, is one table (session/dialects.h).
#ifndef TARNWICK_ANALYSER_DIALECT_H_
#define TARNWICK_ANALYSER_DIALECT_H_

#include <string_view>

namespace tarnwick {

inline constexpr std::string_view kBuiltinDialect = "builtin";
inline constexpr std::string_view kScpiDialect = "scpi";

}  // namespace tarnwick

#endif  // TARNWICK_ANALYSER_DIALECT_H_
