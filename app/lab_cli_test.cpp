// The lab as tarnwick-cli shows it: made, fed from a bench's journal, and
// read, filtered and judged again like the bench's own journal.
#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/pg_server.h"
#include "tests/support/process.h"
#include "text/this_machine.h"

namespace tarnwick::testing {
namespace {

using ::testing::HasSubstr;

TEST(LabCli, ABenchForwardsAndTheLabReadsAsItsJournalDoes) {
  PgServer server;
  server.Sql("postgres", "CREATE DATABASE lab");
  const std::string lab = server.Conninfo("lab"), dir = TestDir().string();
  const std::string journal = (TestDir() / "j.sqlite").string();
  // The remembered lab goes to the test's own folder.
  const std::vector<EnvChange> env = {{"XDG_CONFIG_HOME", dir}};
  auto cli = [&env](const std::vector<std::string>& args) { return RunProcess(TARNWICK_CLI, args, env); };
  ASSERT_EQ(cli({"--simulate", "--journal", journal, "--limit", "-40"}).status, 5);
  ASSERT_EQ(cli({"--simulate", "--journal", journal, "--carrier", "1800"}).status, 0);
  const std::string localCsv = cli({"export", "--all", "--journal", journal}).out;
  const std::string localBlock = cli({"show", "1", "--journal", journal}).out;
  std::smatch uuid;
  ASSERT_TRUE(std::regex_search(localCsv, uuid, std::regex("[0-9a-f-]{36}")));
  const std::time_t now = std::time(nullptr);
  char today[11];
  std::strftime(today, sizeof today, "%Y-%m-%d", std::gmtime(&now));
  const std::string host = HostName();

  struct Case {
    std::vector<std::string> args;
    int status;
    std::string text;  // in what it writes
  };
  const Case cases[] = {
      {{"lab", "status", "--journal", journal}, 0, "lab: none (tarnwick-cli lab sync --lab CONNINFO"},
      {{"lab", "sync", "--journal", journal, "--lab", lab}, 1, "holds no Tarnwick tables"},
      {{"lab", "init", "--lab", lab}, 0, "is at schema 1 (it was at 0)"},
      {{"lab", "init", "--lab", lab}, 0, "is up to date (schema 1)"},
      {{"lab", "status", "--journal", journal}, 0, "waiting: 2 runs\nlast try: "},
      {{"lab", "sync", "--journal", journal}, 0, "2 runs forwarded to"},
      {{"lab", "status", "--journal", journal}, 0, "waiting: 0 runs\nlast try: "},
      {{"runs", "--lab", "--verdict", "FAIL"}, 0, "     1  "},
      {{"runs", "--journal", lab, "--bench", host, "--since", today, "--until", today}, 0, "     2  "},
      {{"show", uuid.str(), "--lab"}, 0, localBlock},
      {{"export", "--lab", "--all"}, 0, localCsv},
      {{"export", "--journal", journal, "--bench", host}, 0, localCsv},
      {{"rejudge", "--lab", "--all", "--limit", "-60"}, 5, "stored FAIL      now FAIL "},
      {{"rejudge", "--journal", journal, "2", "--limit", "30", "--format", "csv"}, 0, ",MEASURED,PASS,1,"},
      {{"rejudge", "--journal", journal, "--verdict", "FAIL", "--limit", "-30"}, 0, "stored FAIL      now PASS"},
      {{"runs", "--journal", "host=lab password=secret"}, 2, "~/.pgpass"},
      {{"runs", "--journal", lab, "--since", "2026-02-30"}, 2, "\"2026-02-30\" is not a date as YYYY-MM-DD"},
      {{"--simulate", "--journal", lab}, 0, "is only read here"},
  };
  for (const Case& c : cases) {
    const ProcessResult r = cli(c.args);
    EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << r.err;
    EXPECT_THAT(r.out + r.err, HasSubstr(c.text))
        << ::testing::PrintToString(c.args);
  }
  // Judging again changed nothing stored.
  EXPECT_EQ(cli({"export", "--lab", "--all"}).out, localCsv);
  // Filters that take nothing list nothing.
  EXPECT_EQ(cli({"runs", "--lab", "--until", "2000-01-01"}).out, "");
  EXPECT_EQ(cli({"runs", "--lab", "--bench", "bench'--"}).out, "");

  // With the lab down, a run measures as ever and waits; the reason is said
  // once, after its lines.
  server.Stop();
  const ProcessResult measured = cli({"--simulate", "--journal", journal, "--bench", "bench 9"});
  EXPECT_EQ(measured.status, 0);
  EXPECT_THAT(measured.err, ::testing::ContainsRegex(
                                "\ntarnwick-cli: lab: 1 run waiting, last try [0-9]{2}:[0-9]{2}: "
                                "could not connect to the lab [^\n]*\n$"));
  const ProcessResult down = cli({"lab", "sync", "--journal", journal});
  EXPECT_EQ(down.status, 1);
  EXPECT_THAT(down.err, HasSubstr("could not connect to the lab"));
  EXPECT_THAT(cli({"lab", "status", "--journal", journal}).out,
              ::testing::ContainsRegex("waiting: 1 run\nlast try: .*: could not connect to the lab"));
  // Once it is back, the next program takes the waiting run with its own.
  server.Start();
  EXPECT_EQ(cli({"--simulate", "--journal", journal, "--bench", "bench 9"}).status, 0);
  EXPECT_EQ(server.Sql("lab", "SELECT count(*) FROM runs WHERE bench_name = 'bench 9'"), "2\n");
  EXPECT_THAT(cli({"lab", "status", "--journal", journal}).out, HasSubstr("waiting: 0 runs"));
}

}  // namespace
}  // namespace tarnwick::testing
