// The adaptors people own, as the simulated adaptor's personalities: the
// set-up, identify and a whole run against every one give what the built-in
// simulator gives, and an analyser that never answers costs its timeout once.
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "analyser/dialect.h"
#include "analyser/identify.h"
#include "bus/driver_trace.h"
#include "drivers/prologix_driver.h"
#include "drivers/socket_driver.h"
#include "sim/simulated_driver.h"
#include "tests/support/adaptor_link.h"
#include "tests/support/fake_platform.h"
#include "tests/support/process.h"
#include "tests/support/recording_host.h"

namespace tarnwick::sim {
namespace {

using ::testing::HasSubstr;
using testing::FakePlatform;

// The built-in scene, or the one text describes.
Scene SceneOf(const char* text) { return *text == '\0' ? DefaultScene() : ParseScene(text, "t"); }

// A 2G run in the built-in dialect: how it ended; results gets the box.
RunEnd RunOn(GpibDriver& driver, Platform& platform, std::string* results = nullptr) {
  testing::RecordingHost host;
  AnalyzerBus bus(driver);
  const std::unique_ptr<BusAnalyser> analyser = MakeDialect(kBuiltinDialect, bus, platform);
  MeasurementRun run(*analyser, host, platform);
  run.AddObserver(host.writer);
  RunEnd end = run.OnStart();
  if (results != nullptr) *results = host.results;
  return end;
}

TEST(AdaptorPersonalities, EachSetsUpQuicklyIdentifiesAndRunsAsTheSimulator) {
  struct Row {
    std::string_view name;
    double setUpSeconds;  // at the most
    long notes;           // trace lines saying the read timeout was taken as set
    const char* timeout;  // as the failure of an analyser that never answers names it
  };
  const Row rows[] = {
      {"prologix", 0, 0, "its read timeout is 3000 ms"},
      {"quiet", 0, 1, "its read timeout is taken as set, 3000 ms"},
      {"no-savecfg", 0, 0, "its read timeout is 3000 ms"},
      {"short-timeout", 0, 0, "its read timeout is 500 ms"},
      {"eot-stored", 0, 0, "its read timeout is 3000 ms"},
      {"slow-ver", 0.61, 0, "its read timeout is 3000 ms"},
  };
  ASSERT_EQ(std::size(rows), std::size(kAdaptorPersonalities));
  FakePlatform reference;
  SimulatedDriver simulator(DefaultScene(), reference);
  std::string simulated;
  RunOn(simulator, reference, &simulated);

  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatform platform;
    const auto make = [&](const char* scene) {
      return drivers::PrologixDriver(
          std::make_unique<testing::AdaptorLink>(SceneOf(scene), platform,
                                                 *FindAdaptorPersonality(row.name)),
          "PRLGX-TCPIP::sim::8::INSTR", "TCP", platform);
    };
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    drivers::PrologixDriver setUp = make("");
    DriverTrace trace(setUp, platform, out);
    AnalyzerBus traced(trace);
    double start = platform.NowSeconds();
    EXPECT_TRUE(OpenAnalyser(traced).ok());
    EXPECT_LE(platform.NowSeconds() - start, row.setUpSeconds);
    const std::vector<std::string> lines = testing::ReadLines(out);
    std::fclose(out);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.starts_with("# \"++read_tmo_ms\""); }),
              row.notes);

    for (const char* scene : {"", "silent-after 0"}) {
      drivers::PrologixDriver identified = make(scene);
      AnalyzerBus bus(identified);
      start = platform.NowSeconds();
      const Result<Identity> identity = Identify(bus);
      // The set-up, the marker's ten seconds and a probe of "*IDN?", at the most.
      EXPECT_LE(platform.NowSeconds() - start, row.setUpSeconds + 10.31);
      ASSERT_TRUE(identity.ok()) << identity.error().message;
      EXPECT_THAT(identified.AdaptorVersion(), HasSubstr("GPIB-ETHERNET"));

      drivers::PrologixDriver run = make(scene);
      std::string results;
      start = platform.NowSeconds();
      const RunEnd end = RunOn(run, platform, &results);
      EXPECT_LE(platform.NowSeconds() - start, row.setUpSeconds + 10.31);
      if (*scene == '\0') {
        EXPECT_EQ(identity.value().dialect, kBuiltinDialect);
        EXPECT_EQ(results, simulated) << end.message;
      } else {
        EXPECT_EQ(identity.value().dialect, "");
        EXPECT_THAT(identity.value().silence, HasSubstr(row.timeout));
        EXPECT_THAT(end.message, HasSubstr(row.timeout));
      }
    }
  }
}

// The probe of "*IDN?" that may suggest another dialect is over in 0.3 s.
TEST(SilentAnalyser, OnARawSocketCostsItsTimeoutOnce) {
  const std::pair<const char*, const char*> cases[] = {
      {"silent-after 0", "within 10 s."},
      {"", "within 10 s. It answers \"*IDN?\" with \"Tarnwick,Simulated spectrum analyser,0,1.00\": "
           "it may speak SCPI (--dialect scpi)."},
  };
  for (const auto& [scene, ending] : cases) {
    FakePlatform platform;
    drivers::SocketDriver driver(std::make_unique<testing::InstrumentLink>(SceneOf(scene), platform),
                                 "TCPIP::sim::5025::SOCKET", platform);
    const double start = platform.NowSeconds();
    const RunEnd end = RunOn(driver, platform);
    EXPECT_LE(platform.NowSeconds() - start, 10.31);
    EXPECT_THAT(end.message, ::testing::EndsWith(ending));
  }
}

}  // namespace
}  // namespace tarnwick::sim
