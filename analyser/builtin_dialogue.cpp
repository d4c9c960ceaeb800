#include "analyser/builtin_dialogue.h"

#include <fmt/format.h>

#include "analyser/builtin_commands.h"
#include "analyser/dialect.h"
#include "analyser/identify.h"
#include "analyser/query.h"
#include "analyser/status_wait.h"
#include "text/quote.h"

namespace tarnwick {

Status BuiltinDialogue::Open() {
  marker_answered_ = false;
  return BusAnalyser::Open();
}

Status BuiltinDialogue::SetUp(double refLevelDbm, double refOffsetDb) {
  setup_started_ = true;
  for (const std::string& command :
       {std::string(cmd::kDisplayLine), std::string(cmd::kBandwidths),
        std::string(cmd::kPositiveDetector),
        NumberCommand(cmd::kRefOffsetPrefix, refOffsetDb, cmd::kDbSuffix),
        NumberCommand(cmd::kRefLevelPrefix, refLevelDbm, cmd::kDbSuffix),
        std::string(cmd::kSingleSweepMode), std::string(cmd::kAverageSetup)}) {
    if (Status s = Write(command); !s.ok()) return s;
  }
  return {};
}

Result<SweepResult> BuiltinDialogue::Sweep(double startHz, double stopHz, bool averaged) {
  // The stop frequency goes first.
  if (Status s = Write(NumberCommand(cmd::kStopPrefix, stopHz, cmd::kHzSuffix)); !s.ok()) {
    return s.error();
  }
  if (Status s = Write(NumberCommand(cmd::kStartPrefix, startHz, cmd::kHzSuffix)); !s.ok()) {
    return s.error();
  }
  if (!averaged) {
    if (Status s = Write(cmd::kTakeSweep); !s.ok()) return s.error();
    // A sweep the stop check cut short (the simulator's) is abandoned unread.
    return SweepResult{SweepWait::kNotAveraged, platform_.StopRequested()};
  }
  for (std::string_view command : {cmd::kAverageSingle, cmd::kAverageCount, cmd::kAverageRestart,
                                   cmd::kContinuousSweep}) {
    if (Status s = Write(command); !s.ok()) return s.error();
  }
  const Result<int16_t> waited = WaitAveraging();
  if (!waited.ok()) return waited.error();
  return SweepResultOf(waited.value());
}

Result<int16_t> BuiltinDialogue::WaitAveraging() {
  if (Status s = Write(cmd::kClearStatus); !s.ok()) return s.error();
  if (Status s = Write(cmd::kOperationEnable); !s.ok()) return s.error();
  return WaitOperation(bus_, platform_, kAveragingTimeoutSeconds);
}

Status BuiltinDialogue::FindPeak() { return Write(cmd::kPeakSearch); }

Result<Marker> BuiltinDialogue::ReadMarker() {
  const Result<double> hz = QueryValue(bus_, cmd::kMarkerFrequency, marker_buffer_);
  if (!hz.ok()) return WithIdentity(hz.error());
  marker_answered_ = true;
  const Result<double> dbm = QueryValue(bus_, cmd::kMarkerLevel, marker_buffer_);
  if (!dbm.ok()) return dbm.error();
  return Marker{hz.value(), dbm.value(), {}};
}

BusError BuiltinDialogue::WithIdentity(BusError error) {
  if (marker_answered_) return error;
  marker_answered_ = true;  // asked once a run
  // Only a probe: asking with the full limit would cost a second timeout.
  const std::string identity = ProbeIdentity(bus_).value_or("");
  if (!identity.empty()) {
    error.message += fmt::format(" It answers \"{}\" with {}: it may speak SCPI (--dialect {}).",
                                 cmd::kIdentify, QuotedForMessage(identity, kIdentityShown),
                                 kScpiDialect);
  }
  return error;
}

Status BuiltinDialogue::Close() { return CloseWith({cmd::kAveragingOff}); }

}  // namespace tarnwick
