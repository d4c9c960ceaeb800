#include "results/verdicts.h"

#include <cmath>

#include <fmt/format.h>

#include "measure/segment_plan.h"
#include "results/block_text.h"
#include "text/number_text.h"

namespace tarnwick {

SegmentVerdict Judge(const LimitTable& limits, const SegmentMeasurement& m) {
  // A level the analyser could not give neither passes nor fails: its note says why.
  if (!IsReadingValue(m.peakDbm)) return {};
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

namespace {

std::string OverLimits(const RunTally& t) {
  const SegmentRecord& w = *t.worst;
  return fmt::format("{} of {} over {} limit; worst margin {:.2f} dB at {} MHz", t.failures,
                     t.segments, t.failures == 1 ? "its" : "their", w.verdict.marginDb,
                     GeneralNumberText(w.m.peakHz / kHzPerMHz));
}

// Why a run stopped, in one line: its message, else its first end note (an
// interruption says itself there), else its outcome.
std::string StopReasonOf(const RunRecord& run) {
  if (!run.message.empty()) return run.message.substr(0, run.message.find('\n'));
  if (!run.endNotes.empty()) return run.endNotes.front();
  if (run.outcome == "blank") return std::string(kBlankFieldText);
  if (run.outcome.empty()) return "the run never finished: the program ended during it";
  return run.outcome;
}

}  // namespace

RunVerdict VerdictOf(const RunRecord& run) {
  RunVerdict v;
  v.limits = run.limits.empty() ? "No limits" : "Limits: " + run.limits;
  const RunTally t = Tally(run);
  const bool measuredAll = run.outcome == "completed" || run.outcome == "doubtful";
  if (!measuredAll) {
    v.kind = RunVerdict::Kind::kStopped;
    v.word = "STOPPED";
    v.detail = StopReasonOf(run);
    // What was measured before the stop still counts against the limits.
    if (t.failures > 0) v.detail += fmt::format(" ({} before it stopped)", OverLimits(t));
    return v;
  }
  std::size_t doubtful = 0;
  for (const SegmentRecord& s : run.segments) doubtful += s.m.note.empty() ? 0 : 1;
  // As tarnwick-cli's exit status has it: doubt before the limits, since a
  // doubtful reading can neither pass nor fail for sure.
  if (doubtful > 0) {
    v.kind = RunVerdict::Kind::kDoubtful;
    v.word = "DOUBTFUL";
    v.detail = fmt::format("{} of {} readings doubtful", doubtful, t.segments);
    if (t.failures > 0) v.detail += "; " + OverLimits(t);
  } else if (t.failures > 0) {
    v.kind = RunVerdict::Kind::kFail;
    v.word = "FAIL";
    v.detail = OverLimits(t);
  } else if (t.judged > 0) {
    v.kind = RunVerdict::Kind::kPass;
    v.word = "PASS";
    v.detail = fmt::format("{} of {} within {} limit", t.judged, t.segments,
                           t.judged == 1 ? "its" : "their");
  } else {
    v.word = "MEASURED";
    v.detail = run.limits.empty() ? "no limits in force: nothing was judged"
                                  : "no limit covers any segment: nothing was judged";
  }
  if (v.kind != RunVerdict::Kind::kUnjudged && t.judged < t.segments) {
    v.detail += fmt::format("; {} without a limit", t.segments - t.judged);
  }
  return v;
}

TableRow TableRowOf(const SegmentRecord& s) {
  const SegmentVerdict& v = s.verdict;
  return {RangeText(s.m.startHz, s.m.stopHz),
          FixedText(s.m.peakHz / kHzPerMHz, 3),
          FixedText(s.m.peakDbm, 2),
          v.limitDbm ? GeneralNumberText(*v.limitDbm) : "",
          v.limitDbm ? FixedText(v.marginDb, 2) : "",
          v.limitDbm ? v.Name() : "no limit",
          s.m.note};
}

std::string TableTsv(const RunRecord& run) {
  std::string text;
  auto line = [&text](const auto& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) text += '\t';
      text += cells[i];
    }
    text += '\n';
  };
  line(kTableColumns);
  for (const SegmentRecord& s : run.segments) line(TableRowOf(s));
  return text;
}

}  // namespace tarnwick
