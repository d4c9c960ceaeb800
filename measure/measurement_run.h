// What START does: open the analyser, check and convert the operator's
// fields, build the segment plan, set the analyser up, sweep every segment
// and read its peak marker, then set the analyser back and take it offline.
// The run reports values to its observers; it writes no text of its own.
#ifndef TARNWICK_MEASURE_MEASUREMENT_RUN_H_
#define TARNWICK_MEASURE_MEASUREMENT_RUN_H_

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "analyser/analyser.h"
#include "bus/platform.h"
#include "measure/run_observer.h"
#include "measure/segment_plan.h"

namespace tarnwick {

// How a run reaches its caller for the operator's inputs: the window, the
// command line or a test.
class RunHost {
 public:
  virtual ~RunHost() = default;
  // The three fields as typed, untrimmed.
  virtual std::string CarrierText() = 0;     // MHz
  virtual std::string RefLevelText() = 0;    // dBm
  virtual std::string RefOffsetText() = 0;   // dB
  // Whether the "800M" band button is selected.
  virtual bool Band800MSelected() = 0;
  // The plan chosen other than by the band buttons; none: the selected
  // band's built-in plan. Asked once per START; the run keeps a copy.
  virtual const TestPlan* ChosenPlan() { return nullptr; }
  // The Averaging box, asked anew before every segment's sweep: 0 is off,
  // anything else on.
  virtual int AveragingValue() = 0;
  // Why the platform's stop check ended the run, for the note that ends its
  // block.
  virtual std::string StopReason() { return "stopped by the operator"; }
  // That note, without its mark: InterruptedNote(StopReason()) unless the
  // host words it otherwise.
  virtual std::string StopNote();
};

// "Run interrupted: <reason>.": the note of a run a stop check ended.
std::string InterruptedNote(std::string_view reason);

class MeasurementRun {
 public:
  // platform's stop check is asked between segments and in every wait.
  MeasurementRun(Analyser& analyser, RunHost& host, Platform& platform);

  // The START handler: opens the analyser, runs MeasSpur, and closes the
  // analyser again, also when the run was stopped. Returns how it ended,
  // which the observers are told too.
  RunEnd OnStart();

  // Speaks to analyser from the next START on; not to be called during one.
  void SetAnalyser(Analyser& analyser) { analyser_ = &analyser; }
  std::string_view AnalyserName() const { return analyser_->Name(); }

  // Tells observer what every later run does. The observer must outlive the
  // run.
  void AddObserver(RunObserver& observer) { observers_.push_back(&observer); }

  // Asked once the plan is built, before anything is sent for it: a problem
  // it names (limits that cannot judge the plan, say) refuses the run.
  void SetPlanCheck(std::function<std::string(const FreqSegments&)> check) {
    plan_check_ = std::move(check);
  }

  // The segment plan of the latest run.
  const FreqSegments& SegmentList() const { return SegmentList_; }

 private:
  RunEnd MeasSpur();
  // Sweeps one segment and reads its marker. A failure is returned; an
  // interrupted wait sets interrupted.
  Status MeasureSegment(std::size_t index, bool& interrupted);
  template <typename Event>
  void Tell(Event&& event) {
    for (RunObserver* observer : observers_) event(*observer);
  }

  Analyser* analyser_;
  RunHost& host_;
  Platform& platform_;
  // The plan the run under way walks, kept whatever the host chooses next.
  TestPlan plan_;
  FreqSegments SegmentList_;
  // Whether the block's header stands, so that a stop is noted in it.
  bool header_written_ = false;
  // Whether set-up commands were sent, for what a failed closing step means.
  bool setup_sent_ = false;
  std::size_t doubtful_ = 0;
  std::vector<RunObserver*> observers_;
  std::function<std::string(const FreqSegments&)> plan_check_;
};

}  // namespace tarnwick

#endif  // TARNWICK_MEASURE_MEASUREMENT_RUN_H_
