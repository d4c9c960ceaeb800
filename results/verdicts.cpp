#include "results/verdicts.h"

#include <cmath>

#include <fmt/format.h>

#include "measure/segment_plan.h"

namespace tarnwick {

SegmentVerdict Judge(const LimitTable& limits, const SegmentMeasurement& m) {
  SegmentVerdict v{limits.For(m.startHz, m.stopHz), 0};
  // Readings come in hundredths of a dB; so does the margin, without binary dust.
  if (v.limitDbm) v.marginDb = std::round((*v.limitDbm - m.peakDbm) * 100) / 100;
  return v;
}

RunTally Tally(const RunRecord& run) {
  RunTally t;
  t.segments = run.segments.size();
  for (const SegmentRecord& s : run.segments) {
    if (!s.verdict.limitDbm) continue;
    ++t.judged;
    if (!s.verdict.Fails()) continue;
    ++t.failures;
    if (t.worst == nullptr || s.verdict.marginDb < t.worst->verdict.marginDb) t.worst = &s;
  }
  return t;
}

std::string LimitsSummary(const RunRecord& run) {
  if (run.limits.empty() || run.segments.empty()) return "";
  const RunTally t = Tally(run);
  std::string line;
  if (t.failures == 0) {
    line = fmt::format("PASS: {} of {} segments within limits ({})", t.judged, t.segments,
                       run.limits);
  } else {
    const SegmentRecord& w = *t.worst;
    line = fmt::format(
        "FAIL: {} of {} segments over their limits ({}); worst: {} MHz {:.2f} dBm over its limit "
        "of {} dBm by {:.2f} dB",
        t.failures, t.segments, run.limits, w.m.peakHz / kHzPerMHz, w.m.peakDbm,
        *w.verdict.limitDbm, -w.verdict.marginDb);
  }
  if (t.judged < t.segments) line += fmt::format("; {} without a limit", t.segments - t.judged);
  return line;
}

}  // namespace tarnwick
