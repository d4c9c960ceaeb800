#include "journal/run_journal.h"

#include "journal/store_table.h"

namespace tarnwick {

JournalTarget OpenJournal(const std::string& address, JournalAccess access) {
  JournalTarget target;
  if (address.empty()) return target;
  try {
    const StoreAddress parsed = ParseStoreAddress(address);
    target.path = parsed.file;
    target.store = OpenStore(parsed, access);
  } catch (const JournalError& e) {
    target.openError = e.what();
  }
  return target;
}

RunJournal::RunJournal(JournalTarget target, std::function<void(const std::string&)> warn)
    : store_(std::move(target.store)),
      path_(std::move(target.path)),
      warn_(std::move(warn)),
      pending_warning_(std::move(target.openError)) {}

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

void RunJournal::RecordStarted(RunRecord& run) {
  id_ = 0;
  Write([&](ResultStore& store) {
    id_ = store.BeginRun(run);
    recorded_.push_back(id_);
  });
  run.id = id_;
}

void RunJournal::RecordPlanned(const RunRecord& run) {
  Write([&](ResultStore& store) {
    if (id_ != 0) store.PlanRun(id_, *run.plan);
  });
}

void RunJournal::SegmentRecorded(const RunRecord& run) {
  Write([&](ResultStore& store) {
    if (id_ != 0) store.AddSegment(id_, run.segments.back());
  });
}

void RunJournal::RecordFinished(const RunRecord& run) {
  Write([&](ResultStore& store) {
    if (id_ != 0) store.FinishRun(id_, run);
  });
}

}  // namespace tarnwick
