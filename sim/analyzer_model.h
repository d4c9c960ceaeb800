// The analyser behind the simulated bus: what each command does to its state,
// and the reply each query leaves for the next read. No bus, no bytes.
#ifndef TARNWICK_SIM_ANALYZER_MODEL_H_
#define TARNWICK_SIM_ANALYZER_MODEL_H_

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "bus/platform.h"
#include "sim/scene.h"

namespace tarnwick::sim {

// text without the blanks, CR and LF around it.
std::string_view Trim(std::string_view text);

// The number of a text that holds a decimal number and nothing else (sign,
// digits, optional point and digits, optional exponent); nothing for any
// other text or a number too large. Stricter than the run's reply parse on
// purpose: an analyser rejects a command whose number it cannot read.
std::optional<double> StrictNumber(std::string_view text);

class AnalyzerModel {
 public:
  // Only platform's clock, sleep and stop check are used, to time sweeps.
  AnalyzerModel(Scene scene, Platform& platform);

  // Carries out one command as received in one write. A query returns its
  // reply, reply end included; anything else returns nothing. A command the
  // analyser does not know sets the command-error bit and changes nothing else.
  std::optional<std::string> Execute(std::string_view command);

  // The status byte as "*STB?" would answer it now.
  int StatusByte();
  int EventStatus() const { return event_status_; }

  double MarkerHz() const { return marker_hz_; }
  // The marker level as "ML?" reports it: reference offset included.
  double MarkerLevelDbm() const { return marker_level_ + ref_offset_db_; }

  const Scene& scene() const { return scene_; }

  // What either command language does to the analyser.
  double StartHz() const { return start_hz_; }
  double StopHz() const { return stop_hz_; }
  void SetStartHz(double hz) { start_hz_ = hz; }
  void SetStopHz(double hz) { stop_hz_ = hz; }
  void SetRefOffsetDb(double db) { ref_offset_db_ = db; }
  // Moves the marker to the loudest line between the span edges.
  void PeakSearch();
  // A plain sweep: holds the bus for the scene's sweep time, as an analyser
  // takes no command until its sweep is done, or until the platform's stop
  // check asks the program to end.
  void TakeSweep();
  // Starts a sweep that ends after seconds on the platform clock.
  void StartSweep(double seconds);
  // Whether no sweep is under way.
  bool SweepEnded();
  // The standard event status register: bits set, read and cleared.
  void RaiseEvents(int bits) { event_status_ |= bits; }
  int TakeEventStatus() { return std::exchange(event_status_, 0); }

 private:
  void StartAveragedSweep();
  int OperationCondition();
  std::string Reply(std::string body) const;

  Scene scene_;
  Platform& platform_;

  double start_hz_;
  double stop_hz_;
  double ref_offset_db_ = 0;
  double marker_hz_;
  double marker_level_;  // as the trace has it, before the reference offset

  // When the averaged sweep under way ends, on the platform clock.
  std::optional<double> sweep_end_;

  int event_status_ = 0;             // standard event status register
  int event_status_enable_ = 0;      // nothing the run sends changes it
  int operation_enable_ = 0;         // "OPR"
  int service_request_enable_ = 0;   // "*SRE"
};

}  // namespace tarnwick::sim

#endif  // TARNWICK_SIM_ANALYZER_MODEL_H_
