#include "measure/measurement_run.h"

#include <cmath>

#include <fmt/format.h>

#include "bus/analyzer_commands.h"
#include "bus/leading_number.h"
#include "measure/number_text.h"

namespace tarnwick {
namespace {

constexpr std::string_view kMHz = "MHz";
constexpr std::string_view kRangeJoin = "MHz---";
constexpr std::string_view kDbm = "dBm";

// Only spaces count as blank here; tabs and line feeds are the parse's business.
bool IsBlank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

std::string Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// The number of an operator field; a value too large for a double stops the
// run with a message that names the field.
double FieldNumber(std::string_view text, std::string_view field) {
  try {
    return LeadingNumber(text);
  } catch (const OverflowError&) {
    throw OverflowError(fmt::format("the {} \"{}\" is too large for a number", field, Trimmed(text)));
  }
}

}  // namespace

MeasurementRun::MeasurementRun(AnalyzerBus& bus, RunHost& host, Platform& platform)
    : bus_(bus), host_(host), platform_(platform) {}

std::string MeasurementRun::ResultLine(const FreqSegment& segment, double peakHz,
                                       double peakLevel) {
  std::string range = GeneralNumberText(segment.StartHz / kHzPerMHz);
  range += kRangeJoin;
  range += GeneralNumberText(segment.StopHz / kHzPerMHz);
  range += kMHz;
  std::string frequency = FixedText(peakHz / kHzPerMHz, 3);
  frequency += kMHz;
  std::string level = FixedText(peakLevel, 2);
  level += kDbm;
  return LeftField(range, kRangeWidth) + RightField(frequency, kPeakFrequencyWidth) +
         RightField(level, kPeakLevelWidth);
}

RunOutcome MeasurementRun::OnStart() {
  RunOutcome outcome = RunOutcome::kStopped;
  std::string stopMessage;
  setup_started_ = false;
  bus_.SetFaultChecks(true);
  try {
    bus_.Analyzer = -1;  // stays negative if the open itself fails
    const AnalyzerAddress& at = bus_.address();
    bus_.Analyzer = bus_.OpenDevice(at.board, at.pad, at.sad, kTimeout10s, kEotMode, kEosMode);
    outcome = MeasSpur();
  } catch (const BusFault& fault) {
    stopMessage = fault.what();
  } catch (const OverflowError& overflow) {
    stopMessage = fmt::format("Run stopped: {}.", overflow.what());
  }
  bus_.SetFaultChecks(false);

  // The closing steps run whatever happened before them, so the analyser is
  // never left averaging or addressed; their own failures are not news.
  auto closingStep = [](auto&& step) {
    try {
      step();
    } catch (const std::exception&) {
    }
  };
  if (setup_started_) closingStep([&] { bus_.WriteText(bus_.Analyzer, cmd::kAveragingOff); });
  closingStep([&] { bus_.SetOnline(bus_.Analyzer, 0); });
  closingStep([&] { bus_.SetOnline(bus_.address().board, 0); });

  if (outcome == RunOutcome::kStopped) platform_.CriticalMessage(stopMessage);
  return outcome;
}

RunOutcome MeasurementRun::MeasSpur() {
  const std::string carrierText = host_.CarrierText();
  const std::string refText = host_.RefLevelText();
  const std::string offsetText = host_.RefOffsetText();
  if (IsBlank(carrierText) || IsBlank(refText) || IsBlank(offsetText)) {
    return RunOutcome::kBlankInput;
  }

  const double CarrierHz = FieldNumber(carrierText, "carrier") * kHzPerMHz;
  if (!std::isfinite(CarrierHz)) {
    throw OverflowError(
        fmt::format("the carrier \"{}\" MHz is too large in hertz", Trimmed(carrierText)));
  }
  const double RefLevel = FieldNumber(refText, "reference level");
  const double RefOffset = FieldNumber(offsetText, "reference offset");
  const int16_t BandIs2G = host_.Band800MSelected() ? 0 : 1;

  BuildSegmentPlan(SegmentList_, CarrierHz, BandIs2G);

  const int16_t analyzer = bus_.Analyzer;
  auto write = [&](std::string_view text) { bus_.WriteText(analyzer, text); };
  auto numberCommand = [](std::string_view prefix, double value, std::string_view suffix) {
    std::string text(prefix);
    text += GeneralNumberText(value);
    text += suffix;
    return text;
  };

  setup_started_ = true;
  write(cmd::kDisplayLine);
  write(cmd::kBandwidths);
  write(cmd::kPositiveDetector);
  write(numberCommand(cmd::kRefOffsetPrefix, RefOffset, cmd::kDbSuffix));
  write(numberCommand(cmd::kRefLevelPrefix, RefLevel, cmd::kDbSuffix));
  write(cmd::kSingleSweepMode);
  write(cmd::kAverageSetup);

  host_.InsertResult(std::string(kResultsHeader) + std::string(kLineBreak));

  std::string markerBuffer(kMarkerBufferWidth, '\0');
  const std::size_t count = SegmentList_.size();
  for (std::size_t i = 0; i < count; ++i) {
    const FreqSegment segment = SegmentList_[i];
    host_.SegmentStarting(i, count, segment);
    write(numberCommand(cmd::kStopPrefix, segment.StopHz, cmd::kHzSuffix));
    write(numberCommand(cmd::kStartPrefix, segment.StartHz, cmd::kHzSuffix));
    if (host_.AveragingValue() == 0) {
      write(cmd::kTakeSweep);
    } else {
      write(cmd::kAverageSingle);
      write(cmd::kAverageCount);
      write(cmd::kAverageRestart);
      write(cmd::kContinuousSweep);
      // Done, error or timeout: the segment is read either way.
      bus_.WaitAveraging();
      if (host_.StopRequested()) return RunOutcome::kAbandoned;
    }
    write(cmd::kPeakSearch);
    const double PeakHz = bus_.QueryValue(cmd::kMarkerFrequency, markerBuffer);
    const double PeakLevel = bus_.QueryValue(cmd::kMarkerLevel, markerBuffer);
    host_.InsertResult(ResultLine(segment, PeakHz, PeakLevel) + std::string(kLineBreak));
  }
  return RunOutcome::kCompleted;
}

}  // namespace tarnwick
