#include "bus/analyzer_bus.h"

#include <algorithm>

#include <fmt/format.h>

#include "bus/analyzer_commands.h"
#include "bus/leading_number.h"
#include "bus/quote.h"

namespace tarnwick {

AnalyzerBus::AnalyzerBus(GpibDriver& driver, Platform& platform)
    : driver_(driver), platform_(platform) {}

void AnalyzerBus::RegisterGpibGlobals() {
  NiGlobals& g = globals_;
  int rc = driver_.RegisterGpibGlobalsForThread(&g.LongStatus, &g.LongError, &g.LongCount,
                                                &g.ibcntl);
  if (rc == 1) {
    // Someone registered before us on this thread: take the slot over. The
    // fresh registration is judged like the first, or every later call would
    // look successful on words nobody writes.
    driver_.UnregisterGpibGlobalsForThread();
    rc = driver_.RegisterGpibGlobalsForThread(&g.LongStatus, &g.LongError, &g.LongCount,
                                              &g.ibcntl);
    // "Already registered" straight after unregistering is a refusal.
    if (rc == 1) rc = 3;
  }
  if (rc != 0) RegistrationRefused(rc);
  globals_registered_ = 1;
}

void AnalyzerBus::RegistrationRefused(int rc) {
  switch (rc) {
    case 2:
      platform_.CriticalMessage(kMsgNotMultiThreaded);
      driver_.UnregisterGpibGlobalsForThread();
      break;
    case 3:
      platform_.CriticalMessage(kMsgUnableToRegister);
      driver_.UnregisterGpibGlobalsForThread();
      break;
    default:
      platform_.CriticalMessage(kMsgUnknownRegistrationError);
  }
  EndProgramVia(platform_);
}

void AnalyzerBus::EnsureRegistered() {
  if (globals_registered_ == 0) RegisterGpibGlobals();
}

void AnalyzerBus::CopyStatusWords() {
  globals_.ibsta = LowWordToInt(globals_.LongStatus);
  const bool failed = (globals_.LongStatus & kStatusErr) != 0;
  if (!failed) {
    // Drivers leave stale values in the error word of a call that worked.
    globals_.iberr = LowWordToInt(globals_.LongError);
  } else if (globals_.LongError < -32768 || globals_.LongError > 32767) {
    throw OverflowError(
        fmt::format("the driver's error word {} does not fit a 16-bit number", globals_.LongError));
  } else {
    globals_.iberr = static_cast<int16_t>(globals_.LongError);
  }
  globals_.ibcnt = LowWordToInt(globals_.ibcntl);
}

void AnalyzerBus::Fault(std::string_view what, std::string_view detail) {
  const std::string where = address_.resource.empty() ? fmt::format("GPIB{}::{}", board_, pad_)
                                                      : address_.resource;
  throw BusFault(fmt::format("{} the analyser at {} {}.", what, where, detail));
}

std::string AnalyzerBus::ErrorText() const {
  std::string text = DescribeGpibError(globals_.LongError, globals_.ibcntl);
  if (const std::string own = driver_.LastErrorText(); !own.empty()) text += ": " + own;
  return text;
}

void AnalyzerBus::CheckCall(std::string_view operation, std::string_view text) {
  if (!fault_checks_ || (globals_.LongStatus & kStatusErr) == 0) return;
  if (text.empty()) Fault(fmt::format("{} to", operation), DriverError());
  Fault(fmt::format("{} \"{}\" to", operation, text), DriverError());
}

int16_t AnalyzerBus::OpenDevice(int16_t board, int16_t pad, int16_t sad, int16_t tmo,
                                int16_t eot, int16_t eos) {
  EnsureRegistered();
  board_ = board;
  pad_ = pad;
  const int16_t descriptor = LowWordToInt(driver_.ibdev(board, pad, sad, tmo, eot, eos));
  CopyStatusWords();
  return descriptor;
}

void AnalyzerBus::CheckOpen(int16_t descriptor) {
  if (descriptor >= 0 && (globals_.LongStatus & kStatusErr) == 0) return;
  Fault("ibdev could not open",
        fmt::format("(descriptor {}, {})", descriptor, ErrorText()));
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
  // A short write would let the analyser act on a truncated command.
  if (fault_checks_ && globals_.ibcntl != static_cast<int32_t>(text.size())) {
    Fault(fmt::format("ibwrt \"{}\" to", text),
          fmt::format("sent only {} of {} bytes", globals_.ibcntl, text.size()));
  }
}

int32_t AnalyzerBus::ReadText(int16_t ud, std::string& buffer) {
  EnsureRegistered();
  driver_.ibrd(ud, buffer.data(), static_cast<long>(buffer.size()));
  CopyStatusWords();
  if (fault_checks_ && (globals_.LongStatus & kStatusErr) != 0) {
    if (pending_command_.empty()) Fault("ibrd from", DriverError());
    Fault(fmt::format("ibrd of the reply to \"{}\" from", pending_command_), DriverError());
  }
  return std::clamp<int32_t>(globals_.ibcntl, 0, static_cast<int32_t>(buffer.size()));
}

double AnalyzerBus::QueryValue(std::string_view command, std::string& buffer) {
  WriteText(Analyzer, command);
  pending_command_ = command;
  const int32_t received = ReadText(Analyzer, buffer);
  pending_command_.clear();
  const std::string_view reply(buffer.data(), static_cast<std::size_t>(received));
  const std::string what = fmt::format("the reply to \"{}\" from", command);
  if (fault_checks_) {
    if (received == 0) Fault(what, "was empty");
    // A full buffer without END is the front of a longer reply.
    if (static_cast<std::size_t>(received) == buffer.size() &&
        (globals_.LongStatus & kStatusEnd) == 0) {
      Fault(what, fmt::format("was cut short at {} bytes: {}", received, QuotedForMessage(reply)));
    }
  }
  NumberScan scan;
  try {
    scan = ScanLeadingNumber(reply);
  } catch (const OverflowError&) {
    throw OverflowError(fmt::format("the reply to \"{}\", {}, is too large for a number", command,
                                    QuotedForMessage(reply)));
  }
  if (fault_checks_ && !scan.hasDigits) {
    Fault(what, fmt::format("has no number: {}", QuotedForMessage(reply)));
  }
  return scan.value;
}

int16_t AnalyzerBus::WaitAveraging() {
  WriteText(Analyzer, cmd::kClearStatus);
  WriteText(Analyzer, cmd::kOperationEnable);
  return WaitOperation(kAveragingTimeoutSeconds);
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
    if (stop_check_ && stop_check_()) return kWaitInterrupted;
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
