#include "sim/scpi_parser.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <span>

#include <fmt/format.h>

#include "analyser/builtin_commands.h"
#include "version.h"

namespace tarnwick::sim {
namespace {

constexpr std::size_t kErrorQueueLength = 10;
constexpr std::string_view kNoError = "+0,\"No error\"";

// SCPI's error numbers and the event status bit of each class.
constexpr int kParameterNotAllowed = -108;
constexpr int kMissingParameter = -109;
constexpr int kDataTypeError = -104;
constexpr int kUndefinedHeader = -113;
constexpr int kQueueOverflow = -350;
constexpr int kEsrQueryError = 0x04;

int EventBitOf(int code) {
  if (code <= -100 && code > -200) return cmd::kEsrCommandError;
  if (code <= -200 && code > -300) return cmd::kEsrExecutionError;
  if (code <= -400 && code > -500) return kEsrQueryError;
  return cmd::kEsrDeviceError;
}

enum class Param { kNone, kNumber, kBoolean, kDetector };
enum class Node {
  kClearStatus, kIdentify, kEventStatus, kStatusByte, kOperationComplete, kWait,
  kStart, kStop, kBandwidth, kVideoBandwidth, kDetector, kAverageCount, kAverageState,
  kRefLevel, kRefOffset, kContinuous, kInitiate, kPeak, kMarkerX, kMarkerY, kNextError,
};

}  // namespace

// Keywords are separated by ':', an optional one stands in brackets; the
// upper-case letters are the short form, and a trailing digit is a suffix
// that may be left out.
struct ScpiParser::Command {
  Node node;
  std::string_view pattern;
  Param param;
  bool settable;
  bool queryable;
};

namespace {

using Command = ScpiParser::Command;

constexpr std::array<Command, 21> kCommands = {{
    {Node::kClearStatus, "*CLS", Param::kNone, true, false},
    {Node::kIdentify, "*IDN", Param::kNone, false, true},
    {Node::kEventStatus, "*ESR", Param::kNone, false, true},
    {Node::kStatusByte, "*STB", Param::kNone, false, true},
    {Node::kOperationComplete, "*OPC", Param::kNone, true, false},
    {Node::kWait, "*WAI", Param::kNone, true, false},
    {Node::kStart, "[SENSe]:FREQuency:STARt", Param::kNumber, true, true},
    {Node::kStop, "[SENSe]:FREQuency:STOP", Param::kNumber, true, true},
    {Node::kBandwidth, "[SENSe]:BANDwidth:[RESolution]", Param::kNumber, true, false},
    {Node::kVideoBandwidth, "[SENSe]:BANDwidth:VIDeo", Param::kNumber, true, false},
    {Node::kDetector, "[SENSe]:DETector:[FUNCtion]", Param::kDetector, true, false},
    {Node::kAverageCount, "[SENSe]:AVERage:COUNt", Param::kNumber, true, false},
    {Node::kAverageState, "[SENSe]:AVERage:[STATe]", Param::kBoolean, true, true},
    {Node::kRefLevel, "DISPlay:[WINDow1]:TRACe1:Y:[SCALe]:RLEVel", Param::kNumber, true, false},
    {Node::kRefOffset, "DISPlay:[WINDow1]:TRACe1:Y:[SCALe]:RLEVel:OFFSet", Param::kNumber, true,
     false},
    {Node::kContinuous, "INITiate:CONTinuous", Param::kBoolean, true, false},
    {Node::kInitiate, "INITiate:[IMMediate]", Param::kNone, true, false},
    {Node::kPeak, "CALCulate:MARKer1:MAXimum:[PEAK]", Param::kNone, true, false},
    {Node::kMarkerX, "CALCulate:MARKer1:X", Param::kNone, false, true},
    {Node::kMarkerY, "CALCulate:MARKer1:Y", Param::kNone, false, true},
    {Node::kNextError, "SYSTem:ERRor:[NEXT]", Param::kNone, false, true},
}};

constexpr std::array<std::string_view, 6> kDetectors = {"POSitive", "NEGative", "SAMPle",
                                                         "NORMal",   "AVERage",  "RMS"};

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t at = 0;;) {
    const std::size_t end = text.find(separator, at);
    parts.push_back(text.substr(at, end - at));
    if (end == std::string_view::npos) return parts;
    at = end + 1;
  }
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// Whether word names keyword ("FREQuency", "[RESolution]", "MARKer1"):
// its short or long form in any case, with the keyword's suffix or none.
bool WordMatches(std::string_view word, std::string_view keyword) {
  if (keyword.starts_with('[')) keyword = keyword.substr(1, keyword.size() - 2);
  const auto split = [](std::string_view text) {
    const std::size_t digits = text.find_last_not_of("0123456789") + 1;
    return std::pair{text.substr(0, digits), text.substr(digits)};
  };
  const auto [name, suffix] = split(keyword);
  const auto [wordName, wordSuffix] = split(word);
  if (!wordSuffix.empty() && wordSuffix != (suffix.empty() ? "1" : suffix)) return false;
  const std::size_t shortLength = static_cast<std::size_t>(
      std::find_if(name.begin(), name.end(),
                   [](char c) { return std::islower(static_cast<unsigned char>(c)) != 0; }) -
      name.begin());
  const std::string upper = Upper(wordName);
  return upper == Upper(name) || upper == name.substr(0, shortLength);
}

bool Matches(std::span<const std::string_view> words, std::span<const std::string_view> keys) {
  if (keys.empty()) return words.empty();
  if (keys.front().starts_with('[') && Matches(words, keys.subspan(1))) return true;
  return !words.empty() && WordMatches(words.front(), keys.front()) &&
         Matches(words.subspan(1), keys.subspan(1));
}

// The command a header's words name ("*IDN" is one word), or none.
const Command* Find(const std::vector<std::string_view>& words) {
  for (const Command& command : kCommands) {
    const std::vector<std::string_view> keys = Split(command.pattern, ':');
    if (command.pattern.starts_with('*')
            ? words.size() == 1 && Upper(words.front()) == command.pattern
            : Matches(words, keys)) {
      return &command;
    }
  }
  return nullptr;
}

// A header's words: "*IDN", or the keywords after an optional leading ':'.
std::vector<std::string_view> HeaderWords(std::string_view header) {
  if (header.starts_with('*')) return {header};
  if (header.starts_with(':')) header.remove_prefix(1);
  return Split(header, ':');
}

// SCPI's NR3 form, as analysers reply: +1.94000000000E+09.
std::string Nr3(double value) { return fmt::format("{:+.11E}", value); }

}  // namespace

bool IsScpiHeader(std::string_view header) { return Find(HeaderWords(header)) != nullptr; }

ScpiParser::ScpiParser(AnalyzerModel& model) : model_(model) {
  for (const ScpiFault& fault : model.scene().scpiFaults) {
    if (const Command* command = Find(HeaderWords(fault.header))) {
      faults_.push_back({command, fault.code, fault.text});
    }
  }
}

std::optional<std::string> ScpiParser::Execute(std::string_view message) {
  std::string replies;
  bool first = true;
  for (const std::string_view unit : Split(message, ';')) {
    Carry(Trim(unit), first, replies);
    first = false;
  }
  if (replies.empty()) return std::nullopt;
  return replies + "\n";
}

void ScpiParser::Carry(std::string_view unit, bool first, std::string& replies) {
  if (unit.empty()) return;
  const std::size_t blank = std::min(unit.find_first_of(" \t"), unit.size());
  std::string_view header = unit.substr(0, blank);
  const std::string_view argument = Trim(unit.substr(blank));
  const bool query = header.ends_with('?');
  if (query) header.remove_suffix(1);

  // A header without its leading ':' goes on from where the one before it
  // in the same message stood; common commands leave that place alone.
  std::vector<std::string> full;
  if (!header.starts_with('*') && !first && !header.starts_with(':')) full = path_;
  for (const std::string_view word : HeaderWords(header)) full.emplace_back(word);
  if (!header.starts_with('*')) path_.assign(full.begin(), full.end() - 1);
  const Command* command = Find({full.begin(), full.end()});
  if (command == nullptr || (query ? !command->queryable : !command->settable)) {
    return Queue(kUndefinedHeader, "Undefined header");
  }
  if (query) {
    if (!replies.empty()) replies += ';';
    replies += Query(*command);
  } else {
    Set(*command, argument);
  }
  for (const Fault& fault : faults_) {
    if (fault.command == command) Queue(fault.code, fault.text);
  }
}

void ScpiParser::Set(const Command& command, std::string_view argument) {
  if (command.param == Param::kNone && !argument.empty()) {
    return Queue(kParameterNotAllowed, "Parameter not allowed");
  }
  if (command.param != Param::kNone && argument.empty()) {
    return Queue(kMissingParameter, "Missing parameter");
  }
  std::optional<double> number;
  std::optional<bool> on;
  const std::string word = Upper(argument);
  if (command.param == Param::kNumber) number = StrictNumber(argument);
  if (command.param == Param::kBoolean) {
    if (word == "ON" || word == "1") on = true;
    if (word == "OFF" || word == "0") on = false;
  }
  const bool detector =
      std::any_of(kDetectors.begin(), kDetectors.end(),
                  [&](std::string_view name) { return WordMatches(argument, name); });
  const bool wellTyped = (command.param == Param::kNumber && number) ||
                         (command.param == Param::kBoolean && on) ||
                         (command.param == Param::kDetector && detector) ||
                         command.param == Param::kNone;
  if (!wellTyped || (command.node == Node::kAverageCount &&
                     (*number < 1 || *number != std::floor(*number)))) {
    return Queue(kDataTypeError, "Data type error");
  }
  switch (command.node) {
    case Node::kClearStatus:
      model_.TakeEventStatus();
      errors_.clear();
      opc_armed_ = false;
      break;
    case Node::kOperationComplete: opc_armed_ = true; break;
    case Node::kStart: model_.SetStartHz(*number); break;
    case Node::kStop: model_.SetStopHz(*number); break;
    case Node::kRefOffset: model_.SetRefOffsetDb(*number); break;
    case Node::kAverageState: averaging_ = *on; break;
    // Averaged sweeps take the scene's averaging time, plain ones its sweep time.
    case Node::kInitiate:
      model_.StartSweep((averaging_ ? model_.scene().averagingMs : model_.scene().sweepMs) / 1000.0);
      break;
    case Node::kPeak: model_.PeakSearch(); break;
    // Settings the simulated trace does not depend on: taken, nothing more.
    default: break;
  }
}

std::string ScpiParser::Query(const Command& command) {
  switch (command.node) {
    case Node::kIdentify:
      return fmt::format("Tarnwick,Simulated spectrum analyser,0,{}", kProductVersion);
    case Node::kEventStatus:
      CheckOperation();
      return std::to_string(model_.TakeEventStatus());
    case Node::kStatusByte:
      CheckOperation();
      // Bit 2: the error queue holds something; bit 5 stays clear, as no
      // event is enabled.
      return std::to_string(errors_.empty() ? 0 : 4);
    case Node::kStart: return Nr3(model_.StartHz());
    case Node::kStop: return Nr3(model_.StopHz());
    case Node::kAverageState: return averaging_ ? "1" : "0";
    case Node::kMarkerX: return Nr3(model_.MarkerHz());
    case Node::kMarkerY: return Nr3(model_.MarkerLevelDbm());
    default: {
      if (errors_.empty()) return std::string(kNoError);
      std::string error = std::move(errors_.front());
      errors_.pop_front();
      return error;
    }
  }
}

void ScpiParser::Queue(int code, std::string_view text) {
  const std::string error = fmt::format("{},\"{}\"", code, text);
  model_.RaiseEvents(EventBitOf(code));
  if (errors_.size() < kErrorQueueLength) {
    errors_.push_back(error);
  } else {
    errors_.back() = fmt::format("{},\"Queue overflow\"", kQueueOverflow);
  }
}

void ScpiParser::CheckOperation() {
  if (opc_armed_ && model_.SweepEnded()) {
    model_.RaiseEvents(cmd::kEsrOperationComplete);
    opc_armed_ = false;
  }
}

}  // namespace tarnwick::sim
