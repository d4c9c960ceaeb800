// The number texts of commands and result lines. All of them are judged on the
// value written with 15 significant digits, so 1927514500 Hz shown in MHz with
// three decimals is 1927.515, not the 1927.514 the exact double would give.
#ifndef TARNWICK_TEXT_NUMBER_TEXT_H_
#define TARNWICK_TEXT_NUMBER_TEXT_H_

#include <string>
#include <string_view>

namespace tarnwick {

// Plain decimal, 15 significant digits, no trailing zeros, no point for whole
// values: 1100000000, 1927.5, -10, 0. Never an exponent, at any magnitude:
// the analyser reads plain digits, and so does the operator.
std::string GeneralNumberText(double value);

// Fixed decimals ("####0.000" with 3, "####0.00" with 2): at least one digit
// before the point, halves rounded away from zero. A negative value that
// rounds to zero is written without its sign.
std::string FixedText(double value, int decimals);

// text padded with spaces to width, or cut to its first width characters.
std::string LeftField(std::string_view text, std::size_t width);
std::string RightField(std::string_view text, std::size_t width);

}  // namespace tarnwick

#endif  // TARNWICK_TEXT_NUMBER_TEXT_H_
