// What the run says to the analyser, in the run's own terms: open it, set it
// up, sweep a segment, put the marker on the peak, read the marker, close.
// A dialect turns these into the analyser's commands and its replies into
// values; it never formats results or decides what a reading is worth. Every
// call returns its values or a failure value.
#ifndef TARNWICK_ANALYSER_ANALYSER_H_
#define TARNWICK_ANALYSER_ANALYSER_H_

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "bus/bus_error.h"

namespace tarnwick {

// How the wait for the end of a segment's sweep ended.
enum class SweepWait {
  kNotAveraged,  // nothing was waited for
  kDone,
  kTimeout,      // the analyser did not report the end in time
  kError,        // the analyser reported a device or execution error
};

struct SweepResult {
  SweepWait wait = SweepWait::kNotAveraged;
  // The stop check ended the wait: the sweep was abandoned unread.
  bool interrupted = false;
};

// The resolution bandwidth every dialect sweeps with: a peak lies within
// this of the segment swept.
inline constexpr double kResolutionBandwidthHz = 1'000'000;

// SCPI analysers report a marker with no valid value as 9.91E37 (not a
// number) or +-9.9E37 (infinity): nothing of that magnitude or beyond, and
// nothing that is not finite, is a reading.
inline constexpr double kNoValueMagnitude = 9.9e37;
inline bool IsReadingValue(double value) { return std::fabs(value) < kNoValueMagnitude; }

// The marker as the analyser reports it.
struct Marker {
  double hz = 0;
  double dbm = 0;
  // Errors the analyser queued while the segment was measured, in its own
  // words and oldest first; none when it keeps no error queue.
  std::vector<std::string> errors;
};

class Analyser {
 public:
  virtual ~Analyser() = default;

  // The dialect's name, as the journal records it: "builtin", "scpi".
  virtual std::string_view Name() const = 0;

  // Opens the analyser where the bus says it is.
  virtual Status Open() = 0;
  // Sets the analyser up for a search with this reference level and offset.
  virtual Status SetUp(double refLevelDbm, double refOffsetDb) = 0;
  // Sweeps startHz to stopHz once, plain or averaged. An averaged sweep whose
  // wait did not end well is still swept; the result says how the wait ended.
  virtual Result<SweepResult> Sweep(double startHz, double stopHz, bool averaged) = 0;
  // Puts the marker on the highest point of the sweep.
  virtual Status FindPeak() = 0;
  virtual Result<Marker> ReadMarker() = 0;
  // Sets the analyser back once set-up has begun, then takes it and its
  // board offline. Every step is tried; the first failure is returned.
  virtual Status Close() = 0;
};

}  // namespace tarnwick

#endif  // TARNWICK_ANALYSER_ANALYSER_H_
