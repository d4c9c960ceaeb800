#include "bus/analyzer_bus.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "bus/status_words.h"
#include "tests/support/scripted_driver.h"

namespace tarnwick {
namespace {

using ::testing::HasSubstr;
using testing::ScriptedDriver;

TEST(Registration, OnceAtTheFirstOperationAndAnsweredAsTheDriverSays) {
  struct Case {
    std::deque<int> answers;
    std::vector<std::string> calls;
    std::string_view message;  // empty: the program goes on
  };
  const Case cases[] = {
      {{0}, {"Register", "ibwrt SI", "ibwrt SI"}, ""},
      {{1, 0}, {"Register", "Unregister", "Register", "ibwrt SI", "ibwrt SI"}, ""},
      // The fresh registration's answer counts like the first.
      {{1, 2}, {"Register", "Unregister", "Register", "Unregister"}, kMsgNotMultiThreaded},
      {{1, 1}, {"Register", "Unregister", "Register", "Unregister"}, kMsgUnableToRegister},
      {{2}, {"Register", "Unregister"}, kMsgNotMultiThreaded},
      {{3}, {"Register", "Unregister"}, kMsgUnableToRegister},
      {{-1}, {"Register"}, kMsgUnknownRegistrationError},
  };
  for (const Case& c : cases) {
    ScriptedDriver driver;
    AnalyzerBus bus(driver);
    driver.registrationResults = c.answers;
    const Status first = bus.WriteText(1, "SI");
    const Status second = bus.WriteText(1, "SI");
    if (c.message.empty()) {
      EXPECT_TRUE(first.ok() && second.ok()) << c.answers.front();
      EXPECT_EQ(bus.GlobalsRegistered(), 1);
    } else {
      // A refusal ends the program, and is answered again without the driver.
      ASSERT_FALSE(first.ok());
      EXPECT_EQ(first.error().message, c.message);
      EXPECT_TRUE(first.error().endsProgram);
      ASSERT_FALSE(second.ok());
      EXPECT_EQ(second.error().message, c.message);
    }
    EXPECT_EQ(driver.calls, c.calls) << c.answers.front();
  }
}

TEST(StatusWords, CopiedAfterEveryCallAndAnErrorWordBeyond16BitsIsAFailure) {
  ScriptedDriver driver;
  AnalyzerBus bus(driver);
  // Without ERR the error word means nothing, however large.
  driver.idleError = 40000;
  EXPECT_TRUE(bus.WriteText(1, "SI").ok());
  driver.writeFailure = [](std::string_view text) -> std::optional<int32_t> {
    return text == "BIG" ? 40000 : ENOL;
  };
  const Status failed = bus.WriteText(1, "SI");
  EXPECT_EQ(bus.globals().LongStatus, kStatusErr | kStatusCmpl);
  EXPECT_EQ(bus.globals().ibsta, LowWordToInt(kStatusErr | kStatusCmpl));
  EXPECT_EQ(bus.globals().iberr, ENOL);
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.error().code, ENOL);
  EXPECT_EQ(failed.error().call, "ibwrt");
  EXPECT_EQ(failed.error().command, "SI");
  EXPECT_EQ(failed.error().resource, "GPIB0::8");
  const Status big = bus.WriteText(1, "BIG");
  ASSERT_FALSE(big.ok());
  EXPECT_EQ(big.error().message, "the driver's error word 40000 does not fit a 16-bit number.");
}

TEST(StatusWords, LowWordToIntKeepsTheLowSixteenBitsSigned) {
  const std::pair<int32_t, int16_t> cases[] = {
      {0x8000, -32768}, {0x12348000, -32768}, {-1, -1}, {0x0001FFFF, -1},
      {0x7FFF, 32767}, {0x7FFF7FFF, 32767}, {0x10001, 1}};
  for (const auto& [in, out] : cases) EXPECT_EQ(LowWordToInt(in), out) << in;
}

// The messages of failed calls are the run's tests'; the open is special:
// the descriptor comes back, and CheckOpen tells.
TEST(BusFailures, AFailedOpenNamesItsDescriptor) {
  ScriptedDriver driver;
  AnalyzerBus bus(driver);
  driver.descriptor = -1;
  const Result<int16_t> opened = bus.OpenDevice(0, 8, 0, 13, 1, 0);
  ASSERT_TRUE(opened.ok());
  EXPECT_EQ(opened.value(), -1);
  EXPECT_THAT(bus.CheckOpen(-1).error().message, HasSubstr("(descriptor -1, EDVR"));
}

TEST(StatusWords, TimeoutCodesInTheDriversSteps) {
  const std::pair<int, double> cases[] = {{0, 0},    {1, 10e-6}, {11, 1},  {13, 10},
                                          {16, 300}, {17, 1000}, {-1, 10}, {18, 10}};
  for (const auto& [code, seconds] : cases) EXPECT_DOUBLE_EQ(TimeoutSeconds(code), seconds) << code;
}

TEST(GpibErrors, NamesAndTheSystemErrorOfEdvr) {
  EXPECT_EQ(DescribeGpibError(EHDL), "EHDL (23, invalid descriptor)");
  EXPECT_EQ(DescribeGpibError(EDVR, 2), "EDVR (0, system error; errno 2, No such file or directory)");
  EXPECT_EQ(DescribeGpibError(25), "driver error 25");
}

}  // namespace
}  // namespace tarnwick
