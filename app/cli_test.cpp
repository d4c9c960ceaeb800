// tarnwick-cli as a user runs it: a real process, its output and exit status.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs program with args (already shell-quoted) and an optional environment
// prefix such as "VAR=1".
Result RunProgram(const std::string& program, const std::string& args, const std::string& env) {
  const std::string dir = ::testing::TempDir();
  const std::string out = dir + "/cli_out", err = dir + "/cli_err";
  const std::string command =
      env + " '" + program + "' " + args + " >'" + out + "' 2>'" + err + "' </dev/null";
  const int raw = std::system(command.c_str());
  Result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = Slurp(out);
  r.err = Slurp(err);
  return r;
}

Result Cli(const std::string& args, const std::string& env = "") {
  return RunProgram(TARNWICK_CLI, args, env);
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t pos = 0; (pos = text.find(what, pos)) != std::string::npos; pos += what.size()) ++n;
  return n;
}

TEST(Cli, VersionAndUsage) {
  Result r = Cli("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Tarnwick 1.00\n");
  EXPECT_EQ(Cli("--band 900M").status, 2);
  EXPECT_EQ(Cli("--no-such-option").status, 2);
  EXPECT_EQ(Cli("--sim-scene x.scene").status, 2);  // needs --simulate
  r = Cli("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(r.out, HasSubstr("--gpib-library"));
}

TEST(Cli, RunsThroughADriverLibraryWithATrace) {
  const Result r = Cli("--gpib-library '" TEST_LIB_REGISTERING "' --trace -");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string line = "  1234.568MHz    -45.30dBm\r\n";
  EXPECT_EQ(r.out, "Spurious\r\n"
                   "30MHz---1100MHz     " + line +
                   "1000MHz---1927.5MHz " + line +
                   "1952.5MHz---3100MHz " + line +
                   "3000MHz---4100MHz   " + line +
                   "4000MHz---5100MHz   " + line +
                   "5000MHz---6100MHz   " + line);
  // The trace shows every command of the run, in order.
  std::size_t at = 0;
  for (const char* call :
       {"RegisterGpibGlobalsForThread() -> 0", "ibdev(0, 8, 0, 13, 1, 0) -> 24",
        "ibwrt(24, \"DY 0.1\", 6)", "ibwrt(24, \"RO ON RO 0DB\", 12)", "ibwrt(24, \"AGS\", 3)",
        "ibwrt(24, \"FB 1100000000HZ\", 15)", "ibwrt(24, \"FA 30000000HZ\", 13)",
        "ibwrt(24, \"TS\", 2)", "ibwrt(24, \"PS\", 2)", "ibrd(24, 50) -> \"1234567890\\r\\n\"",
        "ibwrt(24, \"FB 6100000000HZ\", 15)", "ibwrt(24, \"AAVG OFF\", 8)", "ibonl(24, 0)",
        "ibonl(0, 0)"}) {
    const std::size_t found = r.err.find(call, at);
    ASSERT_NE(found, std::string::npos) << call << "\n" << r.err;
    at = found;
  }
  EXPECT_EQ(Count(r.err, "ibwrt("), 7 + 6 * 6 + 1);
}

TEST(Cli, LinuxShapedLibraryAndAveraging) {
  const Result r = Cli("--gpib-library '" TEST_LIB_LINUX "' --avg --band 800M --carrier 830");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Count(r.out, "\r\n"), 4);
  EXPECT_THAT(r.out, HasSubstr("30MHz---817.5MHz"));
}

TEST(Cli, ExitStatusSaysHowTheRunEnded) {
  Result r = Cli("--gpib-library '" TEST_LIB_REGISTERING "' --carrier '   '");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");

  r = Cli("--gpib-library '" TEST_LIB_REGISTERING "' --carrier 1E303");
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("1E303"));

  r = Cli("--gpib-library /nonexistent/libgpib.so.0");
  EXPECT_EQ(r.status, 3);
  EXPECT_THAT(r.err, HasSubstr("Cannot load the GPIB driver library /nonexistent/libgpib.so.0"));

  r = Cli("", "TARNWICK_GPIB_LIBRARY='" TEST_LIB_REGISTERING "' TEST_GPIB_REGISTRATION=2");
  EXPECT_EQ(r.status, 3);
  EXPECT_THAT(r.err, HasSubstr("Operating System is not multi-threaded. Quitting the Program!"));
  EXPECT_EQ(r.out, "");
}

TEST(Cli, SimulatedRunSaysSoAndRunsThroughTheSimulatorLibrary) {
  Result r = Cli("--simulate");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.err, HasSubstr("simulated"));
  EXPECT_EQ(Count(r.out, "\r\n"), 7);

  // The same analyser loaded as a driver library through the real binding.
  const Result lib = Cli("--gpib-library '" TEST_LIB_SIMULATOR "'");
  EXPECT_EQ(lib.status, 0) << lib.err;
  EXPECT_EQ(lib.out, r.out);
  EXPECT_THAT(lib.err, Not(HasSubstr("simulated")));
}

#ifdef TARNWICK_GUI
// The window program answers its command line before it needs a display.
TEST(Gui, CommandLineIsAnsweredWithoutADisplay) {
  const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM";
  Result r = RunProgram(TARNWICK_GUI, "--version", noDisplay);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Tarnwick 1.00\n");
  r = RunProgram(TARNWICK_GUI, "--bogus", noDisplay);
  EXPECT_EQ(r.status, 2);
  EXPECT_THAT(r.err, HasSubstr("--bogus"));
  EXPECT_EQ(RunProgram(TARNWICK_GUI, "--sim-scene x.scene", noDisplay).status, 2);
  // Qt's own options still reach Qt.
  EXPECT_EQ(RunProgram(TARNWICK_GUI, "-platform offscreen --simulate --quit-after-first-paint", "").status, 0);
}
#endif

}  // namespace
