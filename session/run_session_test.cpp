#include "session/run_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/dialects.h"
#include "journal/run_journal.h"
#include "tests/support/fake_platform.h"
#include "tests/support/process.h"

namespace tarnwick {
namespace {

// One session, a run in each dialect: the simulated analyser follows the
// dialect each request asks for, and every run goes to the one journal.
TEST(RunSession, EachRunSpeaksItsDialectAndIsJournaled) {
  const std::string journal = (testing::TestDir() / "j.sqlite").string();
  testing::FakePlatform platform;
  RunRequest request;
  request.driver.simulate = true;
  request.journal = journal;
  request.benchName = "bench 7";
  RunSession session(request, platform);
  for (const DialectRow& row : Dialects()) {
    request.driver.dialect = row.name;
    EXPECT_EQ(session.Run(request).outcome, RunOutcome::kCompleted) << row.name;
    EXPECT_EQ(session.record().settings.dialect, row.name);
  }
  std::vector<std::string> journaled;
  OpenJournal(journal, JournalAccess::kRead).store->ListRuns(0, [&](const RunRecord& run) {
    journaled.push_back(run.settings.dialect);
    EXPECT_EQ(run.benchName, "bench 7");
    return true;
  });
  EXPECT_EQ(journaled, DialectNames());
}

}  // namespace
}  // namespace tarnwick
