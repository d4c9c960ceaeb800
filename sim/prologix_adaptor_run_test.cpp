// The adaptors people own, as the simulated adaptor's personalities: the
// set-up, identify and a whole run against every one give what the built-in
// simulator gives, and an analyser that never answers costs its timeout
// once, not a second time for the probe of "*IDN?" that may suggest SCPI.
#include <cstdio>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "analyser/dialect.h"
#include "analyser/identify.h"
#include "session/dialects.h"
#include "bus/driver_trace.h"
#include "drivers/prologix_driver.h"
#include "sim/simulated_driver.h"
#include "tests/support/adaptor_link.h"
#include "tests/support/fake_platform.h"
#include "tests/support/process.h"
#include "tests/support/recording_host.h"

namespace tarnwick::sim {
namespace {

using ::testing::HasSubstr;
using testing::FakePlatform;

// A 2G run in the built-in dialect: how it ended; results gets the box.
RunEnd RunOn(GpibDriver& driver, Platform& platform, std::string* results = nullptr) {
  testing::RecordingHost host;
  AnalyzerBus bus(driver);
  const std::unique_ptr<BusAnalyser> analyser = DialectNamed(kBuiltinDialect).make(bus, platform);
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
    const char* timeout;  // as an analyser's silence is reported
  };
  const Row rows[] = {
      {"prologix", 0, 0, "within 10 s (its read timeout is 3000 ms"},
      {"quiet", 0, 1, "within 10 s (its read timeout is taken as set, 3000 ms"},
      {"no-savecfg", 0, 0, "within 10 s (its read timeout is 3000 ms"},
      {"short-timeout", 0, 0, "within 10 s (its read timeout is 500 ms"},
      {"eot-stored", 0, 0, "within 10 s (its read timeout is 3000 ms"},
      {"slow-ver", 0.61, 0, "within 10 s (its read timeout is 3000 ms"},
  };
  ASSERT_EQ(std::size(rows), std::size(kAdaptorPersonalities));
  FakePlatform reference;
  SimulatedDriver simulator(DefaultScene(), reference);
  std::string simulated;
  RunOn(simulator, reference, &simulated);

  for (const Row& row : rows) {
    for (const char* scene : {"", "silent-after 0"}) {
      SCOPED_TRACE(std::string(row.name) + scene);
      const bool silent = *scene != '\0';
      FakePlatform platform;
      drivers::PrologixDriver adaptor(
          std::make_unique<testing::AdaptorLink>(silent ? ParseScene(scene, "t") : DefaultScene(),
                                                 platform, *FindAdaptorPersonality(row.name)),
          "PRLGX-TCPIP::sim::8::INSTR", "TCP", platform);
      const std::string name = std::string(row.name) + (silent ? "-silent" : "") + ".trace";
      std::FILE* out = std::fopen((testing::TestDir() / name).string().c_str(), "w+");
      ASSERT_NE(out, nullptr);
      DriverTrace trace(adaptor, platform, out);
      AnalyzerBus bus(trace);
      // The set-up, a probe of "*IDN?" and, when nothing answers, the
      // marker's ten seconds, at the most.
      const double most = row.setUpSeconds + 0.31 + (silent ? 10 : 0);
      double start = platform.NowSeconds();
      const Result<Identity> identity = Identify(bus, DialectProbes());
      EXPECT_LE(platform.NowSeconds() - start, most);
      ASSERT_TRUE(identity.ok()) << identity.error().message;
      EXPECT_EQ(identity.value().dialect, silent ? "" : kBuiltinDialect);
      EXPECT_EQ(identity.value().silence.find(row.timeout) != std::string::npos, silent);
      EXPECT_THAT(adaptor.AdaptorVersion(), HasSubstr("GPIB-ETHERNET"));

      std::string results;
      start = platform.NowSeconds();
      const RunEnd end = RunOn(trace, platform, &results);
      EXPECT_LE(platform.NowSeconds() - start, most);
      EXPECT_THAT(silent ? end.message : results, HasSubstr(silent ? row.timeout : simulated));
      long notes = 0;  // once a set-up: identify's and the run's
      for (const std::string& line : testing::ReadLines(out)) notes += line.starts_with("# \"++");
      std::fclose(out);
      EXPECT_EQ(notes, 2 * row.notes);
    }
  }
}

}  // namespace
}  // namespace tarnwick::sim
