// Verdicts against limits, beside the run: each reading against the limit
// that covers its segment, and the run's tally. The window, the command
// line's summary and exit status, the journal and the exports all read them
// from here.
#ifndef TARNWICK_RESULTS_VERDICTS_H_
#define TARNWICK_RESULTS_VERDICTS_H_

#include <cstddef>
#include <string>

#include "results/limits.h"
#include "results/run_record.h"

namespace tarnwick {

// The reading against the strictest limit that covers its segment. The
// margin is rounded to hundredths of a dB, as readings come.
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

}  // namespace tarnwick

#endif  // TARNWICK_RESULTS_VERDICTS_H_
