// The journal in a SQLite database: one file, safe to share between the two
// programs at once.
#ifndef TARNWICK_JOURNAL_SQLITE_STORE_H_
#define TARNWICK_JOURNAL_SQLITE_STORE_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "journal/result_store.h"

struct sqlite3;

namespace tarnwick {

// The schema version this build writes; older journals are brought up to it
// when opened.
inline constexpr int kJournalSchemaVersion = 5;

// The last try at forwarding runs to a lab: which lab, when (UTC, ISO
// 8601), and what went wrong (empty when all went).
struct LabAttempt {
  std::string lab;
  std::string tried;
  std::string error;
};

// The store table's row for a path or sqlite:PATH opens it; nothing else
// names it but its tests. Not for use from two threads at once.
class SqliteStore : public ResultStore {
 public:
  // Opens the journal at path. For writing, creates it and its folder when
  // missing, and refuses one that JournalDamage finds damaged. For reading,
  // opens it read-only, so a journal the user may only read can be read,
  // and throws JournalAddressError when there is none; one made by an older
  // Tarnwick is brought up to date first, which needs it writable. Throws
  // JournalError when it cannot be opened (saying first how it is damaged,
  // if it is), is not a journal, or was made by a newer Tarnwick.
  explicit SqliteStore(const std::string& path, JournalAccess access = JournalAccess::kWrite);
  // Closing folds the write-ahead log into the main file (without waiting
  // for other programs), so that a copy of that one file holds every run.
  ~SqliteStore() override;

  std::int64_t BeginRun(const RunRecord& run) override;
  void PlanRun(std::int64_t id, const RunPlan& plan) override;
  void AddSegment(std::int64_t id, const SegmentRecord& segment) override;
  void FinishRun(std::int64_t id, const RunRecord& run) override;
  void ListRuns(std::size_t last, const RunVisitor& visit) override;
  std::optional<RunRecord> LoadRun(std::int64_t id) override;
  void EachRun(const RunVisitor& visit) override;
  void ListMatching(const RunFilter& filter, std::size_t last, const RunVisitor& visit) override;
  void EachMatching(const RunFilter& filter, const RunVisitor& visit) override;
  std::optional<std::int64_t> RunIdOf(const std::string& uuid) override;

  // The runs waiting for the lab. A run is queued by FinishRun, in the
  // transaction that ends it, unless it was blank; a run that never
  // finished is queued, as interrupted, once QueueAbandonedRuns finds that
  // the program writing it is no longer running (ProcessMayBeRunning).
  // Returns how many were queued now.
  std::size_t QueueAbandonedRuns();
  // The oldest waiting runs' ids, at most most of them.
  std::vector<std::int64_t> WaitingRuns(std::size_t most);
  // How many wait, those QueueAbandonedRuns would queue included.
  std::size_t WaitingCount();
  // Once the lab has committed them: they wait no more.
  void MarkForwarded(const std::vector<std::int64_t>& ids);
  void NoteLabAttempt(const LabAttempt& attempt);
  std::optional<LabAttempt> LastLabAttempt();
  // What JournalDamage finds in the file.
  std::string Damage() override;
  // With SQLite's online backup, into a new database.
  void BackUpTo(const std::string& path) override;

  // What this connection's PRAGMA name answers ("synchronous" gives "2" for
  // FULL), for checking how durably runs are kept.
  std::string Setting(std::string_view name);

 private:
  class Statement;
  Statement& Prepared(int which);
  JournalError Error(std::string_view action) const;
  void Open(JournalAccess access);
  void Exec(const char* sql);
  // Copies what the log holds into the main file as far as no other
  // program's reading prevents it; never waits.
  void Checkpoint();
  void UseWriteAheadLog();
  int UserVersion();
  void Migrate();
  // The migration to run ids, for the runs already kept.
  void FillIdentities();
  std::optional<RunRecord> ReadRun(std::int64_t id);  // inside a transaction
  void BindFilter(Statement& s, const RunFilter& filter);
  void Queue(std::int64_t id);
  std::vector<std::int64_t> AbandonedRuns();
  void QueueRunsAsFound(const std::vector<std::int64_t>& ids);
  // action between the begin statement (a write's or a read's) and COMMIT;
  // rolled back when it throws.
  template <typename Action>
  void InTransaction(int begin, Action&& action);

  std::string path_;
  sqlite3* db_ = nullptr;
  bool writable_ = false;
  std::vector<std::unique_ptr<Statement>> statements_;
};

}  // namespace tarnwick

#endif  // TARNWICK_JOURNAL_SQLITE_STORE_H_
