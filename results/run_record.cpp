#include "results/run_record.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include <fmt/chrono.h>
#include <fmt/format.h>

#include "measure/segment_plan.h"
#include "text/number_text.h"
#include "text/quote.h"

namespace tarnwick {
namespace {

constexpr const char* kWaitNames[] = {"none", "done", "timeout", "error"};

}  // namespace

std::size_t RunRecord::Failures() const {
  std::size_t n = 0;
  for (const SegmentRecord& s : segments) n += s.verdict.Fails() ? 1 : 0;
  return n;
}

const char* WaitName(SweepWait wait) { return kWaitNames[static_cast<int>(wait)]; }

SweepWait WaitFromName(std::string_view name) {
  for (int i = 0; i < 4; ++i) {
    if (name == kWaitNames[i]) return static_cast<SweepWait>(i);
  }
  return SweepWait::kNotAveraged;
}

std::string OutcomeName(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kCompleted: return "completed";
    case RunOutcome::kDoubtful: return "doubtful";
    case RunOutcome::kBlankInput: return "blank";
    case RunOutcome::kRefused: return "refused";
    case RunOutcome::kStopped: return "stopped";
    case RunOutcome::kAbandoned: break;
  }
  return "interrupted";
}

std::string JoinedNotes(const std::vector<std::string>& notes) {
  std::string joined;
  for (const std::string& note : notes) joined += (joined.empty() ? "" : "\n") + note;
  return joined;
}

std::vector<std::string> SplitNotes(const std::string& joined) {
  std::vector<std::string> notes;
  for (std::size_t at = 0; at < joined.size();) {
    const std::size_t end = std::min(joined.find('\n', at), joined.size());
    notes.push_back(joined.substr(at, end - at));
    at = end + 1;
  }
  return notes;
}

std::string CarrierShown(const RunRecord& run) {
  if (run.plan) return GeneralNumberText(run.plan->carrierMHz) + " MHz";
  return QuotedForMessage(run.settings.carrierText, 16);
}

std::string UtcNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return fmt::format("{:%Y-%m-%dT%H:%M:%S}.{:03}Z", fmt::gmtime(system_clock::to_time_t(now)), ms);
}

}  // namespace tarnwick
