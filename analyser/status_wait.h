// The IEEE 488.2 status wait: poll the analyser's status byte until it
// reports the end of an operation, an event, or the time is up. Both dialects
// wait this way, so they share the deadline, the stop check and what counts
// as a sweep that did not end well.
#ifndef TARNWICK_ANALYSER_STATUS_WAIT_H_
#define TARNWICK_ANALYSER_STATUS_WAIT_H_

#include <cstddef>
#include <cstdint>

#include "bus/analyzer_bus.h"
#include "bus/bus_error.h"
#include "bus/platform.h"

namespace tarnwick {

// Results of the waits.
inline constexpr int16_t kWaitDone = 0;
inline constexpr int16_t kWaitError = 1;
inline constexpr int16_t kWaitTimeout = 2;
inline constexpr int16_t kWaitInterrupted = 3;  // the stop check asked to end it

// How long a sweep is given to end.
inline constexpr int32_t kAveragingTimeoutSeconds = 10;
// How often the status byte is asked for.
inline constexpr int kStatusPollMs = 10;
// The width of the buffer a wait reads its status replies into.
inline constexpr std::size_t kStatusReplyWidth = 10;

// Enables the service request for the operation and event summaries, then
// every 10 ms (platform's sleep, then its stop check) reads "*STB?" until
// either bit is set or more than timeoutSeconds have passed; then reads
// "*ESR?" when the event summary is set. Returns done, error (a device or
// execution error), timeout or interrupted; fails when a query fails or a
// status does not fit 16 bits.
Result<int16_t> WaitOperation(AnalyzerBus& bus, Platform& platform, int32_t timeoutSeconds);

// The same wait for an operation followed by "*OPC": reads "*ESR?" every
// 10 ms until its operation-complete bit is set, with the same deadline and
// stop check. Returns done, timeout or interrupted, never error: the
// register's error bits may be left from commands before the operation, so
// what went wrong is the error queue's to say.
Result<int16_t> WaitOperationComplete(AnalyzerBus& bus, Platform& platform,
                                      int32_t timeoutSeconds);

}  // namespace tarnwick

#endif  // TARNWICK_ANALYSER_STATUS_WAIT_H_
