#include "journal/run_journal.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include <fmt/chrono.h>
#include <fmt/format.h>

#include "journal/sqlite_store.h"
#include "measure/measurement_run.h"
#include "version.h"

namespace tarnwick {

namespace {
constexpr const char* kWaitNames[] = {"none", "done", "timeout", "error"};
}  // namespace

const char* WaitName(SweepWait wait) { return kWaitNames[static_cast<int>(wait)]; }

SweepWait WaitFromName(std::string_view name) {
  for (int i = 0; i < 4; ++i) {
    if (name == kWaitNames[i]) return static_cast<SweepWait>(i);
  }
  return SweepWait::kNotAveraged;
}

std::string OutcomeName(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kCompleted: return "completed";
    case RunOutcome::kDoubtful: return "doubtful";
    case RunOutcome::kBlankInput: return "blank";
    case RunOutcome::kRefused: return "refused";
    case RunOutcome::kStopped: return "stopped";
    case RunOutcome::kAbandoned: break;
  }
  return "interrupted";
}

std::string StoredRun::OutcomeName() const { return outcome.empty() ? "interrupted" : outcome; }

std::size_t StoredRun::Failures() const {
  std::size_t n = 0;
  for (const StoredSegment& s : segments) n += s.Fails() ? 1 : 0;
  return n;
}

std::string StoredRun::Block() const {
  if (!plan) return endNotes;
  std::string block = std::string(kResultsHeader) + std::string(kLineBreak);
  for (const StoredSegment& s : segments) {
    block += s.m.line;
    block += kLineBreak;
    if (!s.m.note.empty()) block += fmt::format("{}{}{}", kNotePrefix, s.m.note, kLineBreak);
  }
  return block + endNotes;
}

std::string UtcNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return fmt::format("{:%Y-%m-%dT%H:%M:%S}.{:03}Z", fmt::gmtime(system_clock::to_time_t(now)), ms);
}

JournalTarget OpenJournal(const std::string& path) {
  JournalTarget target;
  if (path.empty()) return target;
  try {
    target.store = std::make_unique<SqliteStore>(path);
  } catch (const JournalError& e) {
    target.openError = e.what();
  }
  return target;
}

RunJournal::RunJournal(JournalTarget target, std::function<void(const std::string&)> warn)
    : store_(std::move(target.store)),
      warn_(std::move(warn)),
      pending_warning_(std::move(target.openError)) {}

void RunJournal::SetBench(std::function<std::string()> bench, bool simulated) {
  bench_ = std::move(bench);
  simulated_ = simulated;
}

template <typename Action>
void RunJournal::Write(Action&& action) {
  if (store_) {
    try {
      action(*store_);
    } catch (const JournalError& e) {
      store_.reset();
      pending_warning_ = e.what();
    }
  }
  if (!pending_warning_.empty()) {
    warn_(pending_warning_ + "; the results are not being recorded");
    pending_warning_.clear();
  }
}

void RunJournal::RunStarted(const RunSettings& settings) {
  run_ = StoredRun{};
  run_.started = UtcNow();
  run_.version = fmt::format("{} {}", kProductName, kProductVersion);
  run_.bench = bench_ ? bench_() : "";
  run_.simulated = simulated_;
  run_.limits = limits_.source();
  run_.settings = settings;
  Write([&](ResultStore& store) {
    run_.id = store.BeginRun(run_);
    recorded_.push_back(run_.id);
  });
}

void RunJournal::RunPlanned(const RunPlan& plan) {
  run_.plan = plan;
  Write([&](ResultStore& store) {
    if (run_.id != 0) store.PlanRun(run_.id, plan);
  });
}

void RunJournal::SegmentMeasured(const SegmentMeasurement& segment) {
  StoredSegment stored{segment, limits_.For(segment.startHz, segment.stopHz), 0};
  // Readings come in hundredths of a dB; so does the margin, without binary dust.
  if (stored.limitDbm) {
    stored.marginDb = std::round((*stored.limitDbm - segment.peakDbm) * 100) / 100;
  }
  run_.segments.push_back(stored);
  Write([&](ResultStore& store) {
    if (run_.id != 0) store.AddSegment(run_.id, stored);
  });
}

void RunJournal::RunFinished(RunOutcome outcome, const std::string& message,
                             const std::string& endNotes) {
  run_.ended = UtcNow();
  run_.outcome = OutcomeName(outcome);
  run_.message = message;
  run_.endNotes = endNotes;
  // The driver library is known only once the run has loaded it.
  if (bench_) run_.bench = bench_();
  Write([&](ResultStore& store) {
    if (run_.id != 0) store.FinishRun(run_.id, run_);
  });
}

}  // namespace tarnwick
