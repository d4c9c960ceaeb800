#include "measure/measurement_run.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <utility>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "analyser/status_wait.h"
#include "text/leading_number.h"
#include "text/number_text.h"
#include "text/quote.h"

namespace tarnwick {
namespace {

constexpr std::string_view kMHz = "MHz";
constexpr std::string_view kDbm = "dBm";
constexpr std::string_view kDb = "dB";
constexpr std::string_view kStoppedPrefix = "Run stopped: ";

// Only spaces count as blank here; tabs and line feeds are the parse's business.
bool IsBlank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

std::string_view Trimmed(std::string_view text, std::string_view blanks = " ") {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool SameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

RunEnd Stopped(std::string message) {
  return {RunOutcome::kStopped, std::string(kStoppedPrefix) + message, {}, false};
}

// The number of an operator field: one number, optionally followed by the
// unit shown beside the field. Anything else ("l940", "2O", "1,940",
// "1.9GHz") is refused rather than read as whatever its front happens to be.
// On failure, end says how the run ends.
std::optional<double> FieldNumber(std::string_view text, std::string_view field,
                                  std::string_view unit, RunEnd& end) {
  const NumberScan scan = LeadingNumber(text);
  if (scan.overflow) {
    end = Stopped(fmt::format("the {} {} is too large for a number.", field,
                              QuotedForMessage(Trimmed(text))));
    return std::nullopt;
  }
  const std::string_view rest = Trimmed(text.substr(scan.end), " \t\n");
  if (!scan.hasDigits || !(rest.empty() || SameLetters(rest, unit))) {
    end = {RunOutcome::kRefused,
           fmt::format("The {} {} is not a number in {}.", field, QuotedForMessage(Trimmed(text)),
                       unit),
           {}, false};
    return std::nullopt;
  }
  return scan.value;
}

// Why a reading is doubtful: the marker holds no valid value or lies
// outside the segment swept, its sweep's wait did not end well, or the
// analyser queued errors while it was measured (the first is quoted; it is
// the likeliest cause). Empty when it is sound.
std::string Doubt(const FreqSegment& segment, const Marker& marker, SweepWait wait, bool averaged) {
  const std::string_view sweep = averaged ? "the averaged sweep" : "the sweep";
  std::vector<std::string> doubts;
  for (const auto& [value, what] :
       {std::pair{marker.hz, "frequency"}, std::pair{marker.dbm, "level"}}) {
    if (!IsReadingValue(value)) {
      doubts.push_back(fmt::format("the analyser reported no valid value for the marker {}, {}: "
                                   "this reading is doubtful",
                                   what, QuotedForMessage(fmt::format("{}", value))));
    }
  }
  // A stale marker, or a span the analyser clamped, puts the peak elsewhere.
  const double low = std::min(segment.StartHz, segment.StopHz) - kResolutionBandwidthHz;
  const double high = std::max(segment.StartHz, segment.StopHz) + kResolutionBandwidthHz;
  if (IsReadingValue(marker.hz) && (marker.hz < low || marker.hz > high)) {
    doubts.push_back(fmt::format("the analyser reported the peak at {} MHz, outside the segment "
                                 "{} to {} MHz that was swept: this reading is doubtful",
                                 GeneralNumberText(marker.hz / kHzPerMHz),
                                 GeneralNumberText(segment.StartHz / kHzPerMHz),
                                 GeneralNumberText(segment.StopHz / kHzPerMHz)));
  }
  const std::vector<std::string>& errors = marker.errors;
  if (wait == SweepWait::kTimeout) {
    doubts.push_back(fmt::format("{} did not finish within {} s: this reading is from an "
                                 "unfinished sweep",
                                 averaged ? "averaging" : "the sweep", kAveragingTimeoutSeconds));
  }
  if (!errors.empty()) {
    const std::size_t others = errors.size() - 1;
    const std::string more =
        others == 0 ? "" : fmt::format(" and {} more error{}", others, others > 1 ? "s" : "");
    doubts.push_back(fmt::format("the analyser reported {}{} during this segment: this reading "
                                 "is doubtful", QuotedForMessage(errors.front()), more));
  } else if (wait == SweepWait::kError) {
    doubts.push_back(fmt::format("the analyser reported an error during {}: this reading is "
                                 "doubtful", sweep));
  }
  return fmt::format("{}", fmt::join(doubts, "; "));
}

}  // namespace

std::string InterruptedNote(std::string_view reason) {
  return fmt::format("Run interrupted: {}.", reason);
}

std::string RunHost::StopNote() { return InterruptedNote(StopReason()); }

MeasurementRun::MeasurementRun(Analyser& analyser, RunHost& host, Platform& platform)
    : analyser_(&analyser), host_(host), platform_(platform) {}

RunEnd MeasurementRun::OnStart() {
  header_written_ = false;
  setup_sent_ = false;
  doubtful_ = 0;
  const bool band800M = host_.Band800MSelected();
  const TestPlan* chosen = host_.ChosenPlan();
  plan_ = chosen != nullptr ? *chosen : BuiltinPlan(band800M ? 0 : 1);
  const RunSettings settings{host_.CarrierText(),  host_.RefLevelText(),
                             host_.RefOffsetText(), band800M,
                             host_.AveragingValue() != 0, plan_.name,
                             plan_.text,           std::string(analyser_->Name()),
                             plan_.limits};
  Tell([&](RunObserver& o) { o.RunStarted(settings); });
  RunEnd end;
  const Status opened = analyser_->Open();
  if (!opened.ok()) {
    const BusError& e = opened.error();
    end = e.endsProgram ? RunEnd{RunOutcome::kStopped, e.message, {}, true} : Stopped(e.message);
  } else {
    end = MeasSpur();
  }
  // A wait that the stop check cut short fails its call: that is the stop
  // asked for, not a fault of the bench.
  if (end.outcome == RunOutcome::kStopped && !end.endsProgram && platform_.StopRequested()) {
    end = {RunOutcome::kAbandoned, {}, {}, false};
  }
  // A stopped block must not pass for a complete one.
  if (header_written_ && end.outcome == RunOutcome::kStopped) end.notes.push_back(end.message);
  if (header_written_ && end.outcome == RunOutcome::kAbandoned) {
    end.notes.push_back(host_.StopNote());
  }

  // The closing steps run whatever happened before them, so the analyser is
  // never left averaging or addressed; a failure among them is news too. A
  // driver that cannot serve has opened nothing to close.
  if (!end.endsProgram) {
    if (Status closed = analyser_->Close(); !closed.ok()) {
      // Say only what may be left: after a failed open nothing was sent.
      std::string closing = "Closing the run failed: " + closed.error().message;
      if (setup_sent_) {
        closing += " The analyser may still be averaging or addressed.";
      } else if (opened.ok()) {
        closing += " The analyser may still be addressed.";
      } else {
        closing += " Nothing had been sent to the analyser.";
      }
      if (header_written_) end.notes.push_back(closing);
      end.message = end.message.empty() ? closing : end.message + "\n" + closing;
      if (end.outcome != RunOutcome::kAbandoned) end.outcome = RunOutcome::kStopped;
    }
  }
  Tell([&](RunObserver& o) { o.RunFinished(end); });
  return end;
}

RunEnd MeasurementRun::MeasSpur() {
  const std::string carrierText = host_.CarrierText();
  const std::string refText = host_.RefLevelText();
  const std::string offsetText = host_.RefOffsetText();
  if (IsBlank(carrierText) || IsBlank(refText) || IsBlank(offsetText)) {
    return {RunOutcome::kBlankInput, {}, {}, false};
  }

  RunEnd refused;
  const std::optional<double> carrierMHz = FieldNumber(carrierText, "carrier", kMHz, refused);
  if (!carrierMHz) return refused;
  const double CarrierHz = *carrierMHz * kHzPerMHz;
  if (!std::isfinite(CarrierHz)) {
    return Stopped(fmt::format("the carrier {} MHz is too large in hertz.",
                               QuotedForMessage(Trimmed(carrierText))));
  }
  const std::optional<double> RefLevel = FieldNumber(refText, "reference level", kDbm, refused);
  if (!RefLevel) return refused;
  const std::optional<double> RefOffset = FieldNumber(offsetText, "reference offset", kDb, refused);
  if (!RefOffset) return refused;
  BuildSegmentPlan(SegmentList_, CarrierHz, plan_);
  if (!PlanLeavesOutCarrier(SegmentList_, CarrierHz, plan_.notchHz)) {
    return {RunOutcome::kRefused, CarrierRefusal(plan_, *carrierMHz), {}, false};
  }
  if (std::string problem = plan_check_ ? plan_check_(SegmentList_) : ""; !problem.empty()) {
    return {RunOutcome::kRefused, std::move(problem), {}, false};
  }

  setup_sent_ = true;
  if (Status s = analyser_->SetUp(*RefLevel, *RefOffset); !s.ok()) return Stopped(s.error().message);
  header_written_ = true;
  Tell([&](RunObserver& o) {
    o.RunPlanned({*carrierMHz, *RefLevel, *RefOffset, SegmentList_.size()});
  });

  const std::size_t count = SegmentList_.size();
  for (std::size_t i = 0; i < count; ++i) {
    bool interrupted = platform_.StopRequested();
    if (!interrupted) {
      if (Status s = MeasureSegment(i, interrupted); !s.ok()) return Stopped(s.error().message);
    }
    if (interrupted) return {RunOutcome::kAbandoned, {}, {}, false};
  }
  return {doubtful_ == 0 ? RunOutcome::kCompleted : RunOutcome::kDoubtful, {}, {}, false};
}

Status MeasurementRun::MeasureSegment(std::size_t index, bool& interrupted) {
  const FreqSegment segment = SegmentList_[index];
  Tell([&](RunObserver& o) {
    o.SegmentStarting(index, SegmentList_.size(), segment.StartHz, segment.StopHz);
  });
  // The segment is read even when an averaged sweep's wait did not end well:
  // the analyser may simply not report its status. The reading is marked.
  const bool averaged = host_.AveragingValue() != 0;
  const Result<SweepResult> swept = analyser_->Sweep(segment.StartHz, segment.StopHz, averaged);
  if (!swept.ok()) return swept.error();
  if (swept.value().interrupted) {
    interrupted = true;
    return {};
  }
  if (Status s = analyser_->FindPeak(); !s.ok()) return s;
  const Result<Marker> marker = analyser_->ReadMarker();
  if (!marker.ok()) return marker.error();
  const SegmentMeasurement measured{index,           segment.StartHz,       segment.StopHz,
                                    marker.value().hz, marker.value().dbm, swept.value().wait,
                                    Doubt(segment, marker.value(), swept.value().wait, averaged)};
  if (!measured.note.empty()) ++doubtful_;
  Tell([&](RunObserver& o) { o.SegmentMeasured(measured); });
  return {};
}

}  // namespace tarnwick
