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

// Every kind of call's line, as it works, is in the golden traces of whole
// runs (sim/sim_run_test.cpp); here the clock and a failed call.
TEST(DriverTrace, OneLinePerCallWithTimeResultAndStatus) {
  ScriptedDriver driver;
  driver.writeFailure = [](std::string_view text) -> std::optional<int32_t> {
    if (text == "BAD") return ENOL;
    return std::nullopt;
  };
  FakePlatform platform;
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  DriverTrace trace(driver, platform, out);
  AnalyzerBus bus(trace);

  bus.Analyzer = bus.OpenDevice(0, 8, 0, 13, 1, 0).value();
  platform.Advance(1.5);
  EXPECT_TRUE(bus.WriteText(bus.Analyzer, "ML?").ok());
  EXPECT_FALSE(bus.WriteText(bus.Analyzer, "BAD").ok());
  EXPECT_TRUE(bus.SetOnline(bus.Analyzer, 0).ok());

  EXPECT_THAT(ReadLines(out),
              ElementsAre("0.000000 RegisterGpibGlobalsForThread() -> 0",
                          "0.000000 ibdev(0, 8, 0, 13, 1, 0) -> 1  ibsta=0x0100 iberr=0 ibcnt=0",
                          "1.500000 ibwrt(1, \"ML?\", 3)  ibsta=0x0100 iberr=0 ibcnt=3",
                          "1.500000 ibwrt(1, \"BAD\", 3)  ibsta=0x8100 iberr=2 ibcnt=0",
                          "1.500000 ibonl(1, 0)  ibsta=0x0100 iberr=0 ibcnt=0"));
  std::fclose(out);
}

}  // namespace
}  // namespace tarnwick
