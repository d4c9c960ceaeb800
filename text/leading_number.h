// Reading numbers from the analyser's replies and the operator's fields.
#ifndef TARNWICK_TEXT_LEADING_NUMBER_H_
#define TARNWICK_TEXT_LEADING_NUMBER_H_

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnwick {

// What the parse read from the front of a text.
struct NumberScan {
  double value = 0;        // 0 when no digit was read or the value overflowed
  bool hasDigits = false;  // whether any digit was read
  bool overflow = false;   // the value is too large for a double
  std::size_t end = 0;     // where the number ends; an exponent letter without
                           // digits is not part of it
};

// The number at the front of text. Spaces, tabs and line feeds are skipped
// wherever they stand, also between digits; then an optional sign, digits,
// an optional "." and digits, and an optional exponent (E, e, D or d, sign,
// digits). "&H" or "&O" start a hexadecimal or octal whole number. Reading
// stops at the first character that cannot continue the number; no digit at
// all gives 0. "." is the decimal separator whatever the locale. A value too
// large for a double is reported as overflow, never thrown.
NumberScan LeadingNumber(std::string_view text);

// Rounds to the nearest integer, halves to even, as a signed 16-bit number;
// nothing outside -32768..32767.
std::optional<int16_t> RoundToInt16(double value);

}  // namespace tarnwick

#endif  // TARNWICK_TEXT_LEADING_NUMBER_H_
