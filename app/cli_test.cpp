// tarnwick-cli and tarnwick as a user runs them: real processes, their output
// and exit status.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace tarnwick::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

ProcessResult Cli(const std::vector<std::string>& args, const std::vector<EnvChange>& env = {}) {
  return RunProcess(TARNWICK_CLI, args, env);
}

// Messages and the trace are text: Windows ends their lines with CR LF.
std::string Text(std::string s) {
  s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
  return s;
}

// The default run on the built-in scene, byte for byte as the results box gets it.
const std::string kDefaultSimulated =
    "Spurious\r\n"
    "30MHz---1100MHz        970.000MHz    -57.90dBm\r\n"
    "1000MHz---1927.5MHz   1926.844MHz    -47.25dBm\r\n"
    "1952.5MHz---3100MHz   1953.156MHz    -52.85dBm\r\n"
    "3000MHz---4100MHz     3880.000MHz    -38.40dBm\r\n"
    "4000MHz---5100MHz     4523.300MHz    -66.85dBm\r\n"
    "5000MHz---6100MHz     5820.000MHz    -52.75dBm\r\n";

TEST(Cli, SimulatedRunInProcessAndThroughTheSimulatorLibrary) {
  const ProcessResult r = Cli({"--simulate"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kDefaultSimulated);
  EXPECT_THAT(r.err, HasSubstr("simulated"));
  // The same lines when the run and the simulator speak SCPI.
  EXPECT_EQ(Cli({"--simulate", "--dialect", "scpi"}).out, kDefaultSimulated);

  // The same analyser loaded as a driver library through the real binding.
  const ProcessResult lib = Cli({"--gpib-library", TEST_LIB_SIMULATOR});
  EXPECT_EQ(lib.status, 0) << lib.err;
  EXPECT_EQ(lib.out, kDefaultSimulated);
  EXPECT_THAT(lib.err, Not(HasSubstr("simulated")));
}

TEST(Cli, IdentifySaysWhatAnswersAndTheDialectThatFits) {
  const std::pair<const char*, const char*> cases[] = {
      {"builtin", "instrument: no answer to \"*IDN?\", but it answers \"MF?\"\ndialect: builtin\n"},
      {"scpi", "instrument: \"Tarnwick,Simulated spectrum analyser,0,1.00\"\ndialect: scpi\n"},
  };
  for (const auto& [dialect, expected] : cases) {
    const ProcessResult r = Cli({"identify", "--simulate", "--dialect", dialect});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Text(r.out), expected);
  }
}

TEST(Cli, ExitStatusSaysHowTheRunEnded) {
  struct Case {
    std::vector<std::string> args;
    std::vector<EnvChange> env;
    int status;
    const char* err;  // a part of standard error
    bool anyOutput;
  };
  const std::string reg = TEST_LIB_REGISTERING;
  // An analyser that has no valid value for the first segment's marker level.
  const std::string overload = (TestDir() / "overload.scene").string();
  std::ofstream(overload) << "tone 970000000 9.91e37\n";
  const Case cases[] = {
      {{"--version"}, {}, 0, "", true},
      {{"--band", "900M"}, {}, 2, "900M", false},
      {{"--sim-scene", "x.scene"}, {}, 2, "--simulate", false},
      {{"--gpib-library", reg, "--carrier", "   "}, {}, 0, "blank", false},
      {{"--gpib-library", TEST_LIB_LINUX, "--avg", "--band", "800M", "--carrier", "830"},
       {}, 0, "", true},
      {{"--gpib-library", reg, "--carrier", "1E303"}, {}, 1, "1E303", false},
      {{"--gpib-library", reg, "--carrier", "l940"}, {}, 2,
       "The carrier \"l940\" is not a number in MHz.", false},
      {{"--gpib-library", reg, "--avg"}, {{"TEST_GPIB_AVERAGING_ERROR", "1"}}, 4,
       "6 of 6 readings are doubtful", true},
      // Doubt comes before the limits, in either dialect.
      {{"--simulate", "--sim-scene", overload, "--limit", "-40"}, {}, 4,
       "30MHz---1100MHz: the analyser reported no valid value for the marker level", true},
      {{"--simulate", "--sim-scene", overload, "--dialect", "scpi"}, {}, 4, "level, \"9.91e+37\"", true},
      {{"--gpib-library", "/nonexistent/libgpib.so.0"}, {}, 3,
       "Cannot load the GPIB driver library /nonexistent/libgpib.so.0", false},
      {{}, {{"TARNWICK_GPIB_LIBRARY", reg}, {"TEST_GPIB_REGISTRATION", "2"}}, 3,
       "Operating System is not multi-threaded. Quitting the Program!", false},
      // The simulator library refuses to register on a scene it cannot read.
      {{"--gpib-library", TEST_LIB_SIMULATOR}, {{"TARNWICK_SIM_SCENE", "/no/such.scene"}}, 3,
       "Unable to register GPIB thread globals", false},
  };
  for (const Case& c : cases) {
    const ProcessResult r = Cli(c.args, c.env);
    const std::string what = ::testing::PrintToString(c.args);
    EXPECT_EQ(r.status, c.status) << what << "\n" << r.err;
    EXPECT_THAT(r.err, HasSubstr(c.err)) << what;
    EXPECT_EQ(!r.out.empty(), c.anyOutput) << what << "\n" << r.out;
    EXPECT_THAT(r.err, Not(HasSubstr("\x1b"))) << what;  // no progress line off a terminal
  }
  EXPECT_EQ(Text(Cli({"--version"}).out), "Tarnwick 1.00\n");
}

// A 3.5 GHz transmitter on the shipped plan, found beside the program as in
// an installation; the user's plans come first after the built-in ones.
TEST(Cli, PlansAreFoundAndWalked) {
  const auto dir = TestDir();
#ifdef _WIN32
  const auto user = dir / "Tarnwick" / "plans";
#else
  const auto user = dir / "tarnwick" / "plans";
#endif
  std::filesystem::create_directories(user);
  std::ofstream(user / "bad.toml") << "name = \"b\"\nnotch_mhz = 1\n[[segment]]\nstart_mhz = 30\nstop_mzh = 100\n";
#ifndef _WIN32
  // Opened for reading, a FIFO would wait for a writer that never comes.
  ASSERT_EQ(mkfifo((user / "fifo.toml").c_str(), 0600), 0);
#endif
  for (const char* name : {"2G", "2G-12.75G"}) {
    std::ofstream(user / (name + std::string(".toml")))
        << "name = \"" << name << "\"\nnotch_mhz = 1\n[[segment]]\nstart_mhz = 30\nstop_mhz = 100\n";
  }
  const std::vector<EnvChange> env = {{"XDG_CONFIG_HOME", dir.string()}, {"APPDATA", dir.string()}};
  const std::vector<std::string> run35 = {"--simulate", "--sim-scene", SCENES "/3500mhz.scene",
                                          "--plan", "3.5G", "--carrier", "3500", "--no-journal"};
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;  // a part of standard output
    std::string err;  // a part of standard error
  } cases[] = {
      {run35, 5,
       "Spurious\r\n30MHz---1000MHz        875.000MHz    -66.30dBm\r\n"
       "1000MHz---2100MHz     1750.000MHz    -58.05dBm\r\n"
       "2000MHz---3287.5MHz   2625.000MHz    -61.40dBm\r\n"
       "3200MHz---3487.5MHz   3481.250MHz    -44.60dBm\r\n"
       "3512.5MHz---3900MHz   3523.750MHz    -49.15dBm\r\n",
       "limits: FAIL: 1 of 14 segments over their limits (plan 3.5G); worst: 7000 MHz -27.35 dBm"},
      {{"--simulate", "--sim-scene", SCENES "/3500mhz.scene", "--plan", "3.5G", "--carrier", "3500",
        "--limit", "-20"}, 0, "11800MHz---12750MHz  12165.120MHz    -69.80dBm\r\n",
       "limits: PASS: 14 of 14 segments within limits (-20 dBm everywhere)"},
      {{"plans"}, 2,
       "3.5G         14 segments  carriers between 3300 and 3800 MHz         ",
       "bad.toml:5:1: unknown key \"stop_mzh\""},
      {{"plans"}, 2, "2G.toml, hidden by built in\n", ""},
      {{"plans"}, 2, "2G-12.75G.toml, hidden by " + (user / "2G-12.75G.toml").string(), ""},
      {{"--plan", "nowhere"}, 2, "", "There is no plan named \"nowhere\". The plans are: 800M, 2G, 2G-12.75G, 3.5G.\n"},
      {{"--plan", (user / "bad.toml").string()}, 2, "", "bad.toml:5:1: unknown key"},
#ifndef _WIN32
      {{"plans"}, 2, "", "fifo.toml\": it is a FIFO, not a regular file"},
#endif
      {{"plans", "show", "3.5G", "--carrier", "1940"}, 2, "   4  3200 MHz to 1927.5 MHz\n",
       "Plan \"3.5G\" cannot leave out a carrier at 1940 MHz: it measures carriers between 3300 "
       "and 3800 MHz."},
  };
  for (const auto& c : cases) {
    const ProcessResult r = Cli(c.args, env);
    EXPECT_EQ(r.status, c.status) << c.args[0] << r.err;
    EXPECT_THAT(r.out, HasSubstr(c.out)) << c.args[0];
    EXPECT_THAT(Text(r.err), HasSubstr(c.err)) << c.args[0];
  }
}

#ifndef _WIN32
// Runs a shell script with CLI standing for tarnwick-cli.
ProcessResult Shell(const std::string& script) {
  return RunProcess("/bin/sh", {"-c", "CLI='" TARNWICK_CLI "'; " + script});
}

TEST(Cli, SignalsEndTheRunCleanly) {
  const auto dir = TestDir();
  const std::string scene = (dir / "slow.scene").string(), trace = (dir / "trace").string();
  std::ofstream(scene) << "averaging-ms 5000\n";
  for (const auto& [name, status] : {std::pair{"INT", 130}, std::pair{"TERM", 143}}) {
    // The signal comes once the averaging wait polls, however slowly the program started.
    std::filesystem::remove(trace);
    const ProcessResult r = Shell("\"$CLI\" --simulate --avg --sim-scene '" + scene + "' --trace '" +
                                  trace + "' & pid=$!; for i in $(seq 200); do grep -qs 'STB' '" + trace +
                                  "' && break; sleep 0.05; done; kill -" + name + " $pid; wait $pid");
    EXPECT_EQ(r.status, status) << r.err;
    EXPECT_EQ(r.out, "Spurious\r\n* Run interrupted: ended by SIG" + std::string(name) + ".\r\n");
    // The wait was cut short, then averaging off and both offline steps.
    const std::string t = ReadFile(trace);
    EXPECT_THAT(t.substr(t.rfind("*STB?")), ::testing::ContainsRegex(
        "AAVG OFF.*\n.*ibonl\\(1, 0\\).*\n.*ibonl\\(0, 0\\)"));
  }
}

TEST(Cli, OutputThatCannotBeWrittenIsReported) {
  ProcessResult r = Shell("\"$CLI\" --simulate >/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("cannot write the results to standard output: No space left"));
  r = Shell("\"$CLI\" --simulate --trace /dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("cannot write the trace: it is incomplete."));
  // A closed standard output must not hand its lines to the trace file.
  const std::string trace = (TestDir() / "trace").string();
  r = Shell("\"$CLI\" --simulate --trace '" + trace + "' >&-");
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("standard output is closed"));
  EXPECT_THAT(ReadFile(trace), Not(HasSubstr("Spurious")));
}
#endif

#ifdef TARNWICK_GUI
// The window program answers its command line before it needs a display.
TEST(Gui, CommandLineIsAnsweredWithoutADisplay) {
  const std::vector<EnvChange> noDisplay = {
      {"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}, {"QT_QPA_PLATFORM", std::nullopt}};
  ProcessResult r = RunProcess(TARNWICK_GUI, {"--version"}, noDisplay);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Tarnwick 1.00\n");
  EXPECT_EQ(RunProcess(TARNWICK_GUI, {"--bogus"}, noDisplay).status, 2);
  // Qt's own options still reach Qt; the plan is remembered in the test's own settings.
  EXPECT_EQ(RunProcess(TARNWICK_GUI, {"-platform", "offscreen", "--simulate", "--plan", "3.5G",
                                      "--quit-after-first-paint"},
                       {{"XDG_CONFIG_HOME", TestDir().string()}}).status, 0);
  EXPECT_THAT(ReadFile(TestDir() / "Tarnwick" / "Tarnwick.conf"), HasSubstr("/3.5G.toml"));
}
#endif

}  // namespace
}  // namespace tarnwick::testing
