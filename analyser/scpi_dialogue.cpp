#include "analyser/scpi_dialogue.h"

#include <fmt/format.h>

#include "analyser/builtin_commands.h"
#include "analyser/query.h"
#include "analyser/scpi_commands.h"
#include "analyser/status_wait.h"
#include "text/quote.h"

namespace tarnwick {

Status ScpiDialogue::Open() {
  error_buffer_.assign(scpi::kErrorReplyWidth, '\0');
  return BusAnalyser::Open();
}

Status ScpiDialogue::SetUp(double refLevelDbm, double refOffsetDb) {
  setup_started_ = true;
  for (const std::string& command :
       {std::string(cmd::kClearStatus), std::string(scpi::kSingleSweepMode),
        std::string(scpi::kResolutionBandwidth), std::string(scpi::kVideoBandwidth),
        std::string(scpi::kPositiveDetector), NumberCommand(scpi::kRefOffsetPrefix, refOffsetDb),
        NumberCommand(scpi::kRefLevelPrefix, refLevelDbm)}) {
    if (Status s = Write(command); !s.ok()) return s;
  }
  // The set-up is one question: did the analyser take all of it?
  const Result<std::vector<std::string>> errors = NextErrors(1);
  if (!errors.ok()) return errors.error();
  if (errors.value().empty()) return {};
  return bus_.Failure("reply", scpi::kNextError, "the set-up was refused by",
                      "with " + QuotedForMessage(errors.value().front()), kNoDriverError,
                      errors.value().front());
}

Result<SweepResult> ScpiDialogue::Sweep(double startHz, double stopHz, bool averaged) {
  std::vector<std::string> commands = {NumberCommand(scpi::kStartPrefix, startHz),
                                       NumberCommand(scpi::kStopPrefix, stopHz)};
  if (averaged) {
    commands.emplace_back(scpi::kAverageCount);
    commands.emplace_back(scpi::kAveragingOn);
  } else {
    commands.emplace_back(scpi::kAveragingOff);
  }
  commands.emplace_back(scpi::kSweepThenReport);
  for (const std::string& command : commands) {
    if (Status s = Write(command); !s.ok()) return s.error();
  }
  const Result<int16_t> waited = WaitOperationComplete(bus_, platform_, kAveragingTimeoutSeconds);
  if (!waited.ok()) return waited.error();
  return SweepResultOf(waited.value());
}

Status ScpiDialogue::FindPeak() { return Write(scpi::kPeakSearch); }

Result<Marker> ScpiDialogue::ReadMarker() {
  const Result<double> hz = QueryValue(bus_, scpi::kMarkerFrequency, marker_buffer_);
  if (!hz.ok()) return hz.error();
  const Result<double> dbm = QueryValue(bus_, scpi::kMarkerLevel, marker_buffer_);
  if (!dbm.ok()) return dbm.error();
  Result<std::vector<std::string>> errors = NextErrors(scpi::kMaxErrorReads);
  if (!errors.ok()) return errors.error();
  return Marker{hz.value(), dbm.value(), errors.value()};
}

Result<std::vector<std::string>> ScpiDialogue::NextErrors(int maxReads) {
  std::vector<std::string> errors;
  for (int i = 0; i < maxReads; ++i) {
    const Result<NumberReply> reply = QueryNumberReply(bus_, scpi::kNextError, error_buffer_);
    if (!reply.ok()) return reply.error();
    if (reply.value().value == 0) break;  // "0,\"No error\""
    errors.push_back(reply.value().text);
  }
  return errors;
}

Status ScpiDialogue::Close() { return CloseWith({scpi::kAveragingOff, scpi::kContinuousSweep}); }

}  // namespace tarnwick
