// Keeps the run under way as a record: the values the run reports, each
// reading judged against the limits in force, and what the operator is told
// at the end. Those who keep or show runs (the journal, the window) listen
// to the record rather than to the run.
#ifndef TARNWICK_RESULTS_RECORDER_H_
#define TARNWICK_RESULTS_RECORDER_H_

#include <functional>
#include <string>
#include <vector>

#include "measure/run_observer.h"
#include "results/limits.h"
#include "results/run_record.h"
#include "text/this_machine.h"

namespace tarnwick {

class RecordListener {
 public:
  virtual ~RecordListener() = default;
  // A new run; the listener that keeps it may give it its id.
  virtual void RecordStarted(RunRecord& /*run*/) {}
  virtual void RecordPlanned(const RunRecord& /*run*/) {}
  // The newest segment is run.segments.back().
  virtual void SegmentRecorded(const RunRecord& /*run*/) {}
  virtual void RecordFinished(const RunRecord& /*run*/) {}
};

class RunRecorder : public RunObserver {
 public:
  // What every later run is recorded with. bench is asked at the start and
  // again at the end: a driver library is known only once a run has loaded it.
  void SetBench(std::function<std::string()> bench, bool simulated);
  // The bench's name every later run carries; the host's name until set.
  void SetBenchName(std::string name) { bench_name_ = std::move(name); }
  // Limits that override every plan's own; none: each run is judged against
  // its plan's limits, if it has any.
  // The limits of the runs started from now on; a run under way keeps those
  // it started with, so its verdicts agree with the limits it records.
  void SetLimits(LimitTable limits) { limits_ = std::move(limits); }
  const LimitTable& limits() const { return limits_; }
  // The listener must outlive the recorder.
  void AddListener(RecordListener& listener) { listeners_.push_back(&listener); }

  // The latest run, whole once it has finished.
  const RunRecord& record() const { return record_; }

  void RunStarted(const RunSettings& settings) override;
  void RunPlanned(const RunPlan& plan) override;
  void SegmentMeasured(const SegmentMeasurement& segment) override;
  void RunFinished(const RunEnd& end) override;

 private:
  std::function<std::string()> bench_;
  bool simulated_ = false;
  std::string bench_name_ = HostName();
  LimitTable limits_;
  LimitTable active_;  // those the run under way is judged against
  RunRecord record_;
  std::vector<RecordListener*> listeners_;
};

}  // namespace tarnwick

#endif  // TARNWICK_RESULTS_RECORDER_H_
