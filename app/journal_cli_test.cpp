// The journal as a user meets it through tarnwick-cli: runs recorded, read
// back, exported and judged against limits.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace tarnwick::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

ProcessResult Cli(std::vector<std::string> args, const std::vector<EnvChange>& env = {}) {
  return RunProcess(TARNWICK_CLI, args, env);
}

TEST(Journal, EveryRunIsRecordedAndShownAsTheBoxHadIt) {
  const std::string journal = (TestDir() / "j.sqlite").string();
  const std::string reg = TEST_LIB_REGISTERING;
  struct Case {
    std::vector<std::string> args;
    std::vector<EnvChange> env;
    const char* outcome;
  };
  const Case cases[] = {
      {{"--simulate", "--limit", "-40"}, {}, "completed"},
      {{"--simulate", "--carrier", " "}, {}, "blank"},
      {{"--simulate", "--carrier", "l940"}, {}, "refused"},
      {{"--gpib-library", reg, "--avg"}, {{"TEST_GPIB_AVERAGING_ERROR", "1"}}, "doubtful"},
      {{"--simulate", "--sim-scene", SCENES "/falls-silent.scene"}, {}, "stopped"},
  };
  std::vector<std::string> boxes;
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--journal", journal});
    boxes.push_back(Cli(args, c.env).out);
  }
  const ProcessResult runs = Cli({"runs", "--journal", journal});
  ASSERT_EQ(runs.status, 0) << runs.err;
  std::istringstream lines(runs.out);
  std::string line;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    ASSERT_TRUE(std::getline(lines, line)) << runs.out;
    EXPECT_THAT(line, HasSubstr(cases[i].outcome)) << line;
    EXPECT_EQ(line.find("simulated") != std::string::npos, cases[i].args[0] == "--simulate");
    const ProcessResult show = Cli({"show", std::to_string(i + 1), "--journal", journal});
    EXPECT_EQ(show.out, boxes[i]) << cases[i].outcome;
  }
  EXPECT_EQ(Cli({"runs", "--last", "1", "--journal", journal}).out, line + "\n");

  // Both exports, read back by Python's csv and json modules, hold every
  // result line with its verdict, and say which runs were simulated.
  const std::string csv = (TestDir() / "all.csv").string(), json = (TestDir() / "all.json").string();
  EXPECT_EQ(Cli({"export", "--all", "--journal", journal, "-o", csv}).status, 0);
  EXPECT_EQ(Cli({"export", "--all", "--format", "json", "--journal", journal, "-o", json}).status, 0);
  const ProcessResult read = RunProcess(PYTHON, {READ_EXPORTS, csv, json});
  ASSERT_EQ(read.status, 0) << read.err;
  const std::size_t split = read.out.find("--\n");
  EXPECT_EQ(read.out.substr(0, split), read.out.substr(split + 3));
  EXPECT_THAT(read.out, HasSubstr("1|4|yes|FAIL|3000MHz---4100MHz     3880.000MHz    -38.40dBm\n"));
  EXPECT_THAT(read.out, HasSubstr("1|1|yes|PASS|30MHz---1100MHz        970.000MHz    -57.90dBm\n"));
  EXPECT_THAT(read.out, HasSubstr("4|6|no||5000MHz---6100MHz     5000.000MHz    -45.30dBm\n"));

#ifdef TARNWICK_GUI
  EXPECT_EQ(Cli({"report", "99", "-o", (TestDir() / "r.pdf").string(), "--journal", journal}).status, 2);
#endif
  EXPECT_EQ(Cli({"show", "99", "--journal", journal}).status, 2);
  EXPECT_EQ(Cli({"export", "--journal", journal}).status, 2);
  EXPECT_EQ(Cli({"runs", "--journal", (TestDir() / "none.sqlite").string()}).status, 2);
  EXPECT_EQ(Cli({"show", "1", "--journal", "http://lab/db"}).status, 2);
}

#ifdef TARNWICK_GUI
// A long plan's report takes as many pages as its table needs: every row,
// then the picture, and each page numbered.
TEST(Journal, ReportsShowEveryRow) {
  const auto dir = TestDir();
  const std::string plan = (dir / "long.toml").string(), journal = (dir / "j.sqlite").string(),
                    pdf = (dir / "long.pdf").string();
  std::string text = "name = \"long\"\nnotch_mhz = 1\n";
  for (int mhz = 30; mhz < 670; mhz += 10) {
    text += "[[segment]]\nstart_mhz = " + std::to_string(mhz) + "\nstop_mhz = " + std::to_string(mhz + 10) + "\n";
  }
  std::ofstream(plan) << text;
  ASSERT_EQ(Cli({"--simulate", "--plan", plan, "--journal", journal}).status, 0);
  ASSERT_EQ(Cli({"report", "1", "-o", pdf, "--journal", journal}).status, 0);
  text = RunProcess("pdftotext", {pdf, "-"}).out;
  std::size_t row = 0;
  for (int mhz = 30; mhz < 670; mhz += 10) {
    row = text.find(std::to_string(mhz) + "MHz---" + std::to_string(mhz + 10) + "MHz");
    ASSERT_NE(row, std::string::npos) << mhz;
  }
  EXPECT_GT(text.find("peak without a limit"), row);
  EXPECT_THAT(text, ::testing::AllOf(HasSubstr("page 1 of 2"), HasSubstr("page 2 of 2")));
}
#endif

TEST(Journal, LimitsJudgeEveryReading) {
  const auto dir = TestDir();
  auto file = [&](const std::string& name, const std::string& text) {
    const std::string path = (dir / name).string();
    std::ofstream(path) << text;
    return path;
  };
  const std::string good = file("good.limits", "# GSM 1940\n30 1000 -36\n1000 6100 -30  # above\n");
  const std::string tight = file("tight.limits", "30 6100 -30\n3000 3100 -50\n");
  const std::string bad = file("bad.limits", "30 1000 -36\n\n1000 6l00 -30\n");
  const std::string empty = file("empty.limits", "# nothing\n");
  const std::string backwards = file("backwards.limits", "6100 1000 -30\n");
  const std::string bom = file("bom.limits", "\xEF\xBB\xBF" "30 6100 -30\n");
  const std::string hz = file("hz.limits", "30000000 6100000000 -30\n");
  const std::string loud = file("loud.limits", "30 6100 -30\n30 100 -301\n");
  // A journal cut short by 288 bytes, as a full disk or a careless copy leaves it.
  const std::string cut = (dir / "cut.sqlite").string();
  ASSERT_EQ(Cli({"--simulate", "--journal", cut}).status, 0);
  const auto whole = std::filesystem::file_size(cut);
  std::filesystem::resize_file(cut, whole - 288);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {{"--limit", "-40"}, 5, "FAIL: 1 of 6 segments over their limits (-40 dBm everywhere); "
                              "worst: 3880 MHz -38.40 dBm over its limit of -40 dBm by 1.60 dB"},
      {{"--limits", good}, 0, "PASS: 6 of 6 segments within limits"},
      // The strictest overlapping row rules 3000-4100 MHz.
      {{"--limits", tight}, 5, "FAIL: 1 of 6"},
      {{"--limits", bad}, 2, bad + ":3: \"6l00\" is not a number"},
      {{"--limits", empty}, 2, empty + ": holds no limits"},
      {{"--limits", backwards}, 2, backwards + ":1: the range 6100 to 1000 MHz is empty"},
      {{"--limits", (dir / "missing").string()}, 2, "Cannot read the limits file"},
#ifndef _WIN32
      {{"--limits", "/dev/zero"}, 2, "\"/dev/zero\": it is a character device, not a regular file"},
#endif
      {{"--limit", "nan"}, 2, "--limit: \"nan\" is not a number of dBm from -300 to 100"},
      {{"--limit", "100.01"}, 2, "\"100.01\" is not a number of dBm"},
      {{"--limit", "100"}, 0, "PASS: 6 of 6"},
      {{"--limits", loud}, 2, loud + ":2: \"-301\" is not a number of dBm from -300 to 100"},
      {{"--limits", bom}, 0, "PASS: 6 of 6"},
      {{"--limits", hz}, 2, "The limits file \"" + hz + "\" covers none of the plan's segments, "
                            "30 to 6100 MHz"},
      {{"--limit", "-40", "--avg", "--sim-scene", SCENES "/falls-silent.scene"}, 1, "Run stopped"},
      // A journal that cannot be opened is reported once; the run goes on.
      {{"--journal", (dir / "good.limits" / "j").string()}, 0, "cannot open"},
      {{"--journal", cut}, 0, "is damaged: its header counts "},
      {{"--journal", "http://lab"}, 2, "cannot use the journal address \"http://lab\".\nAccepted"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "--simulate");
    if (c.args[0] != "--journal") args.push_back("--no-journal");
    const ProcessResult r = Cli(args);
    EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << r.err;
    EXPECT_THAT(r.err, HasSubstr(c.err));
  }
  EXPECT_EQ(std::filesystem::file_size(cut), whole - 288);  // not written to
}

// Exports, backups and reports go anywhere but over the journal or over
// something that is not a regular file, and appear whole; run numbers are
// checked before anything is read.
TEST(Journal, OutputsNeverOverwriteIt) {
  const auto dir = TestDir();
  const std::string journal = (dir / "j.sqlite").string();
  ASSERT_EQ(Cli({"--simulate", "--journal", journal}).status, 0);
#ifdef TARNWICK_GUI
  // The window's one run for its picture, then the window closes.
  ASSERT_EQ(RunProcess(TARNWICK_GUI, {"-platform", "offscreen", "--simulate", "--journal", journal,
                                      "--screenshot", (dir / "window.png").string()})
                .status,
            0);
#endif
  // Each program folded the log in as it closed: the main file alone holds
  // every run.
  std::filesystem::copy_file(journal, dir / "plain-copy.sqlite");
  std::filesystem::create_hard_link(journal, dir / "other-name.sqlite");
  const std::string runs = Cli({"runs", "--journal", journal}).out;
  ASSERT_THAT(runs, HasSubstr("completed"));
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const std::string folder = (dir / "folder").string();
  std::filesystem::create_directory(folder);
  const Case cases[] = {
      {{"export", "--all", "-o", journal}, 2, "\"" + journal + "\" is the journal itself"},
      {{"export", "1", "-o", (dir / "other-name.sqlite").string()}, 2, "is the journal itself"},
      {{"export", "1", "-o", journal + "-wal"}, 2, "is the journal's -wal file: nothing was"},
      {{"backup", (dir / "." / "j.sqlite-shm").string()}, 2, "is the journal's -shm file"},
#ifdef TARNWICK_GUI
      {{"report", "1", "-o", (dir / "none" / ".." / "j.sqlite").string()}, 2, "is the journal itself"},
      {{"report", "1", "-o", folder}, 2, "\"" + folder + "\" is a directory, not a regular file: nothing"},
#endif
      {{"runs", "--last", "-1"}, 2, "--last: \"-1\" is not a whole number from 1 to"},
      {{"show", "99999999999999999999"}, 2, "\"99999999999999999999\" is not a whole number"},
      {{"export", "--all", "-o", (dir / "out.csv").string()}, 0, ""},
      {{"backup", (dir / "copy.sqlite").string()}, 0, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--journal", journal});
    const ProcessResult r = Cli(args);
    EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << r.err;
    EXPECT_THAT(r.err, HasSubstr(c.err));
  }
  for (const char* copy : {"j.sqlite", "plain-copy.sqlite", "copy.sqlite"}) {
    EXPECT_EQ(Cli({"runs", "--journal", "sqlite:" + (dir / copy).string()}).out, runs) << copy;
  }
  EXPECT_THAT(ReadFile(dir / "out.csv"), StartsWith("run,started,"));
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
  }
}

#ifndef _WIN32
TEST(Journal, AKilledRunKeepsEverySegmentItMeasured) {
  const auto dir = TestDir();
  const std::string scene = (dir / "slow.scene").string(), journal = (dir / "j.sqlite").string();
  std::ofstream(scene) << "tone 970000000 -57.9\naveraging-ms 5000\n";
  // Killed in the second segment's wait, once the first is in the journal.
  const ProcessResult r = RunProcess(
      "/bin/sh",
      {"-c", "CLI='" TARNWICK_CLI "'; J='" + journal + "'; \"$CLI\" --simulate --avg --sim-scene '" +
                 scene + "' --journal \"$J\" >/dev/null 2>&1 & pid=$!; "
                 "until \"$CLI\" show 1 --journal \"$J\" 2>/dev/null | grep -q MHz; do sleep 0.05; "
                 "done; kill -KILL $pid; wait $pid; \"$CLI\" show 1 --journal \"$J\"; "
                 "\"$CLI\" runs --journal \"$J\""});
  EXPECT_EQ(r.out.substr(0, r.out.find("     1  ")),
            "Spurious\r\n30MHz---1100MHz        970.000MHz    -57.90dBm\r\n");
  EXPECT_THAT(r.out, ::testing::ContainsRegex("     1  .* interrupted  simulated\n$")) << r.err;
}

// A journal on a read-only file system is read; an output nobody reads any
// more is an output that cannot be written (status 1), not a signal.
TEST(Journal, ReadOnlyJournalsAndClosedPipes) {
  const auto dir = TestDir();
  const std::string journal = (dir / "j.sqlite").string();
  ASSERT_EQ(Cli({"--simulate", "--journal", journal}).status, 0);
  const std::string runs = Cli({"runs", "--journal", journal}).out;
  const std::string vars = "CLI='" TARNWICK_CLI "' D='" + dir.string() + "' J='" + journal +
                           "'; export CLI D J; ";
  const ProcessResult pipe = RunProcess(
      "/bin/sh", {"-c", vars + "{ sleep 0.2; \"$CLI\" export --all --journal \"$J\"; "
                               "echo \"status $?\" >&2; } | true"});
  EXPECT_THAT(pipe.err, HasSubstr("cannot write standard output: Broken pipe\nstatus 1"));
  // A mount namespace of its own makes the folder read-only for the reader alone.
  const ProcessResult readOnly = RunProcess(
      "/bin/sh", {"-c", vars + "unshare -rm true 2>/dev/null || { echo skip; exit; }; "
                               "unshare -rm sh -c 'mount --bind -o ro \"$D\" \"$D\" && "
                               "\"$CLI\" runs --journal \"$J\"'"});
  if (readOnly.out == "skip\n") GTEST_SKIP() << "no user namespaces here";
  EXPECT_EQ(readOnly.out, runs) << readOnly.err;
}

TEST(Journal, TwoProgramsWriteOneJournalAtOnce) {
  const auto dir = TestDir();
  const std::string scene = (dir / "quick.scene").string(), journal = (dir / "j.sqlite").string();
  std::ofstream(scene) << "tone 970000000 -57.9\naveraging-ms 40\n";
  const std::string run = "\"$CLI\" --simulate --avg --sim-scene '" + scene + "' --journal '" +
                          journal + "' >/dev/null";
  const ProcessResult r = RunProcess(
      "/bin/sh", {"-c", "CLI='" TARNWICK_CLI "'; " + run + " & " + run + " & wait; \"$CLI\" "
                  "runs --journal '" + journal + "' | grep -c completed"});
  EXPECT_EQ(r.out, "2\n") << r.err;
}
#endif

}  // namespace
}  // namespace tarnwick::testing
