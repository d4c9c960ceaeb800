#include "journal/sqlite_store.h"

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>

#include <fmt/format.h>
#include <sqlite3.h>

#include "journal/journal_files.h"
#include "text/quote.h"
#include "measure/segment_plan.h"
#include "results/block_text.h"
#include "results/verdicts.h"
#include "text/this_machine.h"

namespace tarnwick {
namespace {

// Step n brings a journal from user_version n to n + 1. Steps are never
// edited once released: a change is a new step.
constexpr const char* kSchemaSteps[kJournalSchemaVersion] = {
    // 1: runs and their segments.
    "CREATE TABLE runs ("
    " id INTEGER PRIMARY KEY, started TEXT NOT NULL, ended TEXT, version TEXT NOT NULL,"
    " bench TEXT NOT NULL, simulated INTEGER NOT NULL,"
    " carrier_text TEXT NOT NULL, ref_text TEXT NOT NULL, offset_text TEXT NOT NULL,"
    " band TEXT NOT NULL, averaging INTEGER NOT NULL,"
    " carrier_mhz REAL, ref_dbm REAL, offset_db REAL, segment_count INTEGER,"
    " outcome TEXT, message TEXT, end_notes TEXT);"
    "CREATE TABLE segments ("
    " run_id INTEGER NOT NULL REFERENCES runs(id), idx INTEGER NOT NULL,"
    " start_hz REAL NOT NULL, stop_hz REAL NOT NULL, peak_hz REAL NOT NULL,"
    " peak_dbm REAL NOT NULL, wait TEXT NOT NULL, line TEXT NOT NULL, note TEXT NOT NULL,"
    " PRIMARY KEY (run_id, idx)) WITHOUT ROWID;",
    // 2: limits and verdicts.
    "ALTER TABLE runs ADD COLUMN limits TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE segments ADD COLUMN limit_dbm REAL;"
    "ALTER TABLE segments ADD COLUMN margin_db REAL;"
    "ALTER TABLE segments ADD COLUMN verdict TEXT NOT NULL DEFAULT '';",
    // 3: the notes that end a block as sentences, one a line, rather than as
    // the block's text ("* a\r\n* b\r\n" becomes "a\nb").
    "UPDATE runs SET end_notes = replace(substr(end_notes, 3, length(end_notes) - 4),"
    " char(13, 10) || '* ', char(10)) WHERE end_notes LIKE '* %';",
    // 4: the segment plan walked and the dialect spoken; earlier runs walked
    // their band's plan in the built-in dialect.
    "ALTER TABLE runs ADD COLUMN plan TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE runs ADD COLUMN plan_text TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE runs ADD COLUMN dialect TEXT NOT NULL DEFAULT 'builtin';"
    "UPDATE runs SET plan = band;",
    // 5: the run's own id and its bench's name, the run's verdict word for
    // choosing runs by it, the program writing it (to tell a run under way
    // from one abandoned), and the queue of runs waiting for the lab. The
    // runs already kept are given ids, verdicts and a place in the queue by
    // FillIdentities.
    "ALTER TABLE runs ADD COLUMN run_uuid TEXT;"
    "ALTER TABLE runs ADD COLUMN bench_name TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE runs ADD COLUMN verdict TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE runs ADD COLUMN writer TEXT NOT NULL DEFAULT '';"
    "CREATE TABLE lab_queue (run_id INTEGER PRIMARY KEY REFERENCES runs(id),"
    " queued TEXT NOT NULL, forwarded TEXT);"
    "CREATE INDEX lab_queue_waiting ON lab_queue (run_id) WHERE forwarded IS NULL;"
    "CREATE TABLE lab_attempt (one INTEGER PRIMARY KEY CHECK (one = 1), lab TEXT NOT NULL,"
    " tried TEXT NOT NULL, error TEXT NOT NULL);",
};
constexpr int kIdentityStep = 4;

// What a listing shows; the same places as kRunColumns, the rest left empty
// to keep a listing of thousands of runs quick.
constexpr const char* kListColumns =
    "id, started, '', '', '', simulated, '', carrier_text, ref_text, offset_text, band,"
    " averaging, carrier_mhz, ref_dbm, offset_db, segment_count, ifnull(outcome, ''), '', '',"
    " plan, '', dialect, ifnull(run_uuid, ''), bench_name";

constexpr const char* kRunColumns =
    "id, started, ifnull(ended, ''), version, bench, simulated, limits, carrier_text, ref_text,"
    " offset_text, band, averaging, carrier_mhz, ref_dbm, offset_db, segment_count,"
    " ifnull(outcome, ''), ifnull(message, ''), ifnull(end_notes, ''), plan, plan_text, dialect,"
    " ifnull(run_uuid, ''), bench_name";

// The filter's four values, each taking every run when empty.
constexpr const char* kFilter =
    "(?1 = '' OR bench_name = ?1) AND (?2 = '' OR started >= ?2) AND (?3 = '' OR started < ?3)"
    " AND (?4 = '' OR verdict = ?4)";

// How long a program waits for another's transaction (they are one segment
// long) before it gives up on the journal.
constexpr int kBusyTimeoutMs = 2000;
constexpr int kWalRetryMs = 10;

enum StatementId {
  kBegin, kBeginRead, kCommit, kRollback, kInsertRun, kPlan, kInsertSegment, kFinish,
  kListLast, kLoadRun, kLoadSegments, kAllRuns, kAllSegments, kListMatching, kAllMatching,
  kRunIdOf, kVerdict, kQueue, kUnfinished, kWaiting, kWaitingCount, kForwarded, kNoteAttempt,
  kLastAttempt, kStatementCount
};

constexpr const char* kSegmentColumns =
    "idx, start_hz, stop_hz, peak_hz, peak_dbm, wait, line, note, limit_dbm, margin_db";

// The statements are prepared once, on first use, and kept: the journal is
// written from inside a run, where parsing SQL again each time is waste.
const char* StatementText(int which) {
  static const std::string texts[kStatementCount] = {
      "BEGIN IMMEDIATE",
      "BEGIN",
      "COMMIT",
      "ROLLBACK",
      "INSERT INTO runs (started, version, bench, simulated, limits, carrier_text, ref_text,"
      " offset_text, band, averaging, plan, plan_text, dialect, run_uuid, bench_name, writer)"
      " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
      "UPDATE runs SET carrier_mhz = ?, ref_dbm = ?, offset_db = ?, segment_count = ?"
      " WHERE id = ?",
      "INSERT INTO segments (run_id, idx, start_hz, stop_hz, peak_hz, peak_dbm, wait, line,"
      " note, limit_dbm, margin_db, verdict) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
      "UPDATE runs SET ended = ?, outcome = ?, message = ?, end_notes = ?, bench = ?,"
      " verdict = ? WHERE id = ?",
      // From the last-th newest id on, so that neither order needs a sort.
      fmt::format("SELECT {} FROM runs WHERE id >= ifnull((SELECT id FROM runs ORDER BY id DESC"
                  " LIMIT 1 OFFSET ?), 0) ORDER BY id",
                  kListColumns),
      fmt::format("SELECT {} FROM runs WHERE id = ?", kRunColumns),
      fmt::format("SELECT {} FROM segments WHERE run_id = ? ORDER BY idx", kSegmentColumns),
      // Both in the order of their keys, walked side by side: no sort, and
      // one run in memory at a time.
      fmt::format("SELECT {} FROM runs ORDER BY id", kRunColumns),
      fmt::format("SELECT {}, run_id FROM segments ORDER BY run_id, idx", kSegmentColumns),
      // The newest last of those the filter takes, oldest first.
      fmt::format("SELECT * FROM (SELECT {} FROM runs WHERE {} ORDER BY id DESC LIMIT ?5)"
                  " ORDER BY id", kListColumns, kFilter),
      fmt::format("SELECT {} FROM runs WHERE {} ORDER BY id", kRunColumns, kFilter),
      "SELECT id FROM runs WHERE run_uuid = ?",
      "UPDATE runs SET verdict = ? WHERE id = ?",
      "INSERT OR IGNORE INTO lab_queue (run_id, queued) VALUES (?, ?)",
      // Runs never finished nor queued: under way, or abandoned.
      "SELECT id, writer FROM runs WHERE outcome IS NULL"
      " AND id NOT IN (SELECT run_id FROM lab_queue) ORDER BY id",
      "SELECT run_id FROM lab_queue WHERE forwarded IS NULL ORDER BY run_id LIMIT ?",
      "SELECT count(*) FROM lab_queue WHERE forwarded IS NULL",
      "UPDATE lab_queue SET forwarded = ? WHERE run_id = ?",
      "INSERT OR REPLACE INTO lab_attempt (one, lab, tried, error) VALUES (1, ?, ?, ?)",
      "SELECT lab, tried, error FROM lab_attempt",
  };
  return texts[which].c_str();
}


// path as a SQLite URI that reads it as a file nobody changes: no locks, no
// log index.
std::string UnchangingUri(const std::string& path) {
  const std::string absolute = std::filesystem::absolute(path).generic_string();
  std::string uri = "file:";
  if (absolute.empty() || absolute[0] != '/') uri += '/';  // file:/C:/... on Windows
  for (const char c : absolute) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       std::string_view("-._~/:").find(c) != std::string_view::npos;
    uri += plain ? std::string(1, c) : fmt::format("%{:02X}", static_cast<unsigned char>(c));
  }
  return uri + "?immutable=1";
}

}  // namespace

// A prepared statement, reset and unbound after every use.
class SqliteStore::Statement {
 public:
  Statement(SqliteStore& store, const char* sql) : store_(store) {
    if (sqlite3_prepare_v3(store.db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) !=
        SQLITE_OK) {
      throw store.Error("prepare a statement");
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }

  Statement& Bind(int i, std::int64_t v) { return Check(sqlite3_bind_int64(stmt_, i, v)); }
  Statement& Bind(int i, double v) { return Check(sqlite3_bind_double(stmt_, i, v)); }
  Statement& Bind(int i, const std::string& v) {
    return Check(sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()),
                                   SQLITE_TRANSIENT));
  }
  Statement& Bind(int i, const std::optional<double>& v) {
    return v ? Bind(i, *v) : Check(sqlite3_bind_null(stmt_, i));
  }
  // True while there is a row to read.
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) {
      Reset();
      return false;
    }
    Reset();
    throw store_.Error(sqlite3_stmt_readonly(stmt_) != 0 ? "read" : "write");
  }
  void Run() {
    while (Step()) {
    }
  }
  void Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  std::int64_t Int(int col) { return sqlite3_column_int64(stmt_, col); }
  double Real(int col) { return sqlite3_column_double(stmt_, col); }
  bool IsNull(int col) { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
  std::string Text(int col) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col))) : "";
  }

 private:
  Statement& Check(int rc) {
    if (rc != SQLITE_OK) throw store_.Error("bind a value");
    return *this;
  }
  SqliteStore& store_;
  sqlite3_stmt* stmt_ = nullptr;
};

JournalError SqliteStore::Error(std::string_view action) const {
  return JournalError(fmt::format("cannot {} in the journal {}: {}", action,
                                  QuotedForMessage(path_, kQuotedPathLength),
                                  db_ ? sqlite3_errmsg(db_) : "out of memory"));
}

SqliteStore::SqliteStore(const std::string& path, JournalAccess access) : path_(path) {
  std::error_code missing;
  // Reading must not leave an empty journal behind a mistyped path.
  if (access == JournalAccess::kRead && (path.empty() || !std::filesystem::exists(path, missing))) {
    throw JournalAddressError(
        fmt::format("no journal at {}", QuotedForMessage(path, kQuotedPathLength)));
  }
  try {
    Open(access);
    if (access == JournalAccess::kRead) {
      int version = 0;
      try {
        version = UserVersion();
      } catch (const JournalError&) {
        // SQLite needs a place for the log's index beside the journal, which
        // a reader may not be allowed to create; with no log to read, the
        // main file alone is the whole journal.
        std::error_code error;
        if (std::filesystem::file_size(path_ + "-wal", error) > 0 && !error) throw;
        sqlite3_close(std::exchange(db_, nullptr));
        if (sqlite3_open_v2(UnchangingUri(path_).c_str(), &db_,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
          throw Error("open");
        }
        version = UserVersion();
      }
      // A journal from an older Tarnwick is brought up to date before reading.
      if (version < kJournalSchemaVersion) {
        sqlite3_close(std::exchange(db_, nullptr));
        Open(JournalAccess::kWrite);
      }
    }
    statements_.resize(kStatementCount);
    if (UserVersion() != kJournalSchemaVersion) Migrate();
  } catch (const JournalError& e) {
    sqlite3_close(std::exchange(db_, nullptr));
    // A journal written to is refused when damaged before SQLite sees it; one
    // read is said to be damaged first, as that is why SQLite cannot read it.
    const std::string damage = access == JournalAccess::kRead ? Damage() : "";
    if (damage.empty() || damage == e.what()) throw;
    throw JournalError(fmt::format("{}; {}", damage, e.what()));
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

void SqliteStore::Open(JournalAccess access) {
  writable_ = access == JournalAccess::kWrite;
  if (writable_) {
    // Writing on after a cut would bury the damage under new runs.
    if (std::string damage = JournalDamage(path_); !damage.empty()) throw JournalError(damage);
    const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    std::error_code ignored;  // sqlite3_open_v2 says why, if it matters
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
  }
  // One thread uses a store: SQLite's own locking per call is waste.
  const int flags = SQLITE_OPEN_NOMUTEX |
                    (writable_ ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY);
  if (sqlite3_open_v2(path_.c_str(), &db_, flags, nullptr) != SQLITE_OK) throw Error("open");
  // Two programs may write at once: wait for the other's transaction (they
  // are one segment long) rather than fail.
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  if (!writable_) return;
  UseWriteAheadLog();
  // FULL: a committed segment survives a power cut, not only a crash.
  Exec("PRAGMA synchronous = FULL");
}

SqliteStore::~SqliteStore() {
  statements_.clear();
  if (writable_) Checkpoint();
  // The last program to close the journal also removes the emptied log.
  sqlite3_close(db_);
}

void SqliteStore::Checkpoint() {
  // Best effort: what another program still reads stays in the log, for
  // that program's own close to fold in.
  sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

void SqliteStore::Exec(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) throw Error("open");
}

void SqliteStore::UseWriteAheadLog() {
  // Switching a new journal to WAL needs it to itself, and SQLite answers
  // "busy" at once rather than wait when another program is opening it
  // too (waiting could deadlock there); so this one step waits on its own.
  for (int waited = 0;; waited += kWalRetryMs) {
    const int rc = sqlite3_exec(db_, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return;
    if ((rc & 0xff) != SQLITE_BUSY || waited >= kBusyTimeoutMs) throw Error("open");
    sqlite3_sleep(kWalRetryMs);
  }
}

std::string SqliteStore::Setting(std::string_view name) {
  sqlite3_stmt* stmt = nullptr;
  std::string value;
  const std::string sql = fmt::format("PRAGMA {}", name);
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    if (text != nullptr) value = text;
  }
  sqlite3_finalize(stmt);
  return value;
}

int SqliteStore::UserVersion() {
  sqlite3_stmt* stmt = nullptr;
  int version = 0;
  if (sqlite3_prepare_v2(db_, "PRAGMA user_version", -1, &stmt, nullptr) != SQLITE_OK ||
      sqlite3_step(stmt) != SQLITE_ROW) {
    sqlite3_finalize(stmt);
    throw Error("read the schema version");
  }
  version = sqlite3_column_int(stmt, 0);
  sqlite3_finalize(stmt);
  return version;
}

void SqliteStore::Migrate() {
  // Another program may be migrating the same journal: ask again under the
  // write lock.
  Exec("BEGIN IMMEDIATE");
  try {
    int version = UserVersion();
    if (version > kJournalSchemaVersion) {
      throw JournalError(fmt::format(
          "the journal {} was made by a newer Tarnwick (schema {}, this one knows {})",
          QuotedForMessage(path_, kQuotedPathLength), version, kJournalSchemaVersion));
    }
    for (; version < kJournalSchemaVersion; ++version) {
      Exec(kSchemaSteps[version]);
      if (version == kIdentityStep) FillIdentities();
    }
    Exec(fmt::format("PRAGMA user_version = {}", kJournalSchemaVersion).c_str());
    Exec("COMMIT");
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

SqliteStore::Statement& SqliteStore::Prepared(int which) {
  auto& slot = statements_[static_cast<std::size_t>(which)];
  if (!slot) slot = std::make_unique<Statement>(*this, StatementText(which));
  return *slot;
}

template <typename Action>
void SqliteStore::InTransaction(int begin, Action&& action) {
  Prepared(begin).Run();
  try {
    action();
    Prepared(kCommit).Run();
  } catch (...) {
    try {
      Prepared(kRollback).Run();
    } catch (const JournalError&) {
      // The first error is the one to report.
    }
    throw;
  }
}

std::int64_t SqliteStore::BeginRun(const RunRecord& run) {
  std::int64_t id = 0;
  InTransaction(kBegin, [&] {
    const RunSettings& s = run.settings;
    Prepared(kInsertRun)
        .Bind(1, run.started)
        .Bind(2, run.version)
        .Bind(3, run.bench)
        .Bind(4, std::int64_t{run.simulated})
        .Bind(5, run.limits)
        .Bind(6, s.carrierText)
        .Bind(7, s.refText)
        .Bind(8, s.offsetText)
        .Bind(9, std::string(BandName(s.band800M ? 0 : 1)))
        .Bind(10, std::int64_t{s.averaging})
        .Bind(11, s.plan)
        .Bind(12, s.planText)
        .Bind(13, s.dialect)
        .Bind(14, run.uuid.empty() ? NewUuid() : run.uuid)
        .Bind(15, run.benchName)
        .Bind(16, ThisProcess())
        .Run();
    id = sqlite3_last_insert_rowid(db_);
  });
  return id;
}

void SqliteStore::PlanRun(std::int64_t id, const RunPlan& plan) {
  InTransaction(kBegin, [&] {
    Prepared(kPlan)
        .Bind(1, plan.carrierMHz)
        .Bind(2, plan.refLevelDbm)
        .Bind(3, plan.refOffsetDb)
        .Bind(4, static_cast<std::int64_t>(plan.segmentCount))
        .Bind(5, id)
        .Run();
  });
}

void SqliteStore::AddSegment(std::int64_t id, const SegmentRecord& segment) {
  const SegmentMeasurement& m = segment.m;
  InTransaction(kBegin, [&] {
    Statement& s = Prepared(kInsertSegment);
    s.Bind(1, id)
        .Bind(2, static_cast<std::int64_t>(m.index))
        .Bind(3, m.startHz)
        .Bind(4, m.stopHz)
        .Bind(5, m.peakHz)
        .Bind(6, m.peakDbm)
        .Bind(7, std::string(WaitName(m.wait)))
        .Bind(8, ResultLine(m))
        .Bind(9, m.note)
        .Bind(10, segment.verdict.limitDbm)
        .Bind(11, segment.verdict.limitDbm ? std::optional<double>(segment.verdict.marginDb)
                                           : std::nullopt)
        .Bind(12, std::string(segment.verdict.Name()))
        .Run();
  });
}

void SqliteStore::FinishRun(std::int64_t id, const RunRecord& run) {
  InTransaction(kBegin, [&] {
    Prepared(kFinish)
        .Bind(1, run.ended)
        .Bind(2, run.outcome)
        .Bind(3, run.message)
        .Bind(4, JoinedNotes(run.endNotes))
        .Bind(5, run.bench)
        .Bind(6, std::string(VerdictOf(run).word))
        .Bind(7, id)
        .Run();
    // In the transaction that ends the run: a finished run is never left
    // out of the queue, whenever the program stops.
    if (run.outcome != OutcomeName(RunOutcome::kBlankInput)) Queue(id);
  });
}

void SqliteStore::Queue(std::int64_t id) { Prepared(kQueue).Bind(1, id).Bind(2, UtcNow()).Run(); }

namespace {

template <typename Row>
RunRecord RunFromRow(Row& r) {
  RunRecord run;
  run.id = r.Int(0);
  run.started = r.Text(1);
  run.ended = r.Text(2);
  run.version = r.Text(3);
  run.bench = r.Text(4);
  run.simulated = r.Int(5) != 0;
  run.limits = r.Text(6);
  run.settings = {r.Text(7),  r.Text(8),  r.Text(9),  r.Text(10) == kBand800M, r.Int(11) != 0,
                  r.Text(19), r.Text(20), r.Text(21), {}};
  if (!r.IsNull(15)) {
    run.plan = RunPlan{r.Real(12), r.Real(13), r.Real(14), static_cast<std::size_t>(r.Int(15))};
  }
  run.outcome = r.Text(16);
  run.message = r.Text(17);
  run.endNotes = SplitNotes(r.Text(18));
  run.uuid = r.Text(22);
  run.benchName = r.Text(23);
  return run;
}

template <typename Row>
SegmentRecord SegmentFromRow(Row& s) {
  SegmentRecord seg;
  seg.m = {static_cast<std::size_t>(s.Int(0)), s.Real(1), s.Real(2), s.Real(3), s.Real(4),
           WaitFromName(s.Text(5)), s.Text(7)};
  if (!s.IsNull(8)) {
    seg.verdict.limitDbm = s.Real(8);
    seg.verdict.marginDb = s.Real(9);
  }
  return seg;
}

// Leaves a statement read part-way ready for its next use.
template <typename Statement>
class ResetOnExitOf {
 public:
  explicit ResetOnExitOf(Statement& s) : s_(s) {}
  ~ResetOnExitOf() { s_.Reset(); }
  ResetOnExitOf(const ResetOnExitOf&) = delete;
  ResetOnExitOf& operator=(const ResetOnExitOf&) = delete;

 private:
  Statement& s_;
};

}  // namespace

void SqliteStore::ListRuns(std::size_t last, const RunVisitor& visit) {
  ListMatching({}, last, visit);
}

void SqliteStore::BindFilter(Statement& s, const RunFilter& filter) {
  s.Bind(1, filter.benchName).Bind(2, filter.since).Bind(3, filter.before).Bind(4, filter.verdict);
}

void SqliteStore::ListMatching(const RunFilter& filter, std::size_t last, const RunVisitor& visit) {
  const std::int64_t count = last == 0 ? std::numeric_limits<std::int64_t>::max()
                                       : static_cast<std::int64_t>(last);
  // Without a filter, the statement that needs no sort.
  Statement& s = Prepared(filter.Empty() ? kListLast : kListMatching);
  if (filter.Empty()) {
    s.Bind(1, count - 1);
  } else {
    BindFilter(s, filter);
    s.Bind(5, count);
  }
  // One statement is one consistent view of the journal.
  ResetOnExitOf<Statement> done(s);
  while (s.Step()) {
    if (!visit(RunFromRow(s))) return;
  }
}

std::optional<RunRecord> SqliteStore::ReadRun(std::int64_t id) {
  Statement& r = Prepared(kLoadRun);
  r.Bind(1, id);
  ResetOnExitOf<Statement> runDone(r);
  if (!r.Step()) return std::nullopt;
  RunRecord run = RunFromRow(r);
  Statement& s = Prepared(kLoadSegments);
  s.Bind(1, id);
  while (s.Step()) run.segments.push_back(SegmentFromRow(s));
  return run;
}

std::optional<RunRecord> SqliteStore::LoadRun(std::int64_t id) {
  std::optional<RunRecord> run;
  // A run being written is seen whole or not at all.
  InTransaction(kBeginRead, [&] { run = ReadRun(id); });
  return run;
}

std::optional<std::int64_t> SqliteStore::RunIdOf(const std::string& uuid) {
  Statement& s = Prepared(kRunIdOf);
  s.Bind(1, uuid);
  ResetOnExitOf<Statement> done(s);
  if (!s.Step()) return std::nullopt;
  return s.Int(0);
}

void SqliteStore::EachRun(const RunVisitor& visit) { EachMatching({}, visit); }

void SqliteStore::EachMatching(const RunFilter& filter, const RunVisitor& visit) {
  // A run being written is seen whole or not at all.
  InTransaction(kBeginRead, [&] {
    Statement& r = Prepared(filter.Empty() ? kAllRuns : kAllMatching);
    if (!filter.Empty()) BindFilter(r, filter);
    Statement& s = Prepared(kAllSegments);
    ResetOnExitOf<Statement> runsDone(r), segmentsDone(s);
    constexpr int kRunIdColumn = 10;  // after the segment's own columns
    bool segmentAhead = s.Step();
    while (r.Step()) {
      RunRecord run = RunFromRow(r);
      // Segments of runs that are gone, or not chosen, are skipped.
      while (segmentAhead && s.Int(kRunIdColumn) < run.id) segmentAhead = s.Step();
      while (segmentAhead && s.Int(kRunIdColumn) == run.id) {
        run.segments.push_back(SegmentFromRow(s));
        segmentAhead = s.Step();
      }
      if (!visit(run)) return;
    }
  });
}

std::vector<std::int64_t> SqliteStore::AbandonedRuns() {
  std::vector<std::int64_t> ids;
  Statement& s = Prepared(kUnfinished);
  ResetOnExitOf<Statement> done(s);
  while (s.Step()) {
    if (!ProcessMayBeRunning(s.Text(1))) ids.push_back(s.Int(0));
  }
  return ids;
}

void SqliteStore::QueueRunsAsFound(const std::vector<std::int64_t>& ids) {
  for (const std::int64_t id : ids) {
    const std::optional<RunRecord> run = ReadRun(id);
    Prepared(kVerdict).Bind(1, std::string(VerdictOf(*run).word)).Bind(2, id).Run();
    Queue(id);
  }
}

std::size_t SqliteStore::QueueAbandonedRuns() {
  std::size_t queued = 0;
  // Under the write lock: the writer cannot finish the run between the look
  // and the queueing.
  InTransaction(kBegin, [&] {
    const std::vector<std::int64_t> ids = AbandonedRuns();
    QueueRunsAsFound(ids);
    queued = ids.size();
  });
  return queued;
}

std::vector<std::int64_t> SqliteStore::WaitingRuns(std::size_t most) {
  std::vector<std::int64_t> ids;
  Statement& s = Prepared(kWaiting);
  s.Bind(1, static_cast<std::int64_t>(most));
  while (s.Step()) ids.push_back(s.Int(0));
  return ids;
}

std::size_t SqliteStore::WaitingCount() {
  std::size_t count = 0;
  InTransaction(kBeginRead, [&] {
    Statement& s = Prepared(kWaitingCount);
    ResetOnExitOf<Statement> done(s);
    if (s.Step()) count = static_cast<std::size_t>(s.Int(0));
    count += AbandonedRuns().size();
  });
  return count;
}

void SqliteStore::MarkForwarded(const std::vector<std::int64_t>& ids) {
  const std::string now = UtcNow();
  InTransaction(kBegin, [&] {
    for (const std::int64_t id : ids) Prepared(kForwarded).Bind(1, now).Bind(2, id).Run();
  });
}

void SqliteStore::NoteLabAttempt(const LabAttempt& attempt) {
  InTransaction(kBegin, [&] {
    Prepared(kNoteAttempt).Bind(1, attempt.lab).Bind(2, attempt.tried).Bind(3, attempt.error).Run();
  });
}

std::optional<LabAttempt> SqliteStore::LastLabAttempt() {
  Statement& s = Prepared(kLastAttempt);
  ResetOnExitOf<Statement> done(s);
  if (!s.Step()) return std::nullopt;
  return LabAttempt{s.Text(0), s.Text(1), s.Text(2)};
}

void SqliteStore::FillIdentities() {
  // Every run kept before runs had ids gets one; finished ones are judged
  // and queued, and so are unfinished ones: no program of that age can
  // still be writing a journal of this one's.
  std::vector<std::int64_t> finished, unfinished;
  {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT id, outcome FROM runs", -1, &stmt, nullptr) != SQLITE_OK) {
      throw Error("read the runs");
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      const auto* outcome = sqlite3_column_text(stmt, 1);
      const std::int64_t id = sqlite3_column_int64(stmt, 0);
      (outcome == nullptr ? unfinished : finished).push_back(id);
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, "UPDATE runs SET run_uuid = ? WHERE id = ?", -1, &stmt, nullptr) !=
      SQLITE_OK) {
    throw Error("give the runs their ids");
  }
  for (const auto* ids : {&finished, &unfinished}) {
    for (const std::int64_t id : *ids) {
      const std::string uuid = NewUuid();
      sqlite3_bind_text(stmt, 1, uuid.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int64(stmt, 2, id);
      const int rc = sqlite3_step(stmt);
      sqlite3_reset(stmt);
      if (rc != SQLITE_DONE) {
        sqlite3_finalize(stmt);
        throw Error("give the runs their ids");
      }
    }
  }
  sqlite3_finalize(stmt);
  for (const std::int64_t id : finished) {
    const std::optional<RunRecord> run = ReadRun(id);
    Prepared(kVerdict).Bind(1, std::string(VerdictOf(*run).word)).Bind(2, id).Run();
    if (run->outcome != OutcomeName(RunOutcome::kBlankInput)) Queue(id);
  }
  QueueRunsAsFound(unfinished);
  Exec("CREATE UNIQUE INDEX runs_run_uuid ON runs (run_uuid)");
}

std::string SqliteStore::Damage() { return JournalDamage(path_); }

void SqliteStore::BackUpTo(const std::string& path) {
  ReplacingFile file(path);
  sqlite3* copy = nullptr;
  std::string problem;
  if (sqlite3_open_v2(file.temporary().c_str(), &copy,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK) {
    // All pages in one step: one consistent copy, which writers in WAL mode
    // do not hold up.
    sqlite3_backup* backup = sqlite3_backup_init(copy, "main", db_, "main");
    if (backup != nullptr) sqlite3_backup_step(backup, -1);
    if (sqlite3_backup_finish(backup) != SQLITE_OK || backup == nullptr) {
      problem = sqlite3_errmsg(copy);
    }
  } else {
    problem = copy != nullptr ? sqlite3_errmsg(copy) : "out of memory";
  }
  if (sqlite3_close(copy) != SQLITE_OK && problem.empty()) problem = "cannot close the copy";
  if (problem.empty()) problem = file.Commit();
  if (!problem.empty()) {
    throw JournalError(fmt::format("cannot back up the journal {} to {}: {}",
                                   QuotedForMessage(path_, kQuotedPathLength),
                                   QuotedForMessage(path, kQuotedPathLength), problem));
  }
}

}  // namespace tarnwick
