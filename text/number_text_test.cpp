#include "text/number_text.h"

#include <string>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(GeneralNumberText, PlainDecimalWithFifteenDigitsAndNoExponent) {
  const std::pair<double, const char*> cases[] = {
      {1100000000, "1100000000"}, {1927.5, "1927.5"}, {-10, "-10"}, {0, "0"}, {-0.0, "0"},
      {-1.5, "-1.5"}, {0.1 + 0.2, "0.3"}, {1940.1234e6 - 12.5e6, "1927623400"},
      {0.000125, "0.000125"}, {123456789012345, "123456789012345"},
      {1e15, "1000000000000000"}, {-2.5e20, "-250000000000000000000"},
      {123456789012345678.0, "123456789012346000"},
      {999999999999999.9, "1000000000000000"},  // the rounding carries
      {-1.5e-7, "-0.00000015"}, {1e-16, "0.0000000000000001"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(GeneralNumberText(value), text) << text;
}

TEST(FixedText, RoundsHalvesAwayFromZeroOnTheFifteenDigitValue) {
  const std::tuple<double, int, const char*> cases[] = {
      {1927.5, 3, "1927.500"}, {0.0004, 3, "0.000"}, {0.0005, 3, "0.001"},
      // 1927.5145 is 1927.51449999... as a double; its 15-digit text ends in 5.
      {1927514500 / 1e6, 3, "1927.515"}, {1234567890 / 1e6, 3, "1234.568"},
      {-45.3, 2, "-45.30"}, {-45.135, 2, "-45.14"}, {-45.125, 2, "-45.13"},
      {999.9996, 3, "1000.000"}, {0.96, 1, "1.0"}, {12, 2, "12.00"}, {2.5, 0, "3"},
      // A negative value that rounds to zero has no sign.
      {-0.0004, 3, "0.000"}, {-0.004, 2, "0.00"}, {-0.005, 2, "-0.01"},
      // Zero, and a value too small to reach the last decimal, round nothing up.
      {0, 3, "0.000"}, {0.00004, 3, "0.000"}};
  for (const auto& [value, decimals, text] : cases) EXPECT_EQ(FixedText(value, decimals), text);
}

TEST(Fields, PadOrCutToWidth) {
  EXPECT_EQ(LeftField("30MHz---1100MHz", 20), "30MHz---1100MHz     ");
  EXPECT_EQ(LeftField("1000MHz---1927.6234MHz", 20), "1000MHz---1927.6234M");
  EXPECT_EQ(RightField("1000000.000MHz", 13), "1000000.000MH");
}

}  // namespace
}  // namespace tarnwick
