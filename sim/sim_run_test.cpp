// Whole runs of the real bus and measurement run against the simulated
// analyser, checked line by line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "bus/analyzer_bus.h"
#include "bus/analyzer_commands.h"
#include "bus/driver_library.h"
#include "measure/measurement_run.h"
#include "sim/scene.h"
#include "sim/simulated_driver.h"
#include "tests/support/fake_platform.h"
#include "tests/support/recording_host.h"

namespace tarnwick::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::FakePlatform;
using testing::RecordingHost;

const std::string kScenesDir = TARNWICK_SCENES_DIR;

Scene Shipped(const std::string& name) { return LoadSceneFile(kScenesDir + "/" + name); }

// One bench: the simulated analyser, the real bus and run, a virtual clock.
struct Bench {
  explicit Bench(Scene scene) : driver(std::move(scene), platform) {}
  RunOutcome Run() { return run.OnStart(); }

  FakePlatform platform;
  SimulatedDriver driver;
  RecordingHost host;
  AnalyzerBus bus{driver, platform};
  MeasurementRun run{bus, host, platform};
};

// The default scene with the default inputs.
const std::vector<std::string> kDefault2G = {
    "Spurious",
    "30MHz---1100MHz        970.000MHz    -57.90dBm",
    "1000MHz---1927.5MHz   1926.844MHz    -47.25dBm",
    "1952.5MHz---3100MHz   1953.156MHz    -52.85dBm",
    "3000MHz---4100MHz     3880.000MHz    -38.40dBm",
    "4000MHz---5100MHz     4523.300MHz    -66.85dBm",
    "5000MHz---6100MHz     5820.000MHz    -52.75dBm",
};

TEST(SimulatedRun, DefaultInputsOnTheDefaultScene) {
  Bench bench(DefaultScene());
  EXPECT_EQ(bench.Run(), RunOutcome::kCompleted);
  EXPECT_EQ(bench.host.Lines(), kDefault2G);
  EXPECT_THAT(bench.platform.messages, IsEmpty());
  // A second START finds the analyser as the first left it.
  EXPECT_EQ(bench.Run(), RunOutcome::kCompleted);
  const auto lines = bench.host.Lines();
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 7, lines.end()), kDefault2G);
}

TEST(SimulatedRun, Band800MWithCarrier830OnTheDefaultScene) {
  Bench bench(DefaultScene());
  bench.host.carrier = "830";
  bench.host.band800M = true;
  EXPECT_EQ(bench.Run(), RunOutcome::kCompleted);
  // The 1940 MHz carrier itself is the loudest line of the second segment.
  EXPECT_THAT(bench.host.Lines(),
              ElementsAre("Spurious",
                          "30MHz---817.5MHz       307.200MHz    -68.45dBm",
                          "842.5MHz---2100MHz    1940.000MHz     20.00dBm",
                          "2000MHz---3100MHz     2586.667MHz    -63.15dBm"));
}

TEST(SimulatedRun, AveragedRunWaitsOneSweepPerSegmentAndReadsTheSame) {
  Bench bench(DefaultScene());
  bench.host.averaging = 1;
  const double start = bench.platform.NowSeconds();
  EXPECT_EQ(bench.Run(), RunOutcome::kCompleted);
  EXPECT_EQ(bench.host.Lines(), kDefault2G);
  // 300 ms a sweep, polled every 10 ms: each wait ends on the 30th poll.
  EXPECT_EQ(bench.platform.sleeps, 6 * 30);
  EXPECT_NEAR(bench.platform.NowSeconds() - start, 6 * 0.3, 1e-6);
}

TEST(SimulatedRun, AnAnalyserThatFallsSilentStopsTheRunAfterItsLastAnswer) {
  Bench bench(Shipped("falls-silent.scene"));
  EXPECT_EQ(bench.Run(), RunOutcome::kStopped);
  // Its driver first said "already registered"; the words were registered anew.
  EXPECT_EQ(bench.bus.GlobalsRegistered(), 1);
  EXPECT_THAT(bench.host.Lines(),
              ElementsAre("Spurious",
                          "30MHz---1100MHz        970.000MHz    -57.90dBm",
                          "1000MHz---1927.5MHz   1926.844MHz    -47.25dBm",
                          "1952.5MHz---3100MHz   1953.156MHz    -52.85dBm"));
  ASSERT_EQ(bench.platform.messages.size(), 1u);
  EXPECT_THAT(bench.platform.messages[0], HasSubstr("MF?"));
  EXPECT_THAT(bench.platform.messages[0], HasSubstr("EABO"));
}

// The shared library, loaded through the program's real driver binding. Its
// scene is read once per process, so this is the only test that loads it.
TEST(SimulatedLibrary, RunsThroughTheRealBindingWithTheSceneFromTheEnvironment) {
  const std::string scene = kScenesDir + "/lf-replies-800m.scene";
#if defined(_WIN32)
  ASSERT_EQ(_putenv_s("TARNWICK_SIM_SCENE", scene.c_str()), 0);
#else
  ASSERT_EQ(setenv("TARNWICK_SIM_SCENE", scene.c_str(), 1), 0);
#endif
  FakePlatform platform;
  DriverLibrary library({TARNWICK_SIM_GPIB_LIBRARY}, platform);
  RecordingHost host;
  AnalyzerBus bus(library, platform);
  MeasurementRun run(bus, host, platform);
  host.carrier = "830";
  host.band800M = true;
  EXPECT_EQ(run.OnStart(), RunOutcome::kCompleted);
  EXPECT_THAT(platform.messages, IsEmpty());
  EXPECT_THAT(host.Lines(),
              ElementsAre("Spurious",
                          "30MHz---817.5MHz       816.900MHz    -48.90dBm",
                          "842.5MHz---2100MHz    1660.000MHz    -41.70dBm",
                          "2000MHz---3100MHz     2490.000MHz    -55.35dBm"));
  // The library hands the count back through the caller's long word.
  bus.Analyzer = bus.OpenDevice(0, 8, 0, kTimeout10s, 1, 0);
  std::string buffer(50, '\0');
  EXPECT_EQ(bus.QueryValue(cmd::kMarkerLevel, buffer), -55.35);
  EXPECT_EQ(bus.globals().ibcntl, 7);  // "-55.35" and a line feed
  EXPECT_EQ(bus.globals().LongStatus, kStatusCmpl | kStatusEnd);
}

}  // namespace
}  // namespace tarnwick::sim
