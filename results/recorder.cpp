#include "results/recorder.h"

#include <fmt/format.h>

#include "results/block_text.h"
#include "results/verdicts.h"
#include "version.h"

namespace tarnwick {

void RunRecorder::SetBench(std::function<std::string()> bench, bool simulated) {
  bench_ = std::move(bench);
  simulated_ = simulated;
}

void RunRecorder::RunStarted(const RunSettings& settings) {
  record_ = RunRecord{};
  record_.started = UtcNow();
  record_.uuid = NewUuid();
  record_.benchName = bench_name_;
  record_.version = fmt::format("{} {}", kProductName, kProductVersion);
  record_.bench = bench_ ? bench_() : "";
  record_.simulated = simulated_;
  // Limits given to the recorder override the plan's own.
  active_ = !limits_.empty() || settings.planLimits.empty()
                ? limits_
                : LimitTable::FromRows(settings.planLimits, "plan " + settings.plan);
  record_.limits = active_.source();
  record_.settings = settings;
  for (RecordListener* l : listeners_) l->RecordStarted(record_);
}

void RunRecorder::RunPlanned(const RunPlan& plan) {
  record_.plan = plan;
  for (RecordListener* l : listeners_) l->RecordPlanned(record_);
}

void RunRecorder::SegmentMeasured(const SegmentMeasurement& segment) {
  record_.segments.push_back({segment, Judge(active_, segment)});
  for (RecordListener* l : listeners_) l->SegmentRecorded(record_);
}

void RunRecorder::RunFinished(const RunEnd& end) {
  record_.ended = UtcNow();
  record_.outcome = OutcomeName(end.outcome);
  record_.message = end.outcome == RunOutcome::kDoubtful ? DoubtfulMessage(record_) : end.message;
  record_.endNotes = end.notes;
  if (bench_) record_.bench = bench_();
  for (RecordListener* l : listeners_) l->RecordFinished(record_);
}

}  // namespace tarnwick
