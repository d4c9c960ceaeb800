// What a run tells those who keep its results (the journal, the exports, the
// window's title), as values rather than text: the fixed-width result lines
// cut what these carry in full.
#ifndef TARNWICK_MEASURE_RUN_OBSERVER_H_
#define TARNWICK_MEASURE_RUN_OBSERVER_H_

#include <cstddef>
#include <string>

namespace tarnwick {

enum class RunOutcome {
  kCompleted,    // every segment measured, every reading sound
  kDoubtful,     // every segment measured, some readings marked doubtful
  kBlankInput,   // a field was blank: nothing sent, nothing written
  kRefused,      // a field or the carrier cannot be measured: nothing sent
  kStopped,      // a bus fault, an overflow or a failed closing step
  kAbandoned,    // the host asked it to stop
};

// The operator's settings as the run found them at START.
struct RunSettings {
  std::string carrierText;  // as typed, untrimmed
  std::string refText;
  std::string offsetText;
  bool band800M = false;
  bool averaging = false;  // the Averaging box at START; it may change per segment
};

// The numbers the fields were read as, once the analyser has been set up and
// the block's header written.
struct RunPlan {
  double carrierMHz = 0;
  double refLevelDbm = 0;
  double refOffsetDb = 0;
  std::size_t segmentCount = 0;
};

// How the averaging wait of a segment ended.
enum class SweepWait {
  kNotAveraged,
  kDone,
  kTimeout,
  kError,
};

struct SegmentMeasurement {
  std::size_t index = 0;
  double startHz = 0;
  double stopHz = 0;
  double peakHz = 0;
  double peakDbm = 0;
  SweepWait wait = SweepWait::kNotAveraged;
  std::string line;  // the result line, without its line break
  std::string note;  // why the reading is doubtful, without "* "; empty when sound
};

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // Once per START, before anything is sent.
  virtual void RunStarted(const RunSettings& settings) = 0;
  // After the header line has been written.
  virtual void RunPlanned(const RunPlan& plan) = 0;
  // After a segment's line (and its note) has been written.
  virtual void SegmentMeasured(const SegmentMeasurement& segment) = 0;
  // Once per START, after the closing steps. message is what the operator
  // was told (empty when nothing); endNotes are the note lines that ended
  // the block, line breaks included.
  virtual void RunFinished(RunOutcome outcome, const std::string& message,
                           const std::string& endNotes) = 0;
};

}  // namespace tarnwick

#endif  // TARNWICK_MEASURE_RUN_OBSERVER_H_
