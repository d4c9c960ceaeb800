#include "text/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace tarnwick {
namespace {

constexpr int kSignificantDigits = 15;

// A value written with 15 significant digits: value = 0.digits * 10^point.
struct Decimal {
  bool negative = false;
  std::string digits;  // exactly 15, or empty for zero
  int point = 0;       // digits before the decimal point (may be <= 0 or > 15)
};

Decimal ToDecimal(double value) {
  Decimal d;
  if (value == 0) return d;
  char buf[64];
  const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific,
                                    kSignificantDigits - 1);
  std::string_view text(buf, static_cast<std::size_t>(result.ptr - buf));
  if (text.front() == '-') {
    d.negative = true;
    text.remove_prefix(1);
  }
  const std::size_t e = text.find('e');
  for (const char c : text.substr(0, e)) {
    if (c != '.') d.digits += c;
  }
  int exponent = 0;
  std::string_view exp = text.substr(e + 1);
  if (exp.front() == '+') exp.remove_prefix(1);
  std::from_chars(exp.data(), exp.data() + exp.size(), exponent);
  d.point = exponent + 1;
  return d;
}

std::string WithoutTrailingZeros(std::string digits) {
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  return digits;
}

}  // namespace

std::string GeneralNumberText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
  const Decimal d = ToDecimal(value);
  if (d.digits.empty()) return "0";
  const std::string digits = WithoutTrailingZeros(d.digits);
  std::string out = d.negative ? "-" : "";
  const int size = static_cast<int>(digits.size());
  if (d.point <= 0) {
    out += "0." + std::string(static_cast<std::size_t>(-d.point), '0') + digits;
  } else if (d.point >= size) {
    out += digits + std::string(static_cast<std::size_t>(d.point - size), '0');
  } else {
    out += digits.substr(0, static_cast<std::size_t>(d.point)) + "." +
           digits.substr(static_cast<std::size_t>(d.point));
  }
  return out;
}

std::string FixedText(double value, int decimals) {
  if (!std::isfinite(value)) return GeneralNumberText(value);
  const Decimal d = ToDecimal(value);
  // The whole number of units of the last decimal place, as digits.
  std::string units;
  bool roundUp = false;
  const int keep = d.point + decimals;
  if (!d.digits.empty() && keep >= 0) {
    const int available = static_cast<int>(d.digits.size());
    units = d.digits.substr(0, static_cast<std::size_t>(std::min(keep, available)));
    if (keep > available) units += std::string(static_cast<std::size_t>(keep - available), '0');
    // Half away from zero, judged on the 15-digit text: a next digit of 5 or
    // more is at least half a unit whatever follows it.
    roundUp = keep < available && d.digits[static_cast<std::size_t>(keep)] >= '5';
  }
  if (roundUp) {
    int i = static_cast<int>(units.size()) - 1;
    for (; i >= 0 && units[static_cast<std::size_t>(i)] == '9'; --i) {
      units[static_cast<std::size_t>(i)] = '0';
    }
    if (i < 0) units.insert(units.begin(), '1');
    else ++units[static_cast<std::size_t>(i)];
  }
  const std::size_t minimum = static_cast<std::size_t>(decimals) + 1;  // "0.000"
  if (units.size() < minimum) units.insert(0, minimum - units.size(), '0');
  const bool isZero = units.find_first_not_of('0') == std::string::npos;
  std::string out = d.negative && !isZero ? "-" : "";
  const std::size_t whole = units.size() - static_cast<std::size_t>(decimals);
  out += units.substr(0, whole);
  if (decimals > 0) out += "." + units.substr(whole);
  return out;
}

std::string LeftField(std::string_view text, std::size_t width) {
  std::string out(text.substr(0, width));
  out.resize(width, ' ');
  return out;
}

std::string RightField(std::string_view text, std::size_t width) {
  if (text.size() >= width) return std::string(text.substr(0, width));
  return std::string(width - text.size(), ' ') + std::string(text);
}

}  // namespace tarnwick
