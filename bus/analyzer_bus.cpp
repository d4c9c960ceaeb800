#include "bus/analyzer_bus.h"

#include <algorithm>

#include <fmt/format.h>

#include "bus/analyzer_commands.h"
#include "bus/leading_number.h"

namespace tarnwick {

AnalyzerBus::AnalyzerBus(GpibDriver& driver, Platform& platform)
    : driver_(driver), platform_(platform) {}

void AnalyzerBus::RegisterGpibGlobals() {
  NiGlobals& g = globals_;
  const int rc = driver_.RegisterGpibGlobalsForThread(&g.LongStatus, &g.LongError,
                                                      &g.LongCount, &g.ibcntl);
  switch (rc) {
    case 0:
      globals_registered_ = 1;
      return;
    case 1:
      // Someone registered before us on this thread: take the slot over.
      driver_.UnregisterGpibGlobalsForThread();
      driver_.RegisterGpibGlobalsForThread(&g.LongStatus, &g.LongError, &g.LongCount,
                                           &g.ibcntl);
      globals_registered_ = 1;
      return;
    case 2:
      platform_.CriticalMessage(kMsgNotMultiThreaded);
      driver_.UnregisterGpibGlobalsForThread();
      EndProgramVia(platform_);
    case 3:
      platform_.CriticalMessage(kMsgUnableToRegister);
      driver_.UnregisterGpibGlobalsForThread();
      EndProgramVia(platform_);
    default:
      platform_.CriticalMessage(kMsgUnknownRegistrationError);
      EndProgramVia(platform_);
  }
}

void AnalyzerBus::EnsureRegistered() {
  if (globals_registered_ == 0) RegisterGpibGlobals();
}

void AnalyzerBus::CopyStatusWords() {
  globals_.ibsta = LowWordToInt(globals_.LongStatus);
  if (globals_.LongError < -32768 || globals_.LongError > 32767) {
    throw OverflowError(
        fmt::format("the driver's error word {} does not fit a 16-bit number", globals_.LongError));
  }
  globals_.iberr = static_cast<int16_t>(globals_.LongError);
  globals_.ibcnt = LowWordToInt(globals_.ibcntl);
}

void AnalyzerBus::Fault(std::string_view what, std::string_view detail) {
  const std::string where = address_.resource.empty() ? fmt::format("GPIB{}::{}", board_, pad_)
                                                      : address_.resource;
  throw BusFault(fmt::format("Run stopped: {} the analyser at {} {}.", what, where, detail));
}

std::string AnalyzerBus::ErrorText() const {
  std::string text = DescribeGpibError(globals_.LongError);
  if (const std::string own = driver_.LastErrorText(); !own.empty()) text += ": " + own;
  return text;
}

void AnalyzerBus::CheckCall(std::string_view operation, std::string_view text) {
  if (!fault_checks_ || (globals_.LongStatus & kStatusErr) == 0) return;
  const std::string error = "failed with " + ErrorText();
  if (text.empty()) Fault(fmt::format("{} to", operation), error);
  Fault(fmt::format("{} \"{}\" to", operation, text), error);
}

int16_t AnalyzerBus::OpenDevice(int16_t board, int16_t pad, int16_t sad, int16_t tmo,
                                int16_t eot, int16_t eos) {
  EnsureRegistered();
  board_ = board;
  pad_ = pad;
  const int16_t descriptor = LowWordToInt(driver_.ibdev(board, pad, sad, tmo, eot, eos));
  CopyStatusWords();
  if (fault_checks_ && (descriptor < 0 || (globals_.LongStatus & kStatusErr) != 0)) {
    Fault("ibdev could not open",
          fmt::format("(descriptor {}, {})", descriptor, ErrorText()));
  }
  return descriptor;
}

void AnalyzerBus::SetOnline(int16_t ud, int16_t v) {
  EnsureRegistered();
  driver_.ibonl(ud, v);
  CopyStatusWords();
  CheckCall(fmt::format("ibonl({}, {})", ud, v), "");
}

void AnalyzerBus::WriteText(int16_t ud, std::string_view text) {
  EnsureRegistered();
  driver_.ibwrt(ud, text.data(), static_cast<long>(text.size()));
  CopyStatusWords();
  CheckCall("ibwrt", text);
}

int32_t AnalyzerBus::ReadText(int16_t ud, std::string& buffer) {
  EnsureRegistered();
  driver_.ibrd(ud, buffer.data(), static_cast<long>(buffer.size()));
  CopyStatusWords();
  if (fault_checks_ && (globals_.LongStatus & kStatusErr) != 0) {
    const std::string error = "failed with " + ErrorText();
    if (pending_command_.empty()) Fault("ibrd from", error);
    Fault(fmt::format("ibrd of the reply to \"{}\" from", pending_command_), error);
  }
  return std::clamp<int32_t>(globals_.ibcntl, 0, static_cast<int32_t>(buffer.size()));
}

double AnalyzerBus::QueryValue(std::string_view command, std::string& buffer) {
  WriteText(Analyzer, command);
  pending_command_ = command;
  const int32_t received = ReadText(Analyzer, buffer);
  pending_command_.clear();
  if (received == 0 && fault_checks_) {
    Fault(fmt::format("the reply to \"{}\" from", command), "was empty");
  }
  const std::string_view reply(buffer.data(), static_cast<std::size_t>(received));
  try {
    return LeadingNumber(reply);
  } catch (const OverflowError&) {
    throw OverflowError(fmt::format("the reply to \"{}\", {}, is too large for a number", command,
                                    std::string(reply.substr(0, reply.find_first_of("\r\n")))));
  }
}

int16_t AnalyzerBus::WaitAveraging() {
  WriteText(Analyzer, cmd::kClearStatus);
  WriteText(Analyzer, cmd::kOperationEnable);
  return WaitOperation(10);
}

int16_t AnalyzerBus::WaitOperation(int32_t timeoutSeconds) {
  constexpr int kWatchedBits = cmd::kStbOperationSummary | cmd::kStbEventSummary;
  constexpr int kFailureBits = cmd::kEsrDeviceError | cmd::kEsrExecutionError;
  std::string buffer(10, '\0');
  WriteText(Analyzer, cmd::kServiceRequestEnable);
  const double start = platform_.NowSeconds();
  int16_t stb = 0;
  for (;;) {
    platform_.SleepMs(10);
    platform_.PumpEvents();
    stb = RoundToInt16(QueryValue(cmd::kStatusByteQuery, buffer), "the status byte");
    // Time is judged before the bits: a status byte that arrives with the
    // timeout still counts as a timeout.
    if (platform_.NowSeconds() - start > timeoutSeconds) return kWaitTimeout;
    if ((stb & kWatchedBits) != 0) break;
  }
  if ((stb & cmd::kStbEventSummary) == 0) return kWaitDone;
  const int16_t esr = RoundToInt16(QueryValue(cmd::kEventStatusQuery, buffer), "the event status");
  return (esr & kFailureBits) != 0 ? kWaitError : kWaitDone;
}

}  // namespace tarnwick
