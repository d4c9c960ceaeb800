#include "bus/driver_trace.h"

#include <cstdio>
#include <optional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "bus/analyzer_bus.h"
#include "tests/support/fake_platform.h"
#include "tests/support/process.h"
#include "tests/support/scripted_driver.h"

namespace tarnwick {
namespace {

using ::testing::ElementsAre;
using testing::FakePlatform;
using testing::ReadLines;
using testing::ScriptedDriver;

// The calls of a whole run, as they work, are in the golden traces
// (sim/sim_run_test.cpp); here a registration taken over, the clock and a
// failed call.
TEST(DriverTrace, OneLinePerCallWithTimeResultAndStatus) {
  ScriptedDriver driver;
  driver.registrationResults = {1};  // someone registered before
  driver.writeFailure = [](std::string_view text) {
    return text == "BAD" ? std::optional<int32_t>(ENOL) : std::nullopt;
  };
  FakePlatform platform;
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  DriverTrace trace(driver, platform, out);
  AnalyzerBus bus(trace);

  bus.Analyzer = bus.OpenDevice(0, 8, 0, 13, 1, 0).value();
  platform.Advance(1.5);
  EXPECT_FALSE(bus.WriteText(bus.Analyzer, "BAD").ok());

  EXPECT_THAT(ReadLines(out),
              ElementsAre("0.000000 RegisterGpibGlobalsForThread() -> 1",
                          "0.000000 UnregisterGpibGlobalsForThread() -> 0",
                          "0.000000 RegisterGpibGlobalsForThread() -> 0",
                          "0.000000 ibdev(0, 8, 0, 13, 1, 0) -> 1  ibsta=0x0100 iberr=0 ibcnt=0",
                          "1.500000 ibwrt(1, \"BAD\", 3)  ibsta=0x8100 iberr=2 ibcnt=0"));
  std::fclose(out);
}

}  // namespace
}  // namespace tarnwick
