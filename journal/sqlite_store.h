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
inline constexpr int kJournalSchemaVersion = 4;

// Not for use from two threads at once.
class SqliteStore : public ResultStore {
 public:
  // Opens or creates the journal at path, creating its folder. Throws
  // JournalError when it cannot be opened, is not a journal, or was made by
  // a newer Tarnwick.
  explicit SqliteStore(const std::string& path);
  ~SqliteStore() override;

  std::int64_t BeginRun(const RunRecord& run) override;
  void PlanRun(std::int64_t id, const RunPlan& plan) override;
  void AddSegment(std::int64_t id, const SegmentRecord& segment) override;
  void FinishRun(std::int64_t id, const RunRecord& run) override;
  std::vector<RunRecord> ListRuns(std::size_t last) override;
  std::optional<RunRecord> LoadRun(std::int64_t id) override;
  std::vector<std::int64_t> RunIds() override;

  // What this connection's PRAGMA name answers ("synchronous" gives "2" for
  // FULL), for checking how durably runs are kept.
  std::string Setting(std::string_view name);

 private:
  class Statement;
  Statement& Prepared(int which);
  JournalError Error(std::string_view action) const;
  void Exec(const char* sql);
  void UseWriteAheadLog();
  int UserVersion();
  void Migrate();
  template <typename Action>
  void InTransaction(Action&& action);

  std::string path_;
  sqlite3* db_ = nullptr;
  std::vector<std::unique_ptr<Statement>> statements_;
};

// The journal's default place: $XDG_DATA_HOME/tarnwick/results.sqlite
// (~/.local/share when unset), %LOCALAPPDATA%\Tarnwick\results.sqlite on
// Windows. Empty when neither the variable nor a home folder is known.
std::string DefaultJournalPath();

}  // namespace tarnwick

#endif  // TARNWICK_JOURNAL_SQLITE_STORE_H_
