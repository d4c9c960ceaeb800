// What a run reports, as values, to whoever turns them into something: the
// results block, the record with its verdicts, the journal, progress
// displays. The run itself writes no text.
#ifndef TARNWICK_MEASURE_RUN_OBSERVER_H_
#define TARNWICK_MEASURE_RUN_OBSERVER_H_

#include <cstddef>
#include <string>
#include <vector>

#include "analyser/analyser.h"
#include "measure/segment_plan.h"

namespace tarnwick {

enum class RunOutcome {
  kCompleted,    // every segment measured, every reading sound
  kDoubtful,     // every segment measured, some readings marked doubtful
  kBlankInput,   // a field was blank: nothing sent, nothing written
  kRefused,      // a field or the carrier cannot be measured: nothing sent
  kStopped,      // a bus fault, an overflow or a failed closing step
  kAbandoned,    // the stop check asked it to stop
};

// The operator's settings as the run found them at START.
struct RunSettings {
  std::string carrierText;  // as typed, untrimmed
  std::string refText;
  std::string offsetText;
  bool band800M = false;
  bool averaging = false;  // the Averaging box at START; it may change per segment
  std::string plan;        // the name of the segment plan walked
  std::string planText;    // the plan as written, so the run can be explained later
  std::string dialect;     // the language the analyser was spoken to in
  std::vector<LimitRow> planLimits;  // the plan's own limits, if it has any
};

// The numbers the fields were read as, once the analyser has been set up:
// from here on the run's block has its header.
struct RunPlan {
  double carrierMHz = 0;
  double refLevelDbm = 0;
  double refOffsetDb = 0;
  std::size_t segmentCount = 0;
};

struct SegmentMeasurement {
  std::size_t index = 0;
  double startHz = 0;
  double stopHz = 0;
  double peakHz = 0;
  double peakDbm = 0;
  SweepWait wait = SweepWait::kNotAveraged;
  std::string note;  // why the reading is doubtful; empty when sound
};

// How a run ended.
struct RunEnd {
  RunOutcome outcome = RunOutcome::kStopped;
  // What the operator is to be told; empty when nothing. The list of doubtful
  // readings is left to those who keep the readings.
  std::string message;
  // The notes that end the block (a stop, an interruption, a failed closing
  // step), each a sentence without the block's note mark.
  std::vector<std::string> notes;
  // The driver cannot serve (no library, registration refused): the program
  // is to end once the operator has read the message.
  bool endsProgram = false;
};

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // Once per START, before anything is sent.
  virtual void RunStarted(const RunSettings& settings) = 0;
  // Once the analyser has been set up.
  virtual void RunPlanned(const RunPlan& plan) = 0;
  // Before a segment is swept, for progress displays.
  virtual void SegmentStarting(std::size_t /*index*/, std::size_t /*count*/, double /*startHz*/,
                               double /*stopHz*/) {}
  virtual void SegmentMeasured(const SegmentMeasurement& segment) = 0;
  // Once per START, after the closing steps.
  virtual void RunFinished(const RunEnd& end) = 0;
};

}  // namespace tarnwick

#endif  // TARNWICK_MEASURE_RUN_OBSERVER_H_
