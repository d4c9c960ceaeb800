#include "bus/leading_number.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

TEST(LeadingNumber, ReadsTheNumberAtTheFront) {
  EXPECT_DOUBLE_EQ(LeadingNumber("  -45.30"), -45.3);
  EXPECT_DOUBLE_EQ(LeadingNumber("1.2345E+09"), 1234500000);
  EXPECT_DOUBLE_EQ(LeadingNumber("1.5D3"), 1500);
  EXPECT_DOUBLE_EQ(LeadingNumber("2e-3"), 0.002);
  EXPECT_DOUBLE_EQ(LeadingNumber(".5"), 0.5);
  EXPECT_DOUBLE_EQ(LeadingNumber("+7"), 7);
  EXPECT_DOUBLE_EQ(LeadingNumber("12."), 12);
}

TEST(LeadingNumber, BlanksAreSkippedEvenBetweenDigits) {
  EXPECT_DOUBLE_EQ(LeadingNumber("1 2"), 12);
  EXPECT_DOUBLE_EQ(LeadingNumber("12\n3"), 123);
  EXPECT_DOUBLE_EQ(LeadingNumber("\t- 4 . 5"), -4.5);
  EXPECT_DOUBLE_EQ(LeadingNumber("1 e 2"), 100);
}

TEST(LeadingNumber, StopsAtTheFirstCharacterThatCannotContinue) {
  EXPECT_DOUBLE_EQ(LeadingNumber("1927.5MHz"), 1927.5);
  EXPECT_DOUBLE_EQ(LeadingNumber("1927.5E"), 1927.5);  // exponent without digits
  EXPECT_DOUBLE_EQ(LeadingNumber("1,5"), 1);
  EXPECT_DOUBLE_EQ(LeadingNumber("1.2.3"), 1.2);
  // The carriage return stops the parse before an old tail.
  EXPECT_DOUBLE_EQ(LeadingNumber(std::string("-45.3\r\n00000\r\n") + std::string(30, '\0')), -45.3);
  EXPECT_DOUBLE_EQ(LeadingNumber(std::string("5\0" "7", 3)), 5);
}

TEST(LeadingNumber, NoDigitsGiveZero) {
  EXPECT_EQ(LeadingNumber("MHz"), 0);
  EXPECT_EQ(LeadingNumber(""), 0);
  EXPECT_EQ(LeadingNumber(std::string(50, '\0')), 0);
  EXPECT_EQ(LeadingNumber("-"), 0);
  EXPECT_EQ(LeadingNumber("."), 0);
  EXPECT_EQ(LeadingNumber("E5"), 0);
}

TEST(LeadingNumber, HexAndOctalWholeNumbers) {
  EXPECT_EQ(LeadingNumber("&H1F"), 31);
  EXPECT_EQ(LeadingNumber("&hff rest"), 255);
  EXPECT_EQ(LeadingNumber("&O17"), 15);
  EXPECT_EQ(LeadingNumber("&O19"), 1);
  EXPECT_EQ(LeadingNumber("&X1"), 0);
}

TEST(LeadingNumber, TooLargeForADoubleIsAnOverflowTooSmallIsZero) {
  EXPECT_THROW(LeadingNumber("1E309"), OverflowError);
  EXPECT_THROW(LeadingNumber("-1e400"), OverflowError);
  EXPECT_THROW(LeadingNumber(".5e310"), OverflowError);
  EXPECT_THROW(LeadingNumber(std::string(400, '9')), OverflowError);
  EXPECT_DOUBLE_EQ(LeadingNumber("1.7976931348623157e308"), 1.7976931348623157e308);
  EXPECT_EQ(LeadingNumber("1e-400"), 0);
  EXPECT_EQ(LeadingNumber("0.0001e-400"), 0);
  EXPECT_EQ(LeadingNumber("0e999999"), 0);
}

TEST(LowWordToInt, KeepsTheLowSixteenBitsSigned) {
  EXPECT_EQ(LowWordToInt(0x8000), -32768);
  EXPECT_EQ(LowWordToInt(0x12348000), -32768);
  EXPECT_EQ(LowWordToInt(-1), -1);
  EXPECT_EQ(LowWordToInt(0x0001FFFF), -1);
  EXPECT_EQ(LowWordToInt(0x7FFF), 32767);
  EXPECT_EQ(LowWordToInt(0x7FFF7FFF), 32767);
  EXPECT_EQ(LowWordToInt(0x10001), 1);
}

TEST(RoundToInt16, HalvesToEvenAndOverflowOutsideSixteenBits) {
  EXPECT_EQ(RoundToInt16(2.5, "x"), 2);
  EXPECT_EQ(RoundToInt16(3.5, "x"), 4);
  EXPECT_EQ(RoundToInt16(-2.5, "x"), -2);
  EXPECT_EQ(RoundToInt16(32767.4, "x"), 32767);
  EXPECT_EQ(RoundToInt16(-32768.5, "x"), -32768);
  EXPECT_THROW(RoundToInt16(32767.5, "x"), OverflowError);
  EXPECT_THROW(RoundToInt16(1e9, "x"), OverflowError);
}

}  // namespace
}  // namespace tarnwick
