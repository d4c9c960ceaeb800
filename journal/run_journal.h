// Keeps each run in the store as it is recorded. It only stores: the values
// and verdicts come from the record. A store that fails is reported once
// and then left alone: the measurement goes on without it.
#ifndef TARNWICK_JOURNAL_RUN_JOURNAL_H_
#define TARNWICK_JOURNAL_RUN_JOURNAL_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "journal/result_store.h"
#include "results/recorder.h"

namespace tarnwick {

// Where the runs go: a store, or none with the reason (--no-journal gives
// an empty reason, and nothing is said).
struct JournalTarget {
  std::unique_ptr<ResultStore> store;
  std::string openError;
  std::string path;  // the journal's file on this machine, if it keeps one
};

// Opens the journal at address (none when address is empty) through the
// store table, catching the failure: the one way into a journal for a
// program that records runs, and for a window that reads its history while
// another thread records them (kRead: a store, and a connection, of its own).
JournalTarget OpenJournal(const std::string& address, JournalAccess access = JournalAccess::kWrite);

class RunJournal : public RecordListener {
 public:
  // warn is told, once, why runs are not being recorded.
  RunJournal(JournalTarget target, std::function<void(const std::string&)> warn);

  void RecordStarted(RunRecord& run) override;
  void RecordPlanned(const RunRecord& run) override;
  void SegmentRecorded(const RunRecord& run) override;
  void RecordFinished(const RunRecord& run) override;

  // The ids of the runs this journal wrote to its store.
  const std::vector<std::int64_t>& recorded() const { return recorded_; }
  // The store, or null once it has failed or when there is none.
  ResultStore* store() { return store_.get(); }
  // The journal's file, empty when there is none.
  const std::string& path() const { return path_; }

 private:
  template <typename Action>
  void Write(Action&& action);

  std::unique_ptr<ResultStore> store_;
  std::string path_;
  std::function<void(const std::string&)> warn_;
  std::int64_t id_ = 0;  // the run under way, 0 when the store has none
  std::vector<std::int64_t> recorded_;
  std::string pending_warning_;
};

}  // namespace tarnwick

#endif  // TARNWICK_JOURNAL_RUN_JOURNAL_H_
