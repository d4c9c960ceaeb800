#include "bus/analyzer_bus.h"

#include <algorithm>

#include <fmt/format.h>

#include "bus/status_words.h"
#include "text/quote.h"

namespace tarnwick {

AnalyzerBus::AnalyzerBus(GpibDriver& driver) : driver_(driver) {}

std::string AnalyzerBus::Where() const {
  // A resource is the operator's text: a device path may hold anything.
  return address_.resource.empty() ? fmt::format("GPIB{}::{}", address_.board, address_.pad)
                                   : CutForMessage(address_.resource, kQuotedPathLength);
}

BusError AnalyzerBus::Failure(std::string_view call, std::string_view command,
                              std::string_view what, std::string_view detail, int32_t code,
                              std::string words) const {
  BusError e;
  e.resource = Where();
  e.message = fmt::format("{} the analyser at {} {}.", what, e.resource, detail);
  e.call = call;
  e.command = command;
  e.code = code;
  e.words = std::move(words);
  return e;
}

Status AnalyzerBus::RegisterGpibGlobals() {
  if (unusable_) return *unusable_;
  BusError refusal;
  refusal.resource = Where();
  refusal.endsProgram = true;
  // The library is bound at the first bus operation, never at start-up.
  if (std::optional<std::string> reason = driver_.Load()) {
    refusal.call = "load";
    refusal.message = *reason;
    unusable_ = refusal;
    return refusal;
  }
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
  if (rc == 0) {
    globals_registered_ = 1;
    return {};
  }
  switch (rc) {
    case 2:
      refusal.message = kMsgNotMultiThreaded;
      driver_.UnregisterGpibGlobalsForThread();
      break;
    case 3:
      refusal.message = kMsgUnableToRegister;
      driver_.UnregisterGpibGlobalsForThread();
      break;
    default:
      refusal.message = kMsgUnknownRegistrationError;
  }
  refusal.call = "registration";
  refusal.code = rc;
  unusable_ = refusal;
  return refusal;
}

Status AnalyzerBus::EnsureRegistered() {
  if (globals_registered_ != 0) return {};
  return RegisterGpibGlobals();
}

Status AnalyzerBus::CopyStatusWords() {
  globals_.ibsta = LowWordToInt(globals_.LongStatus);
  const bool failed = (globals_.LongStatus & kStatusErr) != 0;
  if (!failed) {
    // Drivers leave stale values in the error word of a call that worked.
    globals_.iberr = LowWordToInt(globals_.LongError);
  } else if (globals_.LongError < -32768 || globals_.LongError > 32767) {
    BusError e;
    e.resource = Where();
    e.call = "status";
    e.code = globals_.LongError;
    e.message =
        fmt::format("the driver's error word {} does not fit a 16-bit number.", globals_.LongError);
    return e;
  } else {
    globals_.iberr = static_cast<int16_t>(globals_.LongError);
  }
  globals_.ibcnt = LowWordToInt(globals_.ibcntl);
  return {};
}

std::string AnalyzerBus::ErrorText() const {
  std::string text = DescribeGpibError(globals_.LongError, globals_.ibcntl);
  if (const std::string own = driver_.LastErrorText(); !own.empty()) text += ": " + own;
  return text;
}

Status AnalyzerBus::CheckCall(std::string_view call, std::string_view command) const {
  if ((globals_.LongStatus & kStatusErr) == 0) return {};
  const std::string what =
      command.empty() ? fmt::format("{} to", call) : fmt::format("{} \"{}\" to", call, command);
  return Failure(call, command, what, "failed with " + ErrorText(), globals_.LongError,
                 driver_.LastErrorText());
}

Result<int16_t> AnalyzerBus::OpenDevice(int16_t board, int16_t pad, int16_t sad, int16_t tmo,
                                        int16_t eot, int16_t eos) {
  if (Status s = EnsureRegistered(); !s.ok()) return s.error();
  const int16_t descriptor = LowWordToInt(driver_.ibdev(board, pad, sad, tmo, eot, eos));
  if (Status s = CopyStatusWords(); !s.ok()) return s.error();
  return descriptor;
}

Status AnalyzerBus::CheckOpen(int16_t descriptor) const {
  if (descriptor >= 0 && (globals_.LongStatus & kStatusErr) == 0) return {};
  return Failure("ibdev", {}, "ibdev could not open",
                 fmt::format("(descriptor {}, {})", descriptor, ErrorText()), globals_.LongError,
                 driver_.LastErrorText());
}

Status AnalyzerBus::SetOnline(int16_t ud, int16_t v) {
  if (Status s = EnsureRegistered(); !s.ok()) return s;
  driver_.ibonl(ud, v);
  if (Status s = CopyStatusWords(); !s.ok()) return s;
  return CheckCall(fmt::format("ibonl({}, {})", ud, v), {});
}

Status AnalyzerBus::SetTimeout(int16_t ud, int16_t tmo) {
  if (Status s = EnsureRegistered(); !s.ok()) return s;
  driver_.ibtmo(ud, tmo);
  if (Status s = CopyStatusWords(); !s.ok()) return s;
  return CheckCall(fmt::format("ibtmo({}, {})", ud, tmo), {});
}

Status AnalyzerBus::WriteText(int16_t ud, std::string_view text) {
  if (Status s = EnsureRegistered(); !s.ok()) return s;
  driver_.ibwrt(ud, text.data(), static_cast<long>(text.size()));
  if (Status s = CopyStatusWords(); !s.ok()) return s;
  if (Status s = CheckCall("ibwrt", text); !s.ok()) return s;
  // A short write would let the analyser act on a truncated command.
  if (globals_.ibcntl != static_cast<int32_t>(text.size())) {
    return Failure("ibwrt", text, fmt::format("ibwrt \"{}\" to", text),
                   fmt::format("sent only {} of {} bytes", globals_.ibcntl, text.size()));
  }
  return {};
}

Result<int32_t> AnalyzerBus::ReadText(int16_t ud, std::string& buffer, std::string_view command) {
  if (Status s = EnsureRegistered(); !s.ok()) return s.error();
  driver_.ibrd(ud, buffer.data(), static_cast<long>(buffer.size()));
  if (Status s = CopyStatusWords(); !s.ok()) return s.error();
  if ((globals_.LongStatus & kStatusErr) != 0) {
    const std::string what = command.empty()
                                 ? std::string("ibrd from")
                                 : fmt::format("ibrd of the reply to \"{}\" from", command);
    return Failure("ibrd", command, what, "failed with " + ErrorText(), globals_.LongError,
                   driver_.LastErrorText());
  }
  return std::clamp<int32_t>(globals_.ibcntl, 0, static_cast<int32_t>(buffer.size()));
}

}  // namespace tarnwick
