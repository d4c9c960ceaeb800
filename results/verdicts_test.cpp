// What the banner, the report and the history say of a run, and the table a
// spreadsheet receives.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "results/verdicts.h"

namespace tarnwick {
namespace {

struct Reading {
  double peakMHz, dbm;
  std::optional<double> limit;
  std::string note = {};
};

RunRecord Record(const std::string& outcome, const std::vector<Reading>& readings) {
  RunRecord run;
  run.outcome = outcome;
  for (const Reading& r : readings) {
    const SegmentMeasurement m{0, 30e6, 6100e6, r.peakMHz * 1e6, r.dbm, SweepWait::kNotAveraged, r.note};
    run.segments.push_back({m, Judge(r.limit ? LimitTable::Everywhere(*r.limit) : LimitTable(), m)});
    if (r.limit) run.limits = LimitTable::Everywhere(*r.limit).source();
  }
  return run;
}

TEST(Verdicts, TheBannerSaysWhatTheRunCameTo) {
  struct Case {
    RunRecord run;
    std::string message, note;
    const char *word, *detail;
  };
  const Case cases[] = {
      {Record("completed", {{970, -57.9, -40}, {3880, -38.4, -40}}), "", "", "FAIL",
       "1 of 2 over its limit; worst margin -1.60 dB at 3880 MHz"},
      {Record("completed", {{970, -57.9, {}}, {3880, -45, -40}}), "", "", "PASS",
       "1 of 2 within its limit; 1 without a limit"},
      // Doubt comes before the limits, as in tarnwick-cli's exit status.
      {Record("doubtful", {{970, -57.9, -60, "unfinished"}}), "", "", "DOUBTFUL",
       "1 of 1 readings doubtful; 1 of 1 over its limit; worst margin -2.10 dB at 970 MHz"},
      // No limit: nothing has passed.
      {Record("completed", {{970, -57.9, {}}}), "", "", "MEASURED",
       "no limits in force: nothing was judged"},
      {Record("stopped", {}), "Run stopped: ibwrt failed\nClosing the run failed", "", "STOPPED",
       "Run stopped: ibwrt failed"},
      {Record("interrupted", {{970, -30, -40}}), "", "Run stopped by the operator", "STOPPED",
       "Run stopped by the operator (1 of 1 over its limit; worst margin -10.00 dB at 970 MHz "
       "before it stopped)"},
      {Record("blank", {}), "", "", "STOPPED", "a field is blank: nothing was measured"},
      {Record("", {}), "", "", "STOPPED", "the run never finished: the program ended during it"},
  };
  for (Case c : cases) {
    c.run.message = c.message;
    if (!c.note.empty()) c.run.endNotes.push_back(c.note);
    const RunVerdict v = VerdictOf(c.run);
    EXPECT_EQ(v.word, c.word) << c.detail;
    EXPECT_EQ(v.detail, c.detail);
    EXPECT_EQ(v.limits, c.run.limits.empty() ? "No limits" : "Limits: " + c.run.limits);
  }
}

TEST(Verdicts, TheTableCopiesAsTabSeparatedText) {
  EXPECT_EQ(TableTsv(Record("completed", {{970, -57.9, -40}, {3880, -38.4, {}, "unfinished"}})),
            "Segment\tPeak (MHz)\tLevel (dBm)\tLimit (dBm)\tMargin (dB)\tVerdict\tNote\n"
            "30MHz---6100MHz\t970.000\t-57.90\t-40\t17.90\tPASS\t\n"
            "30MHz---6100MHz\t3880.000\t-38.40\t\t\tno limit\tunfinished\n");
}

}  // namespace
}  // namespace tarnwick
