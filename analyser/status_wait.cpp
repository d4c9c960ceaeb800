#include "analyser/status_wait.h"

#include <optional>
#include <string>

#include <fmt/format.h>

#include "analyser/builtin_commands.h"
#include "analyser/query.h"
#include "text/leading_number.h"

namespace tarnwick {
namespace {

// A status reply as the 16-bit number the wait judges.
Result<int16_t> StatusQuery(AnalyzerBus& bus, std::string_view command, std::string& buffer,
                            std::string_view what) {
  const Result<double> value = QueryValue(bus, command, buffer);
  if (!value.ok()) return value.error();
  const std::optional<int16_t> rounded = RoundToInt16(value.value());
  if (!rounded) {
    BusError e = bus.Failure("reply", command, what, "does not fit a 16-bit number");
    e.message = fmt::format("{} {} does not fit a 16-bit number.", what, value.value());
    return e;
  }
  return *rounded;
}

struct PollEnd {
  int16_t result;  // done, timeout or interrupted
  int16_t last;    // the last reply
};

// The poll both waits share: every 10 ms the platform's sleep, its stop
// check, then the query, until a watched bit is set or the time is up.
Result<PollEnd> Poll(AnalyzerBus& bus, Platform& platform, int32_t timeoutSeconds,
                     std::string_view query, std::string_view what, int watchedBits,
                     std::string& buffer) {
  const double start = platform.NowSeconds();
  for (;;) {
    platform.SleepMs(kStatusPollMs);
    if (platform.StopRequested()) return PollEnd{kWaitInterrupted, 0};
    const Result<int16_t> polled = StatusQuery(bus, query, buffer, what);
    if (!polled.ok()) return polled.error();
    // Time is judged before the bits: a status that arrives with the
    // timeout still counts as a timeout.
    const int16_t status = polled.value();
    if (platform.NowSeconds() - start > timeoutSeconds) return PollEnd{kWaitTimeout, status};
    if ((status & watchedBits) != 0) return PollEnd{kWaitDone, status};
  }
}

}  // namespace

Result<int16_t> WaitOperation(AnalyzerBus& bus, Platform& platform, int32_t timeoutSeconds) {
  constexpr int kFailureBits = cmd::kEsrDeviceError | cmd::kEsrExecutionError;
  std::string buffer(kStatusReplyWidth, '\0');
  if (Status s = bus.WriteText(bus.Analyzer, cmd::kServiceRequestEnable); !s.ok()) return s.error();
  const Result<PollEnd> polled =
      Poll(bus, platform, timeoutSeconds, cmd::kStatusByteQuery, "the status byte",
           cmd::kStbOperationSummary | cmd::kStbEventSummary, buffer);
  if (!polled.ok()) return polled.error();
  if (polled.value().result != kWaitDone) return polled.value().result;
  if ((polled.value().last & cmd::kStbEventSummary) == 0) return kWaitDone;
  const Result<int16_t> esr = StatusQuery(bus, cmd::kEventStatusQuery, buffer, "the event status");
  if (!esr.ok()) return esr;
  return (esr.value() & kFailureBits) != 0 ? kWaitError : kWaitDone;
}

Result<int16_t> WaitOperationComplete(AnalyzerBus& bus, Platform& platform,
                                      int32_t timeoutSeconds) {
  std::string buffer(kStatusReplyWidth, '\0');
  const Result<PollEnd> polled = Poll(bus, platform, timeoutSeconds, cmd::kEventStatusQuery,
                                      "the event status", cmd::kEsrOperationComplete, buffer);
  if (!polled.ok()) return polled.error();
  return polled.value().result;
}

}  // namespace tarnwick
