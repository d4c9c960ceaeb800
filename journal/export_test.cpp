// What the exports make of texts a spreadsheet or a JSON reader would trip
// over; the whole exports are read back by Python in the journal's
// end-to-end test.
#include "journal/export.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using ::testing::HasSubstr;

TEST(Export, OperatorTextCannotBeAFormulaAndEveryExportIsUtf8) {
  const std::string kReplacement = "\xEF\xBF\xBD";
  struct Case {
    std::string typed;
    std::string csvCell;
    std::string jsonString;
  };
  const Case cases[] = {
      {"1940", "1940", "\"1940\""},
      {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\"", "\"=HYPERLINK(\\\"x\\\")\""},
      {"-40", "'-40", "\"-40\""},
      {"+1", "'+1", "\"+1\""},
      {"@SUM(A1)", "'@SUM(A1)", "\"@SUM(A1)\""},
      {"\t3", "'\t3", "\"\\t3\""},
      {"\r3", "\"'\r3\"", "\"\\r3\""},
      {"19\xFF" "40", "19" + kReplacement + "40", "\"19" + kReplacement + "40\""},
      // Which bytes are well-formed is the quoting rule's (text/quote_test.cpp).
      {"\xE2\x82", kReplacement + kReplacement, "\"" + kReplacement + kReplacement + "\""},
      {"\xC2\xB5s \xE2\x82\xAC \xF0\x9F\x93\xA1", "\xC2\xB5s \xE2\x82\xAC \xF0\x9F\x93\xA1",
       "\"\xC2\xB5s \xE2\x82\xAC \xF0\x9F\x93\xA1\""},
  };
  for (const Case& c : cases) {
    RunRecord run;
    run.id = 7;
    run.settings.carrierText = c.typed;
    run.settings.refText = "20";
    run.settings.offsetText = "0";
    run.plan = RunPlan{1940, -40, 0, 6};
    EXPECT_THAT(CsvExport({run}), HasSubstr(",no," + c.csvCell + ",20,0,2G,no,1940,-40,0,"))
        << c.typed;
    EXPECT_THAT(JsonExport({run}), HasSubstr("\"carrier_text\": " + c.jsonString + ", "))
        << c.typed;
  }
  // Every text of the operator's is treated alike; the program's own are not.
  RunRecord run;
  run.bench = run.message = run.limits = run.settings.carrierText = run.settings.refText =
      run.settings.offsetText = "=1";
  run.version = "-";
  EXPECT_THAT(CsvExport({run}), HasSubstr(",,-,'=1,no,'=1,'=1,'=1,2G,no,,,,interrupted,'=1,'=1,"));
}

}  // namespace
}  // namespace tarnwick
