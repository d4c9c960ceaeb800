// The journal's promise to the run: a store that fails is reported once, and
// the run's values are kept all the same. The store table opens what an
// address names.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include <sqlite3.h>

#include "journal/run_journal.h"
#include "journal/sqlite_store.h"
#include "journal/store_table.h"
#include "results/block_text.h"
#include "tests/support/process.h"
#include "text/this_machine.h"

namespace tarnwick {
namespace {

// Fails every call from the nth on, as a full disk would.
class FailingStore : public ResultStore {
 public:
  explicit FailingStore(int failFrom, int& calls) : fail_from_(failFrom), calls_(calls) {}
  std::int64_t BeginRun(const RunRecord&) override { return Call(), 7; }
  void PlanRun(std::int64_t, const RunPlan&) override { Call(); }
  void AddSegment(std::int64_t, const SegmentRecord&) override { Call(); }
  void FinishRun(std::int64_t, const RunRecord&) override { Call(); }
  void ListRuns(std::size_t, const RunVisitor&) override {}
  std::optional<RunRecord> LoadRun(std::int64_t) override { return std::nullopt; }
  void EachRun(const RunVisitor&) override {}

 private:
  void Call() {
    if (++calls_ >= fail_from_) throw JournalError("disk full");
  }
  int fail_from_;
  int& calls_;
};

TEST(RunJournal, AFailingStoreIsReportedOnceAndTheRunKept) {
  for (int failFrom : {1, 3, 99}) {
    int calls = 0;
    std::vector<std::string> warnings;
    RunJournal journal({std::make_unique<FailingStore>(failFrom, calls), "", ""},
                       [&](const std::string& w) { warnings.push_back(w); });
    RunRecorder recorder;
    recorder.AddListener(journal);
    recorder.SetLimits(LimitTable::Everywhere(-50));
    recorder.RunStarted({"1940", "20", "0", false, false, "2G", "", "builtin", {}});
    recorder.RunPlanned({1940, 20, 0, 3});
    for (std::size_t i = 0; i < 3; ++i) {
      recorder.SegmentMeasured({i, 30e6, 1100e6, 970e6, -60.0 + 10 * static_cast<double>(i),
                                SweepWait::kNotAveraged, ""});
    }
    recorder.RunFinished({RunOutcome::kCompleted, "", {}, false});
    const int expectedCalls = std::min(failFrom, 6);
    EXPECT_EQ(calls, expectedCalls) << failFrom;  // nothing more after the failure
    EXPECT_EQ(warnings.size(), failFrom <= 6 ? 1u : 0u) << failFrom;
    EXPECT_EQ(recorder.record().segments.size(), 3u);
    EXPECT_EQ(recorder.record().Failures(), 1u);  // -40 over -50; -50 is on the limit
    EXPECT_EQ(recorder.record().OutcomeName(), "completed");
    EXPECT_EQ(recorder.record().id, failFrom > 1 ? 7 : 0);
  }
}

// Journals as earlier versions left them are read and brought forward; one
// from a newer version is refused rather than changed.
TEST(SqliteStore, OpensOlderJournalsAndRefusesNewerOnes) {
  struct Case {
    const char* name;
    const char* sql;  // run on the file before the store opens it
    bool opens;
  };
  const Case cases[] = {
      {"v1", "CREATE TABLE runs (id INTEGER PRIMARY KEY, started TEXT NOT NULL, ended TEXT,"
             " version TEXT NOT NULL, bench TEXT NOT NULL, simulated INTEGER NOT NULL,"
             " carrier_text TEXT NOT NULL, ref_text TEXT NOT NULL, offset_text TEXT NOT NULL,"
             " band TEXT NOT NULL, averaging INTEGER NOT NULL, carrier_mhz REAL, ref_dbm REAL,"
             " offset_db REAL, segment_count INTEGER, outcome TEXT, message TEXT, end_notes TEXT);"
             "CREATE TABLE segments (run_id INTEGER NOT NULL REFERENCES runs(id), idx INTEGER NOT"
             " NULL, start_hz REAL NOT NULL, stop_hz REAL NOT NULL, peak_hz REAL NOT NULL,"
             " peak_dbm REAL NOT NULL, wait TEXT NOT NULL, line TEXT NOT NULL, note TEXT NOT NULL,"
             " PRIMARY KEY (run_id, idx)) WITHOUT ROWID;"
             "INSERT INTO runs VALUES (1, 't', 't', 'Tarnwick 1.00', 'b', 0, '1940', '20', '0',"
             " '2G', 0, 1940, 20, 0, 1, 'stopped', 'm', '* Run stopped: x.' || char(13, 10) ||"
             " '* Closing the run failed: y.' || char(13, 10));"
             "INSERT INTO segments VALUES (1, 0, 3e7, 1.1e9, 9.7e8, -57.9, 'none', 'L', '');"
             "PRAGMA user_version = 1;",
       true},
      {"newer", "PRAGMA user_version = 99;", false},
      {"not-a-journal", "CREATE TABLE runs (x);", false},
  };
  for (const Case& c : cases) {
    const std::string path = (testing::TestDir() / (std::string(c.name) + ".sqlite")).string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, c.sql, nullptr, nullptr, nullptr), SQLITE_OK) << c.name;
    sqlite3_close(db);
    if (!c.opens) {
      EXPECT_THROW(SqliteStore{path}, JournalError) << c.name;
      continue;
    }
    SqliteStore store(path);
    // A committed segment survives a power cut, and two programs can write.
    EXPECT_EQ(store.Setting("synchronous"), "2");
    EXPECT_EQ(store.Setting("journal_mode"), "wal");
    const std::optional<RunRecord> run = store.LoadRun(1);
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(BlockText(*run),
              "Spurious\r\n30MHz---1100MHz        970.000MHz    -57.90dBm\r\n"
              "* Run stopped: x.\r\n* Closing the run failed: y.\r\n");
    EXPECT_FALSE(run->segments[0].verdict.limitDbm.has_value());
    EXPECT_EQ(run->settings.plan, "2G");  // what every run walked before plans
    EXPECT_EQ(run->settings.dialect, "builtin");
    // The fields as typed, each from its own column.
    EXPECT_EQ(run->settings.carrierText + "|" + run->settings.refText + "|" +
                  run->settings.offsetText,
              "1940|20|0");
    // Old runs get ids of their own, and wait for the lab like new ones.
    EXPECT_TRUE(IsUuid(run->uuid)) << run->uuid;
    EXPECT_EQ(store.RunIdOf(run->uuid), 1);
    EXPECT_EQ(store.WaitingRuns(9), std::vector<std::int64_t>{1});
    RunRecord next = *run;
    next.uuid.clear();  // a new run, with an id of its own
    EXPECT_EQ(store.BeginRun(next), 2);
  }
}

// A run is queued for the lab when it ends, unless blank; one never finished
// only once the program writing it is found gone, so that a run another
// program is measuring is never taken for interrupted.
TEST(SqliteStore, QueuesEndedRunsAndThoseLeftByProgramsGone) {
  const std::string path = (testing::TestDir() / "j.sqlite").string();
  const struct {
    const char* outcome;  // empty: never finished
    std::string writer;   // the program writing it; empty: this one
    bool queued;
  } cases[] = {
      {"completed", "", true},
      {"stopped", "", true},
      {"blank", "", false},
      {"", "", false},
      {"", HostName() + " 999999999 1", true},                         // no such process
      {"", ThisProcess().substr(0, ThisProcess().rfind(' ')) + " 1", true},  // this id, reused
      {"", "another-host 1 1", false},                                 // cannot be known
  };
  SqliteStore store(path);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::vector<std::int64_t> expected;
  for (const auto& c : cases) {
    RunRecord run;
    run.outcome = c.outcome;
    const std::int64_t id = store.BeginRun(run);
    if (*c.outcome != '\0') store.FinishRun(id, run);
    const std::string sql = "UPDATE runs SET writer = '" + c.writer + "' WHERE id = " + std::to_string(id);
    if (!c.writer.empty()) {
      ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    if (c.queued) expected.push_back(id);
  }
  sqlite3_close(db);
  EXPECT_EQ(store.WaitingCount(), expected.size());
  EXPECT_EQ(store.QueueAbandonedRuns(), 2u);
  EXPECT_EQ(store.WaitingRuns(99), expected);
  EXPECT_EQ(store.LoadRun(5)->OutcomeName(), "interrupted");
  store.MarkForwarded({expected[0], expected[2]});
  EXPECT_EQ(store.WaitingCount(), expected.size() - 2);
}

TEST(StoreTable, EachAddressGoesToItsRowOrIsRefusedWithTheForms) {
  // An address, and its file or its refusal; tarnwick-cli's tests refuse a URL.
  const std::pair<const char*, const char*> cases[] = {
      {"sqlite:/data/j.sqlite", "/data/j.sqlite"}, {"SQLite:j.sqlite", "j.sqlite"},
      // Neither a colon alone nor a drive's letter makes a URL.
      {"results:2026.sqlite", "results:2026.sqlite"}, {"C://data/j", "C://data/j"},
      // The lab keeps no file here, whichever way libpq's address is written.
      {"postgresql://lab/db", ""}, {"POSTGRES://lab", ""}, {" service = tarnwick", ""},
      {"host=lab dbname=t", ""}, {"a b=c.sqlite", "a b=c.sqlite"}, {"=x", "=x"},
      {"sqlite:", "cannot use the journal address \"sqlite:\": sqlite:PATH needs the journal's "
                  "path.\nAccepted forms:\n  sqlite:PATH "},
  };
  for (const auto& [address, file] : cases) {
    try {
      EXPECT_EQ(ParseStoreAddress(address).file, file);
    } catch (const JournalAddressError& e) {
      EXPECT_THAT(e.what(), ::testing::StartsWith(file));
    }
  }
}

#ifndef _WIN32
// Read-only, SQLite keeps the log's index in a -shm file it may not be
// allowed to make (and never follows a link to): the main file alone is read
// then, unless the log beside it holds what the main file lacks.
TEST(StoreTable, AJournalOpenedForReadingReadsWhatItsFileHolds) {
  const struct {
    const char *name, *log, *head, *error;  // error: none when empty
  } cases[] = {
      {"no-index", nullptr, nullptr, ""},
      {"no-index-empty-log", "", nullptr, ""},
      {"no-index-log", "unfolded", nullptr, "cannot read the schema version"},
      {"not-sqlite", nullptr, "Not SQLite", "is damaged: it does not start with a SQLite database header; "},
      {"missing", nullptr, nullptr, "no journal at"},
  };
  for (const auto& c : cases) {
    const std::string path = (testing::TestDir() / c.name).string();
    if (c.name != std::string("missing")) OpenJournal(path).store->BeginRun({});
    std::filesystem::create_symlink("elsewhere", path + "-shm");
    if (c.log != nullptr) std::ofstream(path + "-wal") << c.log;
    if (c.head != nullptr) std::fstream(path, std::ios::in | std::ios::out) << c.head;
    const JournalTarget read = OpenJournal("sqlite:" + path, JournalAccess::kRead);
    int runs = 0;
    if (read.store) read.store->ListRuns(0, [&runs](const RunRecord&) { return ++runs > 0; });
    EXPECT_EQ(runs, *c.error == '\0' ? 1 : 0) << c.name;
    EXPECT_THAT(read.openError, ::testing::HasSubstr(c.error)) << c.name;
  }
}
#endif

}  // namespace
}  // namespace tarnwick
