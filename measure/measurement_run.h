// What START does: open the analyser, check and convert the operator's
// fields, build the segment plan, set the analyser up, sweep every segment,
// read its peak marker and write one fixed-width line per segment.
#ifndef TARNWICK_MEASURE_MEASUREMENT_RUN_H_
#define TARNWICK_MEASURE_MEASUREMENT_RUN_H_

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>
#include <string_view>

#include "bus/analyzer_bus.h"
#include "bus/platform.h"
#include "measure/run_observer.h"
#include "measure/segment_plan.h"

namespace tarnwick {

inline constexpr double kHzPerMHz = 1'000'000;

// The line break of the results box.
inline constexpr std::string_view kLineBreak = "\r\n";

// How a run reaches its caller: the window, the command line or a test.
class RunHost {
 public:
  virtual ~RunHost() = default;
  // The three fields as typed, untrimmed.
  virtual std::string CarrierText() = 0;     // MHz
  virtual std::string RefLevelText() = 0;    // dBm
  virtual std::string RefOffsetText() = 0;   // dB
  // Whether the "800M" band button is selected.
  virtual bool Band800MSelected() = 0;
  // The Averaging box, asked anew before every segment's sweep: 0 is off,
  // anything else on.
  virtual int AveragingValue() = 0;
  // Inserts text at the results box's caret, replacing any selection and
  // leaving the caret behind it.
  virtual void InsertResult(std::string_view text) = 0;

  // Asked on every pass of an averaging wait and between segments: true
  // ends the run there (the window was closed, the program was told to
  // stop, its output failed). The analyser is still set back and taken
  // offline.
  virtual bool StopRequested() { return false; }
  // Why, for the note that ends the block of a run stopped that way.
  virtual std::string StopReason() { return "stopped by the operator"; }
  // Told before each segment is swept, for progress displays.
  virtual void SegmentStarting(std::size_t /*index*/, std::size_t /*count*/,
                               const FreqSegment& /*segment*/) {}
};

// A field the run cannot use, or a carrier the band cannot leave out.
// what() is the operator's message.
class InputRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Notes the run adds to the results, each on a line of its own.
inline constexpr std::string_view kNotePrefix = "* ";

// How the analyser is opened; where it is comes from the bus's address.
inline constexpr int16_t kEotMode = 1;
inline constexpr int16_t kEosMode = 0;

// Widths of the reply buffer and of a result line's three fields.
inline constexpr std::size_t kMarkerBufferWidth = 50;
inline constexpr std::size_t kRangeWidth = 20;
inline constexpr std::size_t kPeakFrequencyWidth = 13;
inline constexpr std::size_t kPeakLevelWidth = 13;

// The header written at the start of each run's block.
inline constexpr std::string_view kResultsHeader = "Spurious";

class MeasurementRun {
 public:
  MeasurementRun(AnalyzerBus& bus, RunHost& host, Platform& platform);

  // The START handler: opens the analyser at the bus's address, runs MeasSpur,
  // and takes the analyser and its board offline again, also when the run was
  // stopped. Tells the operator through the platform whatever did not go
  // well: a stop, a refused field, doubtful readings, a failed closing step.
  RunOutcome OnStart();

  // Tells observer what every later run does, beside the text lines. The
  // observer must outlive the run.
  void AddObserver(RunObserver& observer) { observers_.push_back(&observer); }

  // The segment plan of the latest run.
  const FreqSegments& SegmentList() const { return SegmentList_; }

  // One result line (without its line break) for a segment and its peak.
  static std::string ResultLine(const FreqSegment& segment, double peakHz,
                                double peakLevel);

 private:
  RunOutcome MeasSpur();
  // Sweeps one segment and writes its line, and a note when the averaged
  // sweep did not end well. Returns false when the host asked to stop.
  bool MeasureSegment(std::size_t index, std::string& markerBuffer);
  void Note(std::string_view text);
  // Calls event on every observer.
  template <typename Event>
  void Tell(Event&& event) {
    for (RunObserver* observer : observers_) event(*observer);
  }
  // Runs the closing steps; the first failure, or empty.
  std::string Close();

  AnalyzerBus& bus_;
  RunHost& host_;
  Platform& platform_;
  FreqSegments SegmentList_;
  // Whether this run has sent its first set-up command, so that its closing
  // steps know to switch averaging off again.
  bool setup_started_ = false;
  bool header_written_ = false;
  // Notes of the readings from sweeps whose averaging did not finish well.
  std::vector<std::string> doubtful_;
  std::vector<RunObserver*> observers_;
  // The note lines written after the last segment, for the observers.
  std::string end_notes_;
};

}  // namespace tarnwick

#endif  // TARNWICK_MEASURE_MEASUREMENT_RUN_H_
