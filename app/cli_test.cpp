// tarnwick-cli and tarnwick as a user runs them: real processes, their output
// and exit status.
#include <algorithm>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

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
      {{"--gpib-library", reg, "--band", "800M", "--carrier", "2050"}, {}, 2,
       "Band 800M cannot leave out", false},
      {{"--gpib-library", reg, "--avg"}, {{"TEST_GPIB_AVERAGING_ERROR", "1"}}, 4,
       "6 of 6 readings are doubtful", true},
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
    const ProcessResult r = Shell("\"$CLI\" --simulate --avg --sim-scene '" + scene + "' --trace '" +
                                  trace + "' & pid=$!; sleep 0.3; kill -" + name +
                                  " $pid; wait $pid");
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
  // Qt's own options still reach Qt.
  EXPECT_EQ(RunProcess(TARNWICK_GUI, {"-platform", "offscreen", "--simulate",
                                      "--quit-after-first-paint"}).status, 0);
}
#endif

}  // namespace
}  // namespace tarnwick::testing
