#include "results/block_text.h"

#include <fmt/format.h>

#include "measure/segment_plan.h"
#include "text/number_text.h"

namespace tarnwick {
namespace {

constexpr std::string_view kMHz = "MHz";
constexpr std::string_view kRangeJoin = "MHz---";
constexpr std::string_view kDbm = "dBm";

}  // namespace

std::string RangeText(double startHz, double stopHz) {
  std::string range = GeneralNumberText(startHz / kHzPerMHz);
  range += kRangeJoin;
  range += GeneralNumberText(stopHz / kHzPerMHz);
  range += kMHz;
  return range;
}

std::string ResultLine(const SegmentMeasurement& m) {
  std::string frequency = FixedText(m.peakHz / kHzPerMHz, 3);
  frequency += kMHz;
  std::string level = FixedText(m.peakDbm, 2);
  level += kDbm;
  return LeftField(RangeText(m.startHz, m.stopHz), kRangeWidth) +
         RightField(frequency, kPeakFrequencyWidth) + RightField(level, kPeakLevelWidth);
}

std::string HeaderText() { return fmt::format("{}{}", kResultsHeader, kLineBreak); }

std::string NoteText(std::string_view note) {
  return fmt::format("{}{}{}", kNotePrefix, note, kLineBreak);
}

std::string SegmentText(const SegmentMeasurement& m) {
  std::string text = ResultLine(m);
  text += kLineBreak;
  if (!m.note.empty()) text += NoteText(m.note);
  return text;
}

std::string BlockText(const RunRecord& run) {
  std::string block;
  if (run.plan) {
    block = HeaderText();
    for (const SegmentRecord& s : run.segments) block += SegmentText(s.m);
  }
  for (const std::string& note : run.endNotes) block += NoteText(note);
  return block;
}

std::string DoubtfulMessage(const RunRecord& run) {
  std::size_t doubtful = 0;
  std::string list;
  for (const SegmentRecord& s : run.segments) {
    if (s.m.note.empty()) continue;
    ++doubtful;
    list += fmt::format("\n{}: {}", RangeText(s.m.startHz, s.m.stopHz), s.m.note);
  }
  const std::size_t planned = run.plan ? run.plan->segmentCount : run.segments.size();
  return fmt::format("{} of {} readings are doubtful; they are marked with \"{}\" lines:{}",
                     doubtful, planned, kNotePrefix.substr(0, 1), list);
}

void BlockWriter::RunPlanned(const RunPlan&) { insert_(HeaderText()); }

void BlockWriter::SegmentMeasured(const SegmentMeasurement& segment) {
  // The line first, then its note: the box shows each the moment it exists.
  insert_(ResultLine(segment) + std::string(kLineBreak));
  if (!segment.note.empty()) insert_(NoteText(segment.note));
}

void BlockWriter::RunFinished(const RunEnd& end) {
  for (const std::string& note : end.notes) insert_(NoteText(note));
}

}  // namespace tarnwick
