#include "text/leading_number.h"

#include <charconv>
#include <cmath>
#include <string>


namespace tarnwick {
namespace {

// Walks the text the way the parse reads it: blanks are invisible.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  // The next character that is not a blank, or '\0' at the end.
  char Peek() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  void Take() { ++pos_; }
  // Just behind the last character taken.
  std::size_t Pos() const { return pos_; }

 private:
  static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
  std::string_view text_;
  std::size_t pos_ = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitValue(char c, int base) {
  int v = -1;
  if (IsDigit(c)) v = c - '0';
  else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}

// "&H1F" and "&O17": whole numbers in base 16 or 8.
NumberScan RadixNumber(Cursor& in, int base) {
  NumberScan scan;
  for (int d; (d = DigitValue(in.Peek(), base)) >= 0; in.Take()) {
    scan.value = scan.value * base + d;
    scan.hasDigits = true;
    scan.end = in.Pos() + 1;
  }
  if (!std::isfinite(scan.value)) scan = NumberScan{0, true, true, scan.end};
  return scan;
}

}  // namespace

NumberScan LeadingNumber(std::string_view text) {
  Cursor in(text);
  NumberScan scan;
  if (in.Peek() == '&') {
    in.Take();
    const char radix = in.Peek();
    if (radix == 'H' || radix == 'h') { in.Take(); return RadixNumber(in, 16); }
    if (radix == 'O' || radix == 'o') { in.Take(); return RadixNumber(in, 8); }
    return scan;
  }

  // Collect the number without blanks, in the form from_chars reads.
  std::string number;
  if (in.Peek() == '-') { number += '-'; in.Take(); }
  else if (in.Peek() == '+') { in.Take(); }

  int digits = 0;
  long leadingDigits = 0;  // significant digits before the point, for the magnitude
  bool significant = false;
  for (char c; IsDigit(c = in.Peek()); in.Take()) {
    number += c;
    ++digits;
    significant = significant || c != '0';
    if (significant) ++leadingDigits;
    scan.end = in.Pos() + 1;
  }
  long fractionZeros = 0;  // zeros after the point before the first significant digit
  if (in.Peek() == '.') {
    in.Take();
    number += '.';
    scan.end = in.Pos();
    for (char c; IsDigit(c = in.Peek()); in.Take()) {
      number += c;
      ++digits;
      if (!significant && c == '0') ++fractionZeros;
      significant = significant || c != '0';
      scan.end = in.Pos() + 1;
    }
  }
  if (digits == 0) return NumberScan{};
  scan.hasDigits = true;

  long exponent = 0;
  const char e = in.Peek();
  if (e == 'E' || e == 'e' || e == 'D' || e == 'd') {
    in.Take();
    bool negative = false;
    if (in.Peek() == '-') { negative = true; in.Take(); }
    else if (in.Peek() == '+') { in.Take(); }
    // An exponent letter without digits (the "d" of "20 dBm") ends the
    // number without belonging to it.
    for (char c; IsDigit(c = in.Peek()); in.Take()) {
      if (exponent < 100000) exponent = exponent * 10 + (c - '0');  // far beyond any double
      scan.end = in.Pos() + 1;
    }
    if (negative) exponent = -exponent;
  }
  number += 'e';
  number += std::to_string(exponent);

  const auto [end, ec] =
      std::from_chars(number.data(), number.data() + number.size(), scan.value);
  (void)end;
  if (ec == std::errc::result_out_of_range) {
    scan.value = 0;
    if (!significant) return scan;
    // Out of range one way or the other: tiny values read as zero.
    const long magnitude = leadingDigits > 0 ? leadingDigits + exponent : exponent - fractionZeros;
    if (magnitude > 0) {
      scan.overflow = true;
      return scan;
    }
    scan.value = number[0] == '-' ? -0.0 : 0.0;
  }
  return scan;
}

std::optional<int16_t> RoundToInt16(double value) {
  const double rounded = std::nearbyint(value);  // the default mode rounds halves to even
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) return std::nullopt;
  return static_cast<int16_t>(rounded);
}

}  // namespace tarnwick
