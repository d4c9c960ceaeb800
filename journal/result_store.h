// Where runs are kept once measured: the seam between the programs and the
// journal's database, so that tests can put a failing store in its place.
#ifndef TARNWICK_JOURNAL_RESULT_STORE_H_
#define TARNWICK_JOURNAL_RESULT_STORE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "results/run_record.h"

namespace tarnwick {

// A journal that cannot be opened, read or written. what() names the file
// and the database's own words.
class JournalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The LevelDB-style contract: every method either does all it says or throws
// JournalError and changes nothing the caller can see. Methods that write
// are durable on return.
class ResultStore {
 public:
  virtual ~ResultStore() = default;

  // Records a new run from run's started, version, bench, simulated, limits
  // and settings; returns its id.
  virtual std::int64_t BeginRun(const RunRecord& run) = 0;
  // REQUIRES: id came from BeginRun.
  virtual void PlanRun(std::int64_t id, const RunPlan& plan) = 0;
  // One segment, in a transaction of its own. REQUIRES: id came from BeginRun.
  virtual void AddSegment(std::int64_t id, const SegmentRecord& segment) = 0;
  // REQUIRES: id came from BeginRun.
  virtual void FinishRun(std::int64_t id, const RunRecord& run) = 0;

  // Reads run after run, holding one at a time, however many the store
  // keeps; visit returns false to stop early.
  using RunVisitor = std::function<bool(const RunRecord&)>;
  // The newest last runs (all when last is 0), oldest first: id, started,
  // simulated, settings, plan and outcome only.
  virtual void ListRuns(std::size_t last, const RunVisitor& visit) = 0;
  // The run with its segments; none when there is no such run.
  virtual std::optional<RunRecord> LoadRun(std::int64_t id) = 0;
  // Every run with its segments, oldest first, as they stood when reading
  // began.
  virtual void EachRun(const RunVisitor& visit) = 0;
};

}  // namespace tarnwick

#endif  // TARNWICK_JOURNAL_RESULT_STORE_H_
