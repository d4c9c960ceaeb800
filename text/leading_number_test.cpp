#include "text/leading_number.h"

#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(LeadingNumber, ReadsTheNumberAtTheFront) {
  const std::pair<std::string, double> cases[] = {
      {"  -45.30", -45.3}, {"1.2345E+09", 1234500000}, {"1.5D3", 1500}, {"2e-3", 0.002},
      {".5", 0.5}, {"+7", 7}, {"12.", 12},
      // Blanks are skipped, even between digits.
      {"1 2", 12}, {"12\n3", 123}, {"\t- 4 . 5", -4.5}, {"1 e 2", 100},
      // The first character that cannot continue ends it.
      {"1927.5MHz", 1927.5}, {"1927.5E", 1927.5}, {"1,5", 1}, {"1.2.3", 1.2},
      {std::string("-45.3\r\n00000\r\n") + std::string(30, '\0'), -45.3},
      {std::string("5\0" "7", 3), 5},
      // No digits give 0.
      {"MHz", 0}, {"", 0}, {std::string(50, '\0'), 0}, {"-", 0}, {".", 0}, {"E5", 0},
      // Hex and octal whole numbers.
      {"&H1F", 31}, {"&hff rest", 255}, {"&O17", 15}, {"&O19", 1}, {"&X1", 0},
      // Too small is 0; the largest double is still one.
      {"1e-400", 0}, {"0.0001e-400", 0}, {"0e999999", 0}, {"1.7976931348623157e308", 1.7976931348623157e308},
  };
  for (const auto& [text, value] : cases) {
    EXPECT_DOUBLE_EQ(LeadingNumber(text).value, value) << text;
    EXPECT_FALSE(LeadingNumber(text).overflow) << text;
  }
  for (const std::string& text : {std::string("1E309"), std::string("-1e400"), std::string(".5e310"),
                                  std::string(400, '9'), "&H" + std::string(300, 'F')}) {
    EXPECT_TRUE(LeadingNumber(text).overflow) << text;
  }
}

TEST(RoundToInt16, HalvesToEvenAndOverflowOutsideSixteenBits) {
  const std::pair<double, int16_t> cases[] = {
      {2.5, 2}, {3.5, 4}, {-2.5, -2}, {32767.4, 32767}, {-32768.5, -32768}};
  for (const auto& [in, out] : cases) EXPECT_EQ(RoundToInt16(in), out) << in;
  EXPECT_EQ(RoundToInt16(32767.5), std::nullopt);
}

}  // namespace
}  // namespace tarnwick
