// Whole runs of the real bus and measurement run against the simulated
// analyser: what the command-line golden run cannot reach.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include <fstream>

#include <fmt/format.h>

#include "analyser/builtin_dialogue.h"
#include "analyser/dialect.h"
#include "bus/analyzer_bus.h"
#include "bus/driver_trace.h"
#include "drivers/driver_library.h"
#include "measure/measurement_run.h"
#include "session/dialects.h"
#include "sim/scene.h"
#include "sim/simulated_driver.h"
#include "tests/support/fake_platform.h"
#include "tests/support/process.h"
#include "tests/support/recording_host.h"

namespace tarnwick::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::FakePlatform;
using testing::RecordingHost;

const std::string kScenesDir = TARNWICK_SCENES_DIR;

// Faults the simulated analyser never makes, put between it and the bus when
// a test asks: a write sent one byte short, a reply that arrives garbled.
struct Faulty : DriverWrapper {
  using DriverWrapper::DriverWrapper;
  int ibwrt(int ud, const void* buf, long cnt) override {
    return target().ibwrt(ud, buf, cnt - (std::string_view(static_cast<const char*>(buf), cnt) == shortWrite));
  }
  int ibrd(int ud, void* buf, long cnt) override {
    const int status = target().ibrd(ud, buf, cnt);
    if (garbledRead-- == 0) static_cast<char*>(buf)[0] = '#';
    return status;
  }
  std::string shortWrite;
  int garbledRead = -1;  // which read, counting from 0
};

// The simulated analyser speaks language; the run speaks dialect.
struct Bench {
  explicit Bench(Scene scene, Language language = Language::kBuiltin,
                 std::string_view dialect = kBuiltinDialect)
      : driver(std::move(scene), platform, language),
        analyser(DialectNamed(dialect).make(bus, platform)) {
    run.AddObserver(host.writer);
  }
  FakePlatform platform;
  SimulatedDriver driver;
  RecordingHost host;
  Faulty faulty{driver};
  AnalyzerBus bus{faulty};
  std::unique_ptr<BusAnalyser> analyser;
  MeasurementRun run{*analyser, host, platform};
};

// Every byte each dialogue puts on the bus, and every status word it gets
// back, for a plain 2G run and an averaged 800M one. The actual trace is left
// in the test's folder for comparing.
TEST(SimulatedRun, EachDialogueIsItsGoldenTrace) {
  for (const DialectRow& dialect : Dialects()) {
    for (const bool averaged800M : {false, true}) {
      const std::string name = fmt::format("{}-{}", dialect.name, averaged800M ? "800m-averaged" : "2g");
      Bench b(DefaultScene(), dialect.simLanguage);
      const std::string actual = (testing::TestDir() / (name + ".trace")).string();
      std::FILE* out = std::fopen(actual.c_str(), "w+");
      ASSERT_NE(out, nullptr);
      DriverTrace trace(b.driver, b.platform, out);
      AnalyzerBus bus(trace);
      const std::unique_ptr<BusAnalyser> analyser = dialect.make(bus, b.platform);
      MeasurementRun run(*analyser, b.host, b.platform);
      b.host.averaging = averaged800M ? 1 : 0;
      b.host.band800M = averaged800M;
      b.host.carrier = averaged800M ? "830" : "1940";
      EXPECT_EQ(run.OnStart().outcome, RunOutcome::kCompleted);
      const std::vector<std::string> lines = testing::ReadLines(out);
      std::fclose(out);
      std::ifstream golden(std::string(TARNWICK_GOLDEN_DIR) + "/" + name + ".trace");
      std::vector<std::string> expected;
      for (std::string line; std::getline(golden, line);) expected.push_back(line);
      EXPECT_EQ(lines, expected) << "compare " << actual;
    }
  }
}

// How a SCPI run ends when the analyser objects, is slow or falls silent,
// or the run is told to stop; and how a built-in run ends on a SCPI one.
TEST(SimulatedRun, EveryWayASCPIRunFails) {
  struct Case {
    const char* scene;
    std::string_view dialect;
    int averaging;
    RunOutcome outcome;
    const char* text;  // in the results, or else in the message
  };
  const Case cases[] = {
      {"scpi-error :DISP:WIND:TRAC:Y:RLEV -222 Data out of range", kScpiDialect, 0,
       RunOutcome::kStopped, "Run stopped: the set-up was refused by the analyser at GPIB0::8 "
       "with \"-222,\\\"Data out of range\\\"\"."},
      {"scpi-error CALC:MARK:MAX -200 Execution error\nscpi-error :INIT -221 Settings conflict",
       kScpiDialect, 0, RunOutcome::kDoubtful,
       "\r\n* the analyser reported \"-221,\\\"Settings conflict\\\"\" and 1 more error during "
       "this segment: this reading is doubtful\r\n"},
      {"averaging-ms 20000", kScpiDialect, 1, RunOutcome::kDoubtful,
       "\r\n* averaging did not finish within 10 s: this reading is from an unfinished sweep\r\n"},
      {"silent-after 3", kScpiDialect, 0, RunOutcome::kStopped, "the reply to \":CALC:MARK1:Y?\""},
      {"averaging-ms 20000", kScpiDialect, 1, RunOutcome::kAbandoned,
       "\r\n* Run interrupted: stopped.\r\n"},
      {"", kBuiltinDialect, 0, RunOutcome::kStopped,
       "It answers \"*IDN?\" with \"Tarnwick,Simulated spectrum analyser,0,1.00\": it may "
       "speak SCPI (--dialect scpi)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene);
    Bench b(ParseScene(c.scene, "t"), Language::kScpi, c.dialect);
    b.host.averaging = c.averaging;
    // The stop comes during the first sweep's wait.
    b.platform.SetStopCheck(
        [&] { return c.outcome == RunOutcome::kAbandoned && b.platform.sleeps > 5; });
    const RunEnd end = b.run.OnStart();
    EXPECT_EQ(end.outcome, c.outcome);
    EXPECT_THAT(b.host.results + end.message, HasSubstr(c.text));
  }
}

// A plain sweep takes the scene's time on the clock, in either language,
// and a stop during it abandons the segment unread.
TEST(SimulatedRun, APlainSweepTakesItsTimeAndAStopCutsItShort) {
  for (const DialectRow& dialect : Dialects()) {
    for (const bool stop : {false, true}) {
      SCOPED_TRACE(std::string(dialect.name) + (stop ? " stopped" : ""));
      Bench b(ParseScene("sweep-ms 300", "t"), dialect.simLanguage, dialect.name);
      b.platform.SetStopCheck([&] { return stop && b.platform.sleeps >= 5; });
      const double start = b.platform.NowSeconds();
      EXPECT_EQ(b.run.OnStart().outcome, stop ? RunOutcome::kAbandoned : RunOutcome::kCompleted);
      if (stop) {
        EXPECT_EQ(b.platform.sleeps, 5);
        EXPECT_THAT(b.host.Lines(), ElementsAre("Spurious", "* Run interrupted: stopped."));
      } else {
        EXPECT_GE(b.platform.NowSeconds() - start, 6 * 0.3 - 1e-6);
      }
    }
  }
}

TEST(SimulatedRun, InjectedFaultsStopTheRunAfterTheFirstSegment) {
  for (const auto& [shortWrite, garbledRead, message] :
       {std::tuple("FA 1000000000HZ", -1, "\"FA 1000000000HZ\" to the analyser at GPIB0::8 "
                                          "sent only 14 of 15 bytes."),
        std::tuple("", 3, "has no number: \"#47.25\\r\\n\"")}) {
    Bench b(DefaultScene());
    std::tie(b.faulty.shortWrite, b.faulty.garbledRead) = std::tuple(shortWrite, garbledRead);
    b.host.carrier = "1940";
    const RunEnd end = b.run.OnStart();
    EXPECT_EQ(end.outcome, RunOutcome::kStopped);
    EXPECT_THAT(end.message, HasSubstr(message));
    EXPECT_EQ(b.host.Lines().size(), 3u);  // heading, the first segment, the note
  }
}

// The shared library, loaded through the program's real driver binding. Its
// scene is read once per process, so this is the only test that loads it.
TEST(SimulatedLibrary, RunsThroughTheRealBindingWithTheSceneFromTheEnvironment) {
  testing::SetEnv(kSceneEnv, kScenesDir + "/lf-replies-800m.scene");
  FakePlatform platform;
  DriverLibrary library({TARNWICK_SIM_GPIB_LIBRARY});
  RecordingHost host;
  AnalyzerBus bus(library);
  BuiltinDialogue analyser(bus, platform);
  MeasurementRun run(analyser, host, platform);
  run.AddObserver(host.writer);
  host.carrier = "830";
  host.band800M = true;
  const RunEnd end = run.OnStart();
  EXPECT_EQ(end.outcome, RunOutcome::kCompleted);
  EXPECT_THAT(end.message, IsEmpty());
  EXPECT_THAT(host.Lines(),
              ElementsAre("Spurious",
                          "30MHz---817.5MHz       816.900MHz    -48.90dBm",
                          "842.5MHz---2100MHz    1660.000MHz    -41.70dBm",
                          "2000MHz---3100MHz     2490.000MHz    -55.35dBm"));
}

}  // namespace
}  // namespace tarnwick::sim
