#include "measure/number_text.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(GeneralNumberText, PlainDecimalWithFifteenDigits) {
  EXPECT_EQ(GeneralNumberText(1100000000), "1100000000");
  EXPECT_EQ(GeneralNumberText(1927.5), "1927.5");
  EXPECT_EQ(GeneralNumberText(-10), "-10");
  EXPECT_EQ(GeneralNumberText(0), "0");
  EXPECT_EQ(GeneralNumberText(-0.0), "0");
  EXPECT_EQ(GeneralNumberText(-1.5), "-1.5");
  EXPECT_EQ(GeneralNumberText(0.1 + 0.2), "0.3");  // 0.30000000000000004 at 17 digits
  EXPECT_EQ(GeneralNumberText(1940.1234e6 - 12.5e6), "1927623400");
  EXPECT_EQ(GeneralNumberText(0.000125), "0.000125");
  EXPECT_EQ(GeneralNumberText(123456789012345), "123456789012345");
}

TEST(GeneralNumberText, NoExponentAtAnyMagnitude) {
  EXPECT_EQ(GeneralNumberText(1e15), "1000000000000000");
  EXPECT_EQ(GeneralNumberText(-2.5e20), "-250000000000000000000");
  EXPECT_EQ(GeneralNumberText(123456789012345678.0), "123456789012346000");
  EXPECT_EQ(GeneralNumberText(999999999999999.9), "1000000000000000");  // the rounding carries
  EXPECT_EQ(GeneralNumberText(-1.5e-7), "-0.00000015");
  EXPECT_EQ(GeneralNumberText(1e-16), "0.0000000000000001");
}

TEST(FixedText, RoundsHalvesAwayFromZeroOnTheFifteenDigitValue) {
  EXPECT_EQ(FixedText(1927.5, 3), "1927.500");
  EXPECT_EQ(FixedText(0.0004, 3), "0.000");
  EXPECT_EQ(FixedText(0.0005, 3), "0.001");
  // 1927.5145 is 1927.51449999... as a double; its 15-digit text ends in 5.
  EXPECT_EQ(FixedText(1927514500 / 1e6, 3), "1927.515");
  EXPECT_EQ(FixedText(1234567890 / 1e6, 3), "1234.568");
  EXPECT_EQ(FixedText(-45.3, 2), "-45.30");
  EXPECT_EQ(FixedText(-45.135, 2), "-45.14");
  EXPECT_EQ(FixedText(-45.125, 2), "-45.13");
  EXPECT_EQ(FixedText(999.9996, 3), "1000.000");
  EXPECT_EQ(FixedText(0.96, 1), "1.0");
  EXPECT_EQ(FixedText(12, 2), "12.00");
  EXPECT_EQ(FixedText(1e20, 2), "100000000000000000000.00");
}

TEST(FixedText, NegativeValueThatRoundsToZeroHasNoSign) {
  EXPECT_EQ(FixedText(-0.0004, 3), "0.000");
  EXPECT_EQ(FixedText(-0.004, 2), "0.00");
  EXPECT_EQ(FixedText(-0.005, 2), "-0.01");
}

TEST(Fields, PadOrCutToWidth) {
  EXPECT_EQ(LeftField("30MHz---1100MHz", 20), "30MHz---1100MHz     ");
  EXPECT_EQ(LeftField("1000MHz---1927.6234MHz", 20), "1000MHz---1927.6234M");
  EXPECT_EQ(RightField("1234.568MHz", 13), "  1234.568MHz");
  EXPECT_EQ(RightField("-45.30dBm", 13), "    -45.30dBm");
  EXPECT_EQ(RightField("1000000.000MHz", 13), "1000000.000MH");
  EXPECT_EQ(RightField("", 3), "   ");
}

}  // namespace
}  // namespace tarnwick
