#include "sim/analyzer_model.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "analyser/builtin_commands.h"
#include "text/leading_number.h"
#include "text/number_text.h"

namespace tarnwick::sim {
namespace {

// The span a freshly switched-on analyser shows, before the first "FA"/"FB".
constexpr double kPowerOnStartHz = 0;
constexpr double kPowerOnStopHz = 26.5e9;

// The virtual clock of the tests advances in steps of 0.01 s that do not add
// up exactly; a sweep counts as ended within a microsecond of its end so that
// 30 such steps finish a 300 ms sweep.
constexpr double kClockSlackSeconds = 1e-6;

// A plain sweep in progress looks at the stop check this often.
constexpr int kSweepStepMs = 10;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsNumberText(std::string_view text) {
  std::size_t i = 0;
  auto digitsFrom = [&](std::size_t& at) {
    const std::size_t begin = at;
    while (at < text.size() && IsDigit(text[at])) ++at;
    return at - begin;
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t mantissaDigits = digitsFrom(i);
  if (i < text.size() && text[i] == '.') {
    ++i;
    mantissaDigits += digitsFrom(i);
  }
  if (mantissaDigits == 0) return false;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digitsFrom(i) == 0) return false;
  }
  return i == text.size();
}

// The number of a command made of prefix, number and suffix.
std::optional<double> FramedNumber(std::string_view command, std::string_view prefix,
                                   std::string_view suffix) {
  if (command.size() < prefix.size() + suffix.size()) return std::nullopt;
  if (!command.starts_with(prefix) || !command.ends_with(suffix)) return std::nullopt;
  return StrictNumber(
      command.substr(prefix.size(), command.size() - prefix.size() - suffix.size()));
}

// The mask of an enable command. The run sends one fixed text ("OPR 256"),
// but the analyser takes any whole mask up to max after the same header.
std::optional<int> EnableMask(std::string_view command, std::string_view runText, int max) {
  const auto space = runText.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  const std::string_view header = runText.substr(0, space + 1);
  const auto value = FramedNumber(command, header, "");
  if (!value || *value < 0 || *value > max || *value != std::floor(*value)) return std::nullopt;
  return static_cast<int>(*value);
}

}  // namespace

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

std::optional<double> StrictNumber(std::string_view text) {
  if (!IsNumberText(text)) return std::nullopt;
  const NumberScan scan = LeadingNumber(text);
  if (scan.overflow) return std::nullopt;
  return scan.value;
}

AnalyzerModel::AnalyzerModel(Scene scene, Platform& platform)
    : scene_(std::move(scene)),
      platform_(platform),
      start_hz_(kPowerOnStartHz),
      stop_hz_(kPowerOnStopHz),
      marker_hz_(std::floor((kPowerOnStartHz + kPowerOnStopHz) / 2)),
      marker_level_(scene_.floorDbm) {}

std::optional<std::string> AnalyzerModel::Execute(std::string_view command) {
  namespace c = cmd;
  const std::string_view text = Trim(command);

  if (text == c::kTakeSweep) {
    TakeSweep();
    return std::nullopt;
  }
  // Settings the simulated trace does not depend on: accepted, nothing more.
  for (const std::string_view accepted :
       {c::kDisplayLine, c::kBandwidths, c::kPositiveDetector, c::kSingleSweepMode,
        c::kAverageSetup, c::kAverageSingle, c::kAverageCount}) {
    if (text == accepted) return std::nullopt;
  }
  if (text == c::kAverageRestart || text == c::kContinuousSweep) {
    StartAveragedSweep();
    return std::nullopt;
  }
  if (text == c::kAveragingOff) {
    sweep_end_.reset();
    return std::nullopt;
  }
  if (text == c::kPeakSearch) {
    PeakSearch();
    return std::nullopt;
  }
  if (text == c::kMarkerFrequency) return Reply(GeneralNumberText(MarkerHz()));
  if (text == c::kMarkerLevel) return Reply(GeneralNumberText(MarkerLevelDbm()));
  if (text == c::kClearStatus) {
    event_status_ = 0;
    return std::nullopt;
  }
  if (text == c::kStatusByteQuery) return Reply(std::to_string(StatusByte()));
  if (text == c::kEventStatusQuery) {
    return Reply(std::to_string(std::exchange(event_status_, 0)));
  }

  if (const auto hz = FramedNumber(text, c::kStopPrefix, c::kHzSuffix)) {
    stop_hz_ = *hz;
    return std::nullopt;
  }
  if (const auto hz = FramedNumber(text, c::kStartPrefix, c::kHzSuffix)) {
    start_hz_ = *hz;
    return std::nullopt;
  }
  if (const auto db = FramedNumber(text, c::kRefOffsetPrefix, c::kDbSuffix)) {
    ref_offset_db_ = *db;
    return std::nullopt;
  }
  // The reference level only scales the screen; the marker reads the same.
  if (FramedNumber(text, c::kRefLevelPrefix, c::kDbSuffix)) return std::nullopt;
  if (const auto mask = EnableMask(text, c::kOperationEnable, 0xFFFF)) {
    operation_enable_ = *mask;
    return std::nullopt;
  }
  if (const auto mask = EnableMask(text, c::kServiceRequestEnable, 0xFF)) {
    service_request_enable_ = *mask & ~cmd::kStbRequestSummary;  // bit 6 cannot be enabled
    return std::nullopt;
  }

  event_status_ |= c::kEsrCommandError;
  return std::nullopt;
}

int AnalyzerModel::StatusByte() {
  int stb = 0;
  if ((OperationCondition() & operation_enable_) != 0) stb |= cmd::kStbOperationSummary;
  if ((event_status_ & event_status_enable_) != 0) stb |= cmd::kStbEventSummary;
  if ((stb & service_request_enable_) != 0) stb |= cmd::kStbRequestSummary;
  return stb;
}

void AnalyzerModel::PeakSearch() {
  const double low = std::min(start_hz_, stop_hz_);
  const double high = std::max(start_hz_, stop_hz_);
  const Tone* peak = nullptr;
  for (const Tone& tone : scene_.tones) {
    if (tone.frequencyHz < low || tone.frequencyHz > high) continue;
    if (peak == nullptr || tone.levelDbm > peak->levelDbm ||
        (tone.levelDbm == peak->levelDbm && tone.frequencyHz < peak->frequencyHz)) {
      peak = &tone;
    }
  }
  if (peak != nullptr) {
    marker_hz_ = peak->frequencyHz;
    marker_level_ = peak->levelDbm;
  } else {
    marker_hz_ = std::floor((low + high) / 2);
    marker_level_ = scene_.floorDbm;
  }
}

void AnalyzerModel::TakeSweep() {
  const double end = platform_.NowSeconds() + scene_.sweepMs / 1000.0;
  for (double now = platform_.NowSeconds(); now < end && !platform_.StopRequested();
       now = platform_.NowSeconds()) {
    platform_.SleepMs(std::clamp(static_cast<int>(std::ceil((end - now) * 1000)), 1, kSweepStepMs));
  }
}

void AnalyzerModel::StartAveragedSweep() { StartSweep(scene_.averagingMs / 1000.0); }

void AnalyzerModel::StartSweep(double seconds) { sweep_end_ = platform_.NowSeconds() + seconds; }

bool AnalyzerModel::SweepEnded() { return !sweep_end_ || OperationCondition() != 0; }

// Computed when asked, so the sweep ends on the clock without anyone
// driving the model.
int AnalyzerModel::OperationCondition() {
  if (sweep_end_ && platform_.NowSeconds() + kClockSlackSeconds >= *sweep_end_) {
    return cmd::kOperationAveragingDone;
  }
  return 0;
}

std::string AnalyzerModel::Reply(std::string body) const {
  body += scene_.replyEnd == ReplyEnd::kCrLf ? "\r\n" : "\n";
  return body;
}

}  // namespace tarnwick::sim
