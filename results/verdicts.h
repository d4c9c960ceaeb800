// Verdicts against limits, beside the run: each reading against the limit
// that covers its segment, and the run's tally. The window, the command
// line's summary and exit status, the journal and the exports all read them
// from here.
#ifndef TARNWICK_RESULTS_VERDICTS_H_
#define TARNWICK_RESULTS_VERDICTS_H_

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "results/limits.h"
#include "results/run_record.h"

namespace tarnwick {

// The reading against the strictest limit that covers its segment. The
// margin is rounded to hundredths of a dB, as readings come. A level that is
// no reading (an analyser's not-a-number) is not judged.
SegmentVerdict Judge(const LimitTable& limits, const SegmentMeasurement& m);

struct RunTally {
  std::size_t segments = 0;  // measured
  std::size_t judged = 0;    // with a limit
  std::size_t failures = 0;  // over their limit
  // The failing segment with the lowest margin; null when none fails.
  const SegmentRecord* worst = nullptr;
};
RunTally Tally(const RunRecord& run);

// The one-line verdict of a run against its limits, for standard error;
// empty when the run had no limits or measured nothing.
std::string LimitsSummary(const RunRecord& run);

// A run's verdict as a banner says it: one word, a line of detail, and the
// limits it was judged against.
struct RunVerdict {
  enum class Kind { kPass, kFail, kDoubtful, kStopped, kUnjudged };
  Kind kind = Kind::kUnjudged;
  // "PASS", "FAIL", "DOUBTFUL", "STOPPED", or "MEASURED" when nothing had a
  // limit: a run with no limits has passed nothing.
  std::string word;
  // How many are over their limit and the worst margin; how many are
  // doubtful; or why the run stopped.
  std::string detail;
  std::string limits;  // "Limits: -50 dBm everywhere", or "No limits"
};
// REQUIRES: the run has finished, or was read back from a journal (a run
// that never finished is STOPPED).
RunVerdict VerdictOf(const RunRecord& run);

// The columns of a run's table, for the window and the report.
inline constexpr std::size_t kTableColumnCount = 7;
inline constexpr std::array<std::string_view, kTableColumnCount> kTableColumns{
    "Segment", "Peak (MHz)", "Level (dBm)", "Limit (dBm)", "Margin (dB)", "Verdict", "Note"};
inline constexpr std::size_t kVerdictColumn = 5;
using TableRow = std::array<std::string, kTableColumnCount>;
// A segment's cells: its range as its result line shows it, the numbers as
// the line and the journal have them, and "no limit" for an unjudged one.
TableRow TableRowOf(const SegmentRecord& s);
// The header and one row a segment, tab-separated, each line ending in LF:
// what a spreadsheet takes from the clipboard.
std::string TableTsv(const RunRecord& run);

}  // namespace tarnwick

#endif  // TARNWICK_RESULTS_VERDICTS_H_
