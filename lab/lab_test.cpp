// The lab against a real PostgreSQL of the test's own: every run arrives
// exactly once whatever fails on the way, a bench can add runs but never
// change them, and nothing a bench sends can change a statement.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "journal/sqlite_store.h"
#include "lab/background_forwarder.h"
#include "lab/lab_forwarder.h"
#include "lab/lab_store.h"
#include "results/verdicts.h"
#include "tests/support/pg_server.h"
#include "tests/support/process.h"
#include "text/this_machine.h"

namespace tarnwick::lab {
namespace {

using ::testing::HasSubstr;

// A finished run as a bench records it: segments judged against -40 dBm,
// the third over it.
RunRecord Finished(const std::string& bench, const std::string& message = "") {
  RunRecord run;
  run.started = "2026-12-07T01:04:40.499Z";
  run.ended = "2026-12-07T01:04:41.000Z";
  run.version = "Tarnwick 1.00";
  run.bench = "simulated (built-in scene)";
  run.benchName = bench;
  run.uuid = NewUuid();
  run.limits = "-40 dBm everywhere";
  run.settings = {"1940", "20", "0", false, false, "2G", "", "builtin", {}};
  run.plan = RunPlan{1940, 20, 0, 3};
  run.outcome = "completed";
  run.message = message;
  for (std::size_t i = 0; i < 3; ++i) {
    SegmentMeasurement m{i, 30e6 * static_cast<double>(i + 1), 1100e6, 970e6, -60.0 + 15 * static_cast<double>(i),
                         SweepWait::kNotAveraged, ""};
    run.segments.push_back({m, Judge(LimitTable::Everywhere(-40), m)});
  }
  return run;
}

std::string Journal(const std::string& name, int runs, const std::string& bench = "bench") {
  const std::string path = (testing::TestDir() / name).string();
  SqliteStore store(path);
  for (int i = 0; i < runs; ++i) {
    const RunRecord run = Finished(bench);
    const std::int64_t id = store.BeginRun(run);
    for (const SegmentRecord& s : run.segments) store.AddSegment(id, s);
    store.FinishRun(id, run);
  }
  return path;
}

// A database of the test's own in server, with the lab's tables.
std::string NewLab(const testing::PgServer& server, const std::string& name) {
  server.Sql("postgres", "CREATE DATABASE " + name);
  const std::string lab = server.Conninfo(name);
  InitLab(lab);
  return lab;
}

std::string Count(const testing::PgServer& server, const std::string& db, const std::string& what) {
  return server.Sql(db, "SELECT count(*), count(DISTINCT run_uuid) FROM " + what);
}

// The roles as the README gives them, run on the lab.
void MakeRoles(const testing::PgServer& server, const std::string& db) {
  const std::string readme = testing::ReadFile(TARNWICK_README);
  const std::size_t from = readme.find("-- Roles for a Tarnwick lab");
  ASSERT_NE(from, std::string::npos);
  server.Sql(db, readme.substr(from, readme.find("```", from) - from));
}

TEST(Forwarding, EveryRunArrivesExactlyOnceWhateverFails) {
  testing::PgServer server;
  enum Stage { kBeforeTrying, kBeforeCommit, kAfterCommit };
  struct Case {
    const char* name;
    Stage stage;  // when, in the second batch of ten
    void (*fault)(testing::PgServer& server);
    std::size_t forwarded;  // by the first try
  };
  const Case cases[] = {
      {"down", kBeforeTrying, [](testing::PgServer& s) { s.Stop(); }, 0},
      {"killed_in_batch", kBeforeCommit, [](testing::PgServer& s) { s.Kill(); }, 10},
      // The forwarder dies, or its acknowledgement is lost, between the
      // lab's commit and the journal's mark.
      {"killed_after_commit", kAfterCommit, [](testing::PgServer& s) { s.Kill(); }, 10},
      {"ack_lost", kAfterCommit, nullptr, 10},
  };
  for (const Case& c : cases) {
    const std::string lab = NewLab(server, c.name);
    const std::string journal = Journal(std::string(c.name) + ".sqlite", 25);
    ForwardSeams seams;
    if (c.stage == kBeforeTrying) c.fault(server);
    (c.stage == kBeforeCommit ? seams.beforeCommit : seams.afterCommit) = [&](std::size_t batch) {
      if (batch != 2 || c.stage == kBeforeTrying) return;
      if (c.fault != nullptr) c.fault(server);
      if (c.stage == kAfterCommit) throw JournalError("no acknowledgement");
    };
    LabForwarder faulty(journal, lab, seams);
    faulty.SetBatchSize(10);
    const ForwardOutcome broken = faulty.ForwardWaiting();
    EXPECT_EQ(broken.forwarded, c.forwarded) << c.name;
    EXPECT_EQ(broken.waiting, 25 - c.forwarded) << c.name;
    EXPECT_FALSE(broken.error.empty()) << c.name;
    if (c.fault != nullptr) server.Start();
    const ForwardOutcome again = LabForwarder(journal, lab).ForwardWaiting();
    EXPECT_TRUE(again.Done()) << c.name << again.error;
    EXPECT_EQ(again.forwarded, 25 - c.forwarded) << c.name;
    EXPECT_EQ(Count(server, c.name, "runs"), "25|25\n") << c.name;
    EXPECT_EQ(server.Sql(c.name, "SELECT count(*) FROM segments"), "75\n") << c.name;
  }
}

// The programs' forwarder: a try at once, another while runs wait (here
// every 20 ms), the failure told as the first once, and the runs in the lab
// as soon as it is back.
TEST(Forwarding, InTheBackgroundItTriesAgainWhileRunsWait) {
  testing::PgServer server;
  const std::string lab = NewLab(server, "later");
  const std::string journal = Journal("later.sqlite", 3);
  server.Stop();
  std::mutex mutex;
  std::vector<ForwardOutcome> told;
  int first = 0;
  std::condition_variable changed;
  auto waitFor = [&](auto done) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(20), [&] { return done(); });
  };
  BackgroundForwarder forwarder(
      journal, lab,
      [&](const ForwardOutcome& outcome, bool firstFailure) {
        const std::lock_guard<std::mutex> lock(mutex);
        told.push_back(outcome);
        first += firstFailure;
        changed.notify_all();
      },
      std::chrono::milliseconds(20));
  ASSERT_TRUE(waitFor([&] { return told.size() >= 3; }));
  server.Start();
  ASSERT_TRUE(waitFor([&] { return told.back().Done(); }));
  EXPECT_EQ(first, 1);
  EXPECT_EQ(told.front().waiting, 3u);
  EXPECT_THAT(told.front().error, HasSubstr("could not connect to the lab"));
  EXPECT_EQ(Count(server, "later", "runs"), "3|3\n");
  // A run recorded later goes when the program asks.
  Journal("later.sqlite", 1);
  forwarder.Poke();
  forwarder.Finish();
  EXPECT_EQ(Count(server, "later", "runs"), "4|4\n");
}

TEST(Forwarding, EightBenchesAtOnceAsTheBenchRole) {
  testing::PgServer server;
  const std::string lab = NewLab(server, "lab");
  MakeRoles(server, "lab");
  server.Sql("lab", "ALTER ROLE bench4 PASSWORD 'pw'");
  std::vector<std::thread> benches;
  std::vector<ForwardOutcome> outcomes(8);
  for (int b = 0; b < 8; ++b) {
    const std::string journal = Journal("bench" + std::to_string(b), 50, "bench" + std::to_string(b));
    benches.emplace_back([&, journal, b] {
      LabForwarder forwarder(journal, server.Conninfo("lab", "bench4") + " password=pw");
      forwarder.SetBatchSize(7);
      outcomes[static_cast<std::size_t>(b)] = forwarder.ForwardWaiting();
    });
  }
  for (std::thread& t : benches) t.join();
  for (const ForwardOutcome& o : outcomes) EXPECT_TRUE(o.Done()) << o.error;
  EXPECT_EQ(Count(server, "lab", "runs"), "400|400\n");
  EXPECT_EQ(server.Sql("lab", "SELECT count(DISTINCT bench_name) FROM runs WHERE verdict = 'FAIL'"), "8\n");

  // The record is append-only for a bench, and read-only for a reader.
  server.Sql("lab", "ALTER ROLE quality PASSWORD 'pw'");
  for (const char* role : {"bench4", "quality"}) {
    PgConnection as(server.Conninfo("lab", role) + " password=pw", "lab");
    for (const char* sql : {"UPDATE runs SET verdict = 'PASS'", "DELETE FROM segments",
                            "DELETE FROM runs", "UPDATE segments SET peak_dbm = -99"}) {
      EXPECT_THROW(as.Exec("change", sql), JournalError) << role << sql;
    }
    EXPECT_EQ(as.Exec("read", "SELECT count(*) FROM runs").Text(0, 0), "400");
  }
  EXPECT_EQ(server.Sql("lab", "SELECT count(*) FROM runs WHERE verdict = 'FAIL'"), "400\n");
}

TEST(Forwarding, ALabThatRefusesLeavesTheRunsQueuedAndSaysWhy) {
  testing::PgServer server;
  const std::string lab = NewLab(server, "lab");
  const std::string newer = NewLab(server, "newer");
  server.Sql("newer", "UPDATE tarnwick_lab_schema SET version = 99");
  MakeRoles(server, "lab");
  server.Sql("lab", "ALTER ROLE bench4 PASSWORD 'right'");
  const struct {
    std::string lab, error;
  } cases[] = {
      {server.Conninfo("lab", "bench4") + " password=wrong", "password authentication failed"},
      {server.Conninfo("nowhere"), "database \"nowhere\" does not exist"},
      {newer, "was made by a newer Tarnwick (schema 99, this one knows 1): it is left alone"},
      {server.Conninfo("postgres"), "holds no Tarnwick tables: make them with tarnwick-cli lab init"},
  };
  const std::string journal = Journal("j.sqlite", 3);
  for (const auto& c : cases) {
    const ForwardOutcome o = LabForwarder(journal, c.lab).ForwardWaiting();
    EXPECT_THAT(o.error, HasSubstr(c.error));
    EXPECT_EQ(o.waiting, 3u);
    EXPECT_EQ(ReadQueueState(journal).lastError, o.error);
    EXPECT_THAT(WaitingLine(o.waiting, o.tried, o.error),
                ::testing::MatchesRegex("lab: 3 runs waiting, last try [0-2][0-9]:[0-5][0-9]: .*"));
  }
  EXPECT_THROW(InitLab(newer), JournalError);
  EXPECT_EQ(server.Sql("newer", "SELECT version FROM tarnwick_lab_schema"), "99\n");
}

// A bench's text reaches the lab as the exports have it: quotes and control
// characters kept, bytes that are not UTF-8 as U+FFFD, never as SQL.
TEST(Forwarding, HostileTextIsStoredAsTextAndReadBackTheSame) {
  testing::PgServer server;
  const std::string lab = NewLab(server, "lab");
  const std::string journal = (testing::TestDir() / "j.sqlite").string();
  const std::pair<std::string, std::string> cases[] = {
      {"b'); DROP TABLE runs; --", "it said \"no\"\\"},
      {"tab\there\x01\x7f", std::string("nul\0after", 9)},
      {"bad\xff\xfe utf8", "cut \xe2\x82"},
  };
  {
    SqliteStore store(journal);
    for (const auto& [bench, message] : cases) {
      const RunRecord run = Finished(bench, message);
      store.FinishRun(store.BeginRun(run), run);
    }
  }
  ASSERT_TRUE(LabForwarder(journal, lab).ForwardWaiting().Done());
  LabStore read(lab);
  std::vector<RunRecord> runs;
  read.EachRun([&runs](const RunRecord& r) { return runs.push_back(r), true; });
  ASSERT_EQ(runs.size(), 3u);
  const std::string expected[][2] = {
      {"b'); DROP TABLE runs; --", "it said \"no\"\\"},
      {"tab\there\x01\x7f", "nul\xEF\xBF\xBD" "after"},
      {"bad\xEF\xBF\xBD\xEF\xBF\xBD utf8", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(runs[i].benchName, expected[i][0]);
    EXPECT_EQ(runs[i].message, expected[i][1]);
    EXPECT_EQ(read.RunIdOf(runs[i].uuid), runs[i].id);
  }
}

}  // namespace
}  // namespace tarnwick::lab
