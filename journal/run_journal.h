// The observer that keeps each run: it judges the segments against the
// limits, holds the latest run for the exports, and writes everything to the
// store as it happens. A store that fails is reported once and then left
// alone: the measurement goes on without it.
#ifndef TARNWICK_JOURNAL_RUN_JOURNAL_H_
#define TARNWICK_JOURNAL_RUN_JOURNAL_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "journal/limits.h"
#include "journal/result_store.h"
#include "measure/run_observer.h"

namespace tarnwick {

// Where the runs go: a store, or none with the reason (--no-journal gives
// an empty reason, and nothing is said).
struct JournalTarget {
  std::unique_ptr<ResultStore> store;
  std::string openError;
};

// Opens the store at path (none when path is empty), catching the failure.
JournalTarget OpenJournal(const std::string& path);

class RunJournal : public RunObserver {
 public:
  // warn is told, once, why runs are not being recorded.
  RunJournal(JournalTarget target, std::function<void(const std::string&)> warn);

  // What every later run is recorded with.
  void SetBench(std::function<std::string()> bench, bool simulated);
  void SetLimits(LimitTable limits) { limits_ = std::move(limits); }
  const LimitTable& limits() const { return limits_; }

  void RunStarted(const RunSettings& settings) override;
  void RunPlanned(const RunPlan& plan) override;
  void SegmentMeasured(const SegmentMeasurement& segment) override;
  void RunFinished(RunOutcome outcome, const std::string& message,
                   const std::string& endNotes) override;

  // The latest run as measured, whether or not the store has it.
  const StoredRun& latest() const { return run_; }
  // The ids of the runs this journal wrote to its store.
  const std::vector<std::int64_t>& recorded() const { return recorded_; }
  // The store, or null once it has failed or when there is none.
  ResultStore* store() { return store_.get(); }

 private:
  template <typename Action>
  void Write(Action&& action);

  std::unique_ptr<ResultStore> store_;
  std::function<void(const std::string&)> warn_;
  std::function<std::string()> bench_;
  bool simulated_ = false;
  LimitTable limits_;
  StoredRun run_;
  std::vector<std::int64_t> recorded_;
  std::string pending_warning_;
};

// The time now, UTC, ISO 8601 to the millisecond: 2026-12-07T00:35:07.123Z.
std::string UtcNow();

}  // namespace tarnwick

#endif  // TARNWICK_JOURNAL_RUN_JOURNAL_H_
