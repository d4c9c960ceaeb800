// A run as values: the operator's settings, what was measured and each
// reading's verdict against the limits in force. The journal stores these,
// the exports and the window read them, and the results block is made from
// them.
#ifndef TARNWICK_RESULTS_RUN_RECORD_H_
#define TARNWICK_RESULTS_RUN_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "measure/run_observer.h"

namespace tarnwick {

// A reading against its limit.
struct SegmentVerdict {
  std::optional<double> limitDbm;  // none: no limit covers the segment
  double marginDb = 0;             // limit minus reading; negative fails
  bool Fails() const { return limitDbm && marginDb < 0; }
  // "PASS", "FAIL", or empty without a limit.
  const char* Name() const { return !limitDbm ? "" : Fails() ? "FAIL" : "PASS"; }
};

struct SegmentRecord {
  SegmentMeasurement m;
  SegmentVerdict verdict;
};

// Outcome names: completed, doubtful, stopped, refused, blank, interrupted;
// empty while the run is in progress or when the program died before it
// could say.
struct RunRecord {
  std::int64_t id = 0;  // the journal's number for it; 0 when not journaled
  std::string uuid;     // the run's own id, the same in every journal that holds it
  // The name of the bench that measured it (a host name by default), which
  // the lab tells benches apart by; not bench below.
  std::string benchName;
  std::string started;  // UTC, ISO 8601
  std::string ended;    // empty until finished
  std::string version;  // "Tarnwick 1.00"
  std::string bench;    // the resource and what served it, or "simulated (scene)"
  bool simulated = false;
  std::string limits;   // where the limits came from; empty: none
  RunSettings settings;
  std::optional<RunPlan> plan;  // none: nothing was measured
  std::string outcome;
  std::string message;  // what the operator was told
  std::string received;  // when the lab received it (UTC, ISO 8601); empty elsewhere
  std::vector<std::string> endNotes;
  std::vector<SegmentRecord> segments;

  // The outcome, "interrupted" for a run that never finished.
  std::string OutcomeName() const { return outcome.empty() ? "interrupted" : outcome; }
  std::size_t Failures() const;
};

std::string OutcomeName(RunOutcome outcome);
// What a run with a blank field did.
inline constexpr std::string_view kBlankFieldText = "a field is blank: nothing was measured";
// How a segment's wait ended as records name it: none, done, timeout, error;
// and back (an unknown name reads as none).
const char* WaitName(SweepWait wait);
SweepWait WaitFromName(std::string_view name);

// A run's end notes as journals keep them: sentences without line breaks,
// one a line; and back.
std::string JoinedNotes(const std::vector<std::string>& notes);
std::vector<std::string> SplitNotes(const std::string& joined);

// The carrier as lists show it: "1940 MHz" as it was read, or the field as
// typed, quoted, when it could not be read.
std::string CarrierShown(const RunRecord& run);

// The time now, UTC, ISO 8601 to the millisecond: 2026-12-07T00:35:07.123Z.
std::string UtcNow();

}  // namespace tarnwick

#endif  // TARNWICK_RESULTS_RUN_RECORD_H_
