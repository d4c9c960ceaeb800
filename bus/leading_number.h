// Reading numbers from the analyser's replies and the operator's fields.
#ifndef TARNWICK_BUS_LEADING_NUMBER_H_
#define TARNWICK_BUS_LEADING_NUMBER_H_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnwick {

// A value too large for its destination. The message names the value.
class OverflowError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The number at the front of text. Spaces, tabs and line feeds are skipped
// wherever they stand, also between digits; then an optional sign, digits,
// an optional "." and digits, and an optional exponent (E, e, D or d, sign,
// digits). "&H" or "&O" start a hexadecimal or octal whole number. Reading
// stops at the first character that cannot continue the number; no digit at
// all gives 0. "." is the decimal separator whatever the locale.
// Throws OverflowError for a value too large for a double.
double LeadingNumber(std::string_view text);

// LeadingNumber with what it read: whether any digit was found, and where
// the number ends (an exponent letter without digits is not part of it).
struct NumberScan {
  double value = 0;
  bool hasDigits = false;
  std::size_t end = 0;
};
NumberScan ScanLeadingNumber(std::string_view text);

// The low 16 bits of value read as a signed 16-bit number. Never fails.
int16_t LowWordToInt(int32_t value);

// Rounds to the nearest integer, halves to even, as a signed 16-bit number.
// Throws OverflowError outside -32768..32767; what names the value's role.
int16_t RoundToInt16(double value, std::string_view what);

}  // namespace tarnwick

#endif  // TARNWICK_BUS_LEADING_NUMBER_H_
