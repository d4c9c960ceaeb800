// The results block, the one text a run leaves in the results box: a header,
// one fixed-width line per segment, and note lines. Made here, from values,
// for the box, tarnwick-cli's output and a journaled run shown again alike.
#ifndef TARNWICK_RESULTS_BLOCK_TEXT_H_
#define TARNWICK_RESULTS_BLOCK_TEXT_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "measure/run_observer.h"
#include "results/run_record.h"

namespace tarnwick {

// The line break of the results box.
inline constexpr std::string_view kLineBreak = "\r\n";
// The header that starts each run's block.
inline constexpr std::string_view kResultsHeader = "Spurious";
// What starts a note line: a doubtful reading, a stop, a failed closing step.
inline constexpr std::string_view kNotePrefix = "* ";

// Widths of a result line's three fields.
inline constexpr std::size_t kRangeWidth = 20;
inline constexpr std::size_t kPeakFrequencyWidth = 13;
inline constexpr std::size_t kPeakLevelWidth = 13;

// "30MHz---1100MHz": a segment's range as its line shows it.
std::string RangeText(double startHz, double stopHz);
// The fixed-width line of a measured segment, without its line break: range
// (20 characters, left-aligned), peak frequency in MHz with three decimals
// and peak level in dBm with two (13 each, right-aligned).
std::string ResultLine(const SegmentMeasurement& m);

std::string HeaderText();
// The segment's line, and its note line when the reading is doubtful.
std::string SegmentText(const SegmentMeasurement& m);
std::string NoteText(std::string_view note);
// The whole block of a recorded run, byte for byte as the box received it.
std::string BlockText(const RunRecord& run);

// What the operator is told after a run with doubtful readings: how many,
// and each one's range and reason.
std::string DoubtfulMessage(const RunRecord& run);

// Writes a run's block as it happens, each piece the moment it is known.
class BlockWriter : public RunObserver {
 public:
  explicit BlockWriter(std::function<void(std::string_view)> insert)
      : insert_(std::move(insert)) {}

  void RunStarted(const RunSettings&) override {}
  void RunPlanned(const RunPlan&) override;
  void SegmentMeasured(const SegmentMeasurement& segment) override;
  void RunFinished(const RunEnd& end) override;

 private:
  std::function<void(std::string_view)> insert_;
};

}  // namespace tarnwick

#endif  // TARNWICK_RESULTS_BLOCK_TEXT_H_
