// Where runs are kept once measured: the seam between the programs and the
// journal's database, so that tests can put a failing store in its place.
#ifndef TARNWICK_JOURNAL_RESULT_STORE_H_
#define TARNWICK_JOURNAL_RESULT_STORE_H_

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "measure/run_observer.h"

namespace tarnwick {

// A journal that cannot be opened, read or written. what() names the file
// and the database's own words.
class JournalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A segment as kept: the measurement and its verdict.
struct StoredSegment {
  SegmentMeasurement m;
  std::optional<double> limitDbm;  // none: no limit covers the segment
  double marginDb = 0;             // limit minus reading; negative fails
  bool Fails() const { return limitDbm && marginDb < 0; }
  // "PASS", "FAIL", or empty without a limit.
  const char* Verdict() const { return !limitDbm ? "" : Fails() ? "FAIL" : "PASS"; }
};

// A run as kept. Outcome names: completed, doubtful, stopped, refused,
// blank, interrupted; empty while the run is in progress or when the
// program died before it could say.
struct StoredRun {
  std::int64_t id = 0;
  std::string started;  // UTC, ISO 8601
  std::string ended;    // empty until finished
  std::string version;  // "Tarnwick 1.00"
  std::string bench;    // the driver library, or "simulated (scene)"
  bool simulated = false;
  std::string limits;   // where the limits came from; empty: none
  RunSettings settings;
  std::optional<RunPlan> plan;  // none: nothing was measured
  std::string outcome;
  std::string message;
  std::string endNotes;
  std::vector<StoredSegment> segments;

  // The block the results box received, byte for byte.
  std::string Block() const;
  // The outcome, "interrupted" for a run that never finished.
  std::string OutcomeName() const;
  std::size_t Failures() const;
};

std::string OutcomeName(RunOutcome outcome);
// How a segment's wait ended as the journal writes it: none, done, timeout,
// error; and back (an unknown name reads as none).
const char* WaitName(SweepWait wait);
SweepWait WaitFromName(std::string_view name);

// The LevelDB-style contract: every method either does all it says or throws
// JournalError and changes nothing the caller can see. Methods that write
// are durable on return.
class ResultStore {
 public:
  virtual ~ResultStore() = default;

  // Records a new run from run's started, version, bench, simulated, limits
  // and settings; returns its id.
  virtual std::int64_t BeginRun(const StoredRun& run) = 0;
  // REQUIRES: id came from BeginRun.
  virtual void PlanRun(std::int64_t id, const RunPlan& plan) = 0;
  // One segment, in a transaction of its own. REQUIRES: id came from BeginRun.
  virtual void AddSegment(std::int64_t id, const StoredSegment& segment) = 0;
  // REQUIRES: id came from BeginRun.
  virtual void FinishRun(std::int64_t id, const StoredRun& run) = 0;

  // The newest last runs (all when last is 0), oldest first: id, started,
  // simulated, settings, plan and outcome only.
  virtual std::vector<StoredRun> ListRuns(std::size_t last) = 0;
  // The run with its segments; none when there is no such run.
  virtual std::optional<StoredRun> LoadRun(std::int64_t id) = 0;
  // Every run's id, oldest first.
  virtual std::vector<std::int64_t> RunIds() = 0;
};

}  // namespace tarnwick

#endif  // TARNWICK_JOURNAL_RESULT_STORE_H_
