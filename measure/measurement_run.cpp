#include "measure/measurement_run.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include <fmt/format.h>

#include "bus/analyzer_commands.h"
#include "bus/leading_number.h"
#include "bus/quote.h"
#include "measure/number_text.h"

namespace tarnwick {
namespace {

constexpr std::string_view kMHz = "MHz";
constexpr std::string_view kRangeJoin = "MHz---";
constexpr std::string_view kDbm = "dBm";
constexpr std::string_view kDb = "dB";

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

// The number of an operator field: one number, optionally followed by the
// unit shown beside the field. Anything else ("l940", "2O", "1,940",
// "1.9GHz") is refused rather than read as whatever its front happens to be.
double FieldNumber(std::string_view text, std::string_view field, std::string_view unit) {
  NumberScan scan;
  try {
    scan = ScanLeadingNumber(text);
  } catch (const OverflowError&) {
    throw OverflowError(
        fmt::format("the {} {} is too large for a number", field, QuotedForMessage(Trimmed(text))));
  }
  const std::string_view rest = Trimmed(text.substr(scan.end), " \t\n");
  if (!scan.hasDigits || !(rest.empty() || SameLetters(rest, unit))) {
    throw InputRefused(fmt::format("The {} {} is not a number in {}.", field,
                                   QuotedForMessage(Trimmed(text)), unit));
  }
  return scan.value;
}

std::string RangeText(const FreqSegment& segment) {
  std::string range = GeneralNumberText(segment.StartHz / kHzPerMHz);
  range += kRangeJoin;
  range += GeneralNumberText(segment.StopHz / kHzPerMHz);
  range += kMHz;
  return range;
}

std::string NumberCommand(std::string_view prefix, double value, std::string_view suffix) {
  std::string text(prefix);
  text += GeneralNumberText(value);
  text += suffix;
  return text;
}

}  // namespace

MeasurementRun::MeasurementRun(AnalyzerBus& bus, RunHost& host, Platform& platform)
    : bus_(bus), host_(host), platform_(platform) {}

std::string MeasurementRun::ResultLine(const FreqSegment& segment, double peakHz,
                                       double peakLevel) {
  const std::string range = RangeText(segment);
  std::string frequency = FixedText(peakHz / kHzPerMHz, 3);
  frequency += kMHz;
  std::string level = FixedText(peakLevel, 2);
  level += kDbm;
  return LeftField(range, kRangeWidth) + RightField(frequency, kPeakFrequencyWidth) +
         RightField(level, kPeakLevelWidth);
}

void MeasurementRun::Note(std::string_view text) {
  const std::string line = fmt::format("{}{}{}", kNotePrefix, text, kLineBreak);
  host_.InsertResult(line);
  end_notes_ += line;
}

RunOutcome MeasurementRun::OnStart() {
  RunOutcome outcome = RunOutcome::kStopped;
  std::string message;
  setup_started_ = false;
  header_written_ = false;
  doubtful_.clear();
  Tell([&](RunObserver& o) {
    o.RunStarted({host_.CarrierText(), host_.RefLevelText(), host_.RefOffsetText(),
                  host_.Band800MSelected(), host_.AveragingValue() != 0});
  });
  bus_.SetFaultChecks(true);
  bus_.SetStopCheck([this] { return host_.StopRequested(); });
  try {
    bus_.Analyzer = -1;  // stays negative if registration ends the program
    const AnalyzerAddress& at = bus_.address();
    bus_.Analyzer = bus_.OpenDevice(at.board, at.pad, at.sad, kTimeout10s, kEotMode, kEosMode);
    bus_.CheckOpen(bus_.Analyzer);
    outcome = MeasSpur();
  } catch (const InputRefused& refused) {
    outcome = RunOutcome::kRefused;
    message = refused.what();
  } catch (const BusFault& fault) {
    message = fmt::format("Run stopped: {}", fault.what());
  } catch (const OverflowError& overflow) {
    message = fmt::format("Run stopped: {}.", overflow.what());
  }
  end_notes_.clear();
  // A stopped block must not pass for a complete one.
  if (header_written_ && outcome == RunOutcome::kStopped) Note(message);
  if (header_written_ && outcome == RunOutcome::kAbandoned) {
    Note(fmt::format("Run interrupted: {}.", host_.StopReason()));
  }

  // The closing steps run whatever happened before them, so the analyser is
  // never left averaging or addressed; a failure among them is news too.
  const std::string closingFailure = Close();
  if (!closingFailure.empty()) {
    const std::string closing = fmt::format(
        "Closing the run failed: {} The analyser may still be averaging or addressed.",
        closingFailure);
    if (header_written_) Note(closing);
    message = message.empty() ? closing : message + "\n" + closing;
    if (outcome != RunOutcome::kAbandoned) outcome = RunOutcome::kStopped;
  }

  if (outcome == RunOutcome::kDoubtful) {
    message = fmt::format("{} of {} readings are doubtful; they are marked with \"{}\" lines:",
                          doubtful_.size(), SegmentList_.size(), Trimmed(kNotePrefix));
    for (const std::string& note : doubtful_) message += "\n" + note;
  }
  Tell([&](RunObserver& o) { o.RunFinished(outcome, message, end_notes_); });
  if (!message.empty()) platform_.CriticalMessage(message);
  return outcome;
}

std::string MeasurementRun::Close() {
  std::string failure;
  auto step = [&](auto&& action) {
    try {
      action();
    } catch (const std::exception& e) {
      if (failure.empty()) failure = e.what();
    }
  };
  if (setup_started_) step([&] { bus_.WriteText(bus_.Analyzer, cmd::kAveragingOff); });
  // A failed open leaves no device; a negative descriptor would make some
  // drivers read outside their tables.
  if (bus_.Analyzer >= 0) step([&] { bus_.SetOnline(bus_.Analyzer, 0); });
  step([&] { bus_.SetOnline(bus_.address().board, 0); });
  bus_.SetFaultChecks(false);
  bus_.SetStopCheck(nullptr);
  return failure;
}

RunOutcome MeasurementRun::MeasSpur() {
  const std::string carrierText = host_.CarrierText();
  const std::string refText = host_.RefLevelText();
  const std::string offsetText = host_.RefOffsetText();
  if (IsBlank(carrierText) || IsBlank(refText) || IsBlank(offsetText)) {
    return RunOutcome::kBlankInput;
  }

  const double carrierMHz = FieldNumber(carrierText, "carrier", kMHz);
  const double CarrierHz = carrierMHz * kHzPerMHz;
  if (!std::isfinite(CarrierHz)) {
    throw OverflowError(fmt::format("the carrier {} MHz is too large in hertz",
                                    QuotedForMessage(Trimmed(carrierText))));
  }
  const double RefLevel = FieldNumber(refText, "reference level", kDbm);
  const double RefOffset = FieldNumber(offsetText, "reference offset", kDb);
  const int16_t BandIs2G = host_.Band800MSelected() ? 0 : 1;

  BuildSegmentPlan(SegmentList_, CarrierHz, BandIs2G);
  if (!PlanLeavesOutCarrier(SegmentList_, CarrierHz)) {
    const CarrierRange range = MeasurableCarriers(BandIs2G);
    throw InputRefused(fmt::format(
        "Band {} cannot leave out a carrier at {} MHz: it measures carriers between {} and {} MHz.",
        BandName(BandIs2G), CutForMessage(GeneralNumberText(carrierMHz)),
        GeneralNumberText(range.lowHz / kHzPerMHz), GeneralNumberText(range.highHz / kHzPerMHz)));
  }

  auto write = [&](std::string_view text) { bus_.WriteText(bus_.Analyzer, text); };
  setup_started_ = true;
  write(cmd::kDisplayLine);
  write(cmd::kBandwidths);
  write(cmd::kPositiveDetector);
  write(NumberCommand(cmd::kRefOffsetPrefix, RefOffset, cmd::kDbSuffix));
  write(NumberCommand(cmd::kRefLevelPrefix, RefLevel, cmd::kDbSuffix));
  write(cmd::kSingleSweepMode);
  write(cmd::kAverageSetup);

  host_.InsertResult(std::string(kResultsHeader) + std::string(kLineBreak));
  header_written_ = true;
  Tell([&](RunObserver& o) { o.RunPlanned({carrierMHz, RefLevel, RefOffset, SegmentList_.size()}); });

  std::string markerBuffer(kMarkerBufferWidth, '\0');
  const std::size_t count = SegmentList_.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (host_.StopRequested() || !MeasureSegment(i, markerBuffer)) return RunOutcome::kAbandoned;
  }
  return doubtful_.empty() ? RunOutcome::kCompleted : RunOutcome::kDoubtful;
}

bool MeasurementRun::MeasureSegment(std::size_t index, std::string& markerBuffer) {
  const FreqSegment segment = SegmentList_[index];
  auto write = [&](std::string_view text) { bus_.WriteText(bus_.Analyzer, text); };
  host_.SegmentStarting(index, SegmentList_.size(), segment);
  write(NumberCommand(cmd::kStopPrefix, segment.StopHz, cmd::kHzSuffix));
  write(NumberCommand(cmd::kStartPrefix, segment.StartHz, cmd::kHzSuffix));
  std::string doubt;
  SweepWait wait = SweepWait::kNotAveraged;
  if (host_.AveragingValue() == 0) {
    write(cmd::kTakeSweep);
  } else {
    write(cmd::kAverageSingle);
    write(cmd::kAverageCount);
    write(cmd::kAverageRestart);
    write(cmd::kContinuousSweep);
    // The segment is read even when the wait did not end well: the analyser
    // may simply not report its status. The reading is marked instead.
    wait = SweepWait::kDone;
    switch (bus_.WaitAveraging()) {
      case kWaitInterrupted:
        return false;
      case kWaitTimeout:
        wait = SweepWait::kTimeout;
        doubt = fmt::format("averaging did not finish within {} s: this reading is from an "
                            "unfinished sweep",
                            kAveragingTimeoutSeconds);
        break;
      case kWaitError:
        wait = SweepWait::kError;
        doubt = "the analyser reported an error during the averaged sweep: this reading is doubtful";
        break;
      default:
        break;
    }
  }
  write(cmd::kPeakSearch);
  const double PeakHz = bus_.QueryValue(cmd::kMarkerFrequency, markerBuffer);
  const double PeakLevel = bus_.QueryValue(cmd::kMarkerLevel, markerBuffer);
  const std::string line = ResultLine(segment, PeakHz, PeakLevel);
  host_.InsertResult(line + std::string(kLineBreak));
  if (!doubt.empty()) {
    Note(doubt);
    doubtful_.push_back(fmt::format("{}: {}", RangeText(segment), doubt));
  }
  Tell([&](RunObserver& o) {
    o.SegmentMeasured({index, segment.StartHz, segment.StopHz, PeakHz, PeakLevel, wait, line, doubt});
  });
  return true;
}

}  // namespace tarnwick
