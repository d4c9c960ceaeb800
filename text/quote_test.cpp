#include "text/quote.h"

#include <string>

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(Quote, OneRuleEscapesEveryControlAndCutsAfterTheLimit) {
  using S = std::string;
  struct Case {
    std::string text;
    std::size_t limit;
    std::string quoted;  // what QuotedForMessage gives
  };
  const Case cases[] = {
      {"MF?\r\n", 40, R"("MF?\r\n")"},
      {"a\tb\"c\\", 40, R"("a\tb\"c\\")"},
      {S("\0\x1B]0;x\x07\x7F", 8), 40, R"("\x00\x1B]0;x\x07\x7F")"},
      // C1: a lone byte (not UTF-8) and the same control encoded in UTF-8.
      {"\x9B" "2J", 40, R"("\x9B2J")"},
      {"\xC2\x9B" "2J \xC2\x85", 40, R"("\u009B2J \u0085")"},
      // Well-formed UTF-8 stays; the first character past C1 is not a control.
      {"é ü \xC2\xA0 €", 40, "\"é ü \xC2\xA0 €\""},
      // Not UTF-8: overlong, surrogate, cut short, past U+10FFFF, bare lead.
      {"\xC0\xAF \xED\xA0\x80 \xE2\x82 \xF4\x90\x80\x80 \xFF", 40,
       R"("\xC0\xAF \xED\xA0\x80 \xE2\x82 \xF4\x90\x80\x80 \xFF")"},
      // Cut after limit characters, never inside a UTF-8 sequence; every
      // escape counts, so no text grows past a few times its limit.
      {S(39, 'a') + "éé\x1B", 40, "\"" + S(39, 'a') + "é\"…"},
      {S(10000000, '\x85'), 3, R"("\x85\x85\x85")" "…"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QuotedForMessage(c.text, c.limit), c.quoted) << c.quoted;
  }
  // Paths keep their backslashes; the trace escapes every byte past ASCII.
  EXPECT_EQ(CutForMessage("C:\\bench\\\x1B[2J.scene"), "C:\\bench\\\\x1B[2J.scene");
  EXPECT_EQ(QuotedBytes(S("\0\x7F\xE9 ~", 5)), R"("\x00\x7F\xE9 ~")");
}

}  // namespace
}  // namespace tarnwick
