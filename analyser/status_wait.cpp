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

}  // namespace

Result<int16_t> WaitOperation(AnalyzerBus& bus, Platform& platform, int32_t timeoutSeconds) {
  constexpr int kWatchedBits = cmd::kStbOperationSummary | cmd::kStbEventSummary;
  constexpr int kFailureBits = cmd::kEsrDeviceError | cmd::kEsrExecutionError;
  std::string buffer(10, '\0');
  if (Status s = bus.WriteText(bus.Analyzer, cmd::kServiceRequestEnable); !s.ok()) return s.error();
  const double start = platform.NowSeconds();
  int16_t stb = 0;
  for (;;) {
    platform.SleepMs(kStatusPollMs);
    if (platform.StopRequested()) return kWaitInterrupted;
    const Result<int16_t> polled = StatusQuery(bus, cmd::kStatusByteQuery, buffer, "the status byte");
    if (!polled.ok()) return polled;
    stb = polled.value();
    // Time is judged before the bits: a status byte that arrives with the
    // timeout still counts as a timeout.
    if (platform.NowSeconds() - start > timeoutSeconds) return kWaitTimeout;
    if ((stb & kWatchedBits) != 0) break;
  }
  if ((stb & cmd::kStbEventSummary) == 0) return kWaitDone;
  const Result<int16_t> esr = StatusQuery(bus, cmd::kEventStatusQuery, buffer, "the event status");
  if (!esr.ok()) return esr;
  return (esr.value() & kFailureBits) != 0 ? kWaitError : kWaitDone;
}

}  // namespace tarnwick
