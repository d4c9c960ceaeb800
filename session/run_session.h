// The one place a run is wired: a RunSession owns the driver stack, bus,
// dialect, run, recorder, limits and journal for a request. Both programs
// and the tests run through it; what they show (the results box, standard
// output, progress) are observers of the run or listeners to its record.
#ifndef TARNWICK_SESSION_RUN_SESSION_H_
#define TARNWICK_SESSION_RUN_SESSION_H_

#include <functional>
#include <memory>
#include <string>

#include "analyser/bus_analyser.h"
#include "bus/analyzer_bus.h"
#include "bus/platform.h"
#include "journal/run_journal.h"
#include "measure/measurement_run.h"
#include "results/recorder.h"
#include "session/driver_stack.h"
#include "session/run_request.h"

namespace tarnwick {

// The inputs that stay live while a run goes: whoever runs it answers them,
// from the run's thread.
class LiveInputs {
 public:
  virtual ~LiveInputs() = default;
  // The Averaging box now; asked anew before every segment's sweep.
  virtual bool Averaging() = 0;
  // Whether the run is to end; every wait asks it as it goes.
  virtual bool StopRequested() = 0;
  // The note that ends the block of a run the stop check ended, without
  // its mark.
  virtual std::string StopNote() = 0;
};

class RunSession : private RunHost {
 public:
  // Wires the bench request names: its driver stack, and the journal at its
  // address. Throws as DriverStack does; nothing is opened or loaded until
  // the first run.
  RunSession(const RunRequest& request, Platform& platform);
  // The same over a stack wired by the caller.
  RunSession(const RunRequest& request, std::unique_ptr<DriverStack> stack, Platform& platform);
  ~RunSession() override;

  // What the run asks as it goes; must outlive the session. Without it the
  // Averaging of the request holds throughout, and only a failed trace stops
  // a run.
  void SetLiveInputs(LiveInputs& live) { live_ = &live; }
  // Told, once, why runs are not being journaled.
  void SetJournalWarning(std::function<void(const std::string&)> warn) { warn_ = std::move(warn); }
  // Each is told what every later run does, after the recorder; must outlive
  // the session.
  void AddObserver(RunObserver& observer) { run_.AddObserver(observer); }
  // Each hears every later record, after the journal has given it its id;
  // must outlive the session.
  void AddListener(RecordListener& listener) { recorder_.AddListener(listener); }

  // One run of request's inputs, dialect and limits. Its driver options
  // (but the dialect) and journal are those the session was made with.
  RunEnd Run(const RunRequest& request);

  // The latest run's record, whole once it has ended.
  const RunRecord& record() const { return recorder_.record(); }
  const FreqSegments& SegmentList() const { return run_.SegmentList(); }
  DriverStack& stack() { return *stack_; }

 private:
  // RunHost: the request's fields, and the live inputs.
  std::string CarrierText() override { return inputs_.carrier; }
  std::string RefLevelText() override { return inputs_.ref; }
  std::string RefOffsetText() override { return inputs_.offset; }
  bool Band800MSelected() override { return inputs_.band800M; }
  const TestPlan* ChosenPlan() override { return inputs_.plan ? &*inputs_.plan : nullptr; }
  int AveragingValue() override;
  std::string StopReason() override { return "cannot write the trace"; }
  std::string StopNote() override;
  bool StopRequested();

  Platform& platform_;
  std::unique_ptr<DriverStack> stack_;
  AnalyzerBus bus_;
  std::unique_ptr<BusAnalyser> analyser_;
  RunRecorder recorder_;
  MeasurementRun run_;
  std::function<void(const std::string&)> warn_;
  RunJournal journal_;
  LiveInputs* live_ = nullptr;
  RunInputs inputs_;
};

}  // namespace tarnwick

#endif  // TARNWICK_SESSION_RUN_SESSION_H_
