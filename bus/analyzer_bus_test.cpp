#include "bus/analyzer_bus.h"

#include <deque>
#include <functional>
#include <optional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "bus/analyzer_commands.h"
#include "bus/leading_number.h"
#include "tests/support/fake_platform.h"
#include "tests/support/scripted_driver.h"

namespace tarnwick {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::FakePlatform;
using testing::ProgramEnded;
using testing::ScriptedDriver;

struct BusFixture : ::testing::Test {
  // The message of the BusFault that action throws, or "(no fault)".
  std::string FaultOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const BusFault& fault) {
      return fault.what();
    }
    return "(no fault)";
  }
  ScriptedDriver driver;
  FakePlatform platform;
  AnalyzerBus bus{driver, platform};
};

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
    FakePlatform platform;
    AnalyzerBus bus(driver, platform);
    driver.registrationResults = c.answers;
    try {
      bus.WriteText(1, "SI");
      bus.WriteText(1, "SI");
      EXPECT_EQ(bus.GlobalsRegistered(), 1);
      EXPECT_TRUE(c.message.empty()) << c.answers.front();
    } catch (const ProgramEnded&) {
      EXPECT_THAT(platform.messages, ElementsAre(std::string(c.message)));
    }
    // Nothing reaches the bus after a refusal.
    EXPECT_EQ(driver.calls, c.calls) << c.answers.front();
  }
}

TEST_F(BusFixture, StatusWordsAreCopiedAndAnErrorWordBeyond16BitsOverflows) {
  // Without ERR the error word means nothing, however large.
  driver.idleError = 40000;
  bus.SetFaultChecks(true);
  bus.WriteText(1, "SI");
  bus.SetFaultChecks(false);
  driver.writeFailure = [](std::string_view text) -> std::optional<int32_t> {
    return text == "BIG" ? 40000 : ENOL;
  };
  bus.WriteText(1, "SI");
  EXPECT_EQ(bus.globals().LongStatus, kStatusErr | kStatusCmpl);
  EXPECT_EQ(bus.globals().ibsta, LowWordToInt(kStatusErr | kStatusCmpl));
  EXPECT_EQ(bus.globals().iberr, ENOL);
  EXPECT_THROW(bus.WriteText(1, "BIG"), OverflowError);
}

TEST_F(BusFixture, QueryParsesOnlyTheBytesThisReadReceived) {
  std::deque<std::string> replies = {"1927500000\n", "30000000\n"};
  driver.responder = [&](std::string_view) -> std::optional<std::string> {
    std::string r = replies.front();
    replies.pop_front();
    return r;
  };
  std::string buffer(50, '\0');
  EXPECT_EQ(bus.QueryValue("MF?", buffer), 1927500000);
  EXPECT_EQ(bus.QueryValue("MF?", buffer), 30000000);
  // The buffer keeps its width and the old tail behind the short reply.
  EXPECT_EQ(buffer.size(), 50u);
  EXPECT_EQ(buffer.substr(0, 11), "30000000\n0\n");
}

TEST_F(BusFixture, FailuresAreFaultsOnlyWhenChecked) {
  bus.Analyzer = bus.OpenDevice(0, 8, 0, 13, 1, 0);
  std::string buffer(50, '\0');
  EXPECT_EQ(bus.QueryValue("MF?", buffer), 0);  // unchecked: nothing to read is 0
  bus.SetFaultChecks(true);
  struct Case {
    std::optional<std::string> reply;  // to every query
    long shortfall;
    std::string message;
  };
  const Case cases[] = {
      {std::nullopt, 0,
       "ibrd of the reply to \"MF?\" from the analyser at GPIB0::8 failed with EABO (6, "
       "timeout or aborted)."},
      {"", 0, "the reply to \"MF?\" from the analyser at GPIB0::8 was empty."},
      {"ERR\r\n", 0, "has no number: \"ERR\\r\\n\""},
      {std::string("\0" "12\r\n", 5), 0, "has no number: \"\\x0012\\r\\n\""},
      {" \r\n", 0, "has no number"},
      {std::string(60, '7'), 0, "was cut short at 50 bytes: \"7777"},
      {"1\r\n", 1, "ibwrt \"MF?\" to the analyser at GPIB0::8 sent only 2 of 3 bytes."},
  };
  for (const Case& c : cases) {
    driver.responder = [&](std::string_view) { return c.reply; };
    driver.writeShortfall = c.shortfall;
    EXPECT_THAT(FaultOf([&] { bus.QueryValue("MF?", buffer); }), HasSubstr(c.message));
  }
  driver.descriptor = -1;
  EXPECT_EQ(bus.OpenDevice(0, 8, 0, 13, 1, 0), -1);  // the open itself reports nothing
  EXPECT_THAT(FaultOf([&] { bus.CheckOpen(-1); }), HasSubstr("descriptor -1"));
}

TEST(GpibErrors, NamesAndTheSystemErrorOfEdvr) {
  EXPECT_EQ(DescribeGpibError(EHDL), "EHDL (23, invalid descriptor)");
  EXPECT_EQ(DescribeGpibError(EDVR, 2), "EDVR (0, system error; errno 2, No such file or directory)");
  EXPECT_EQ(DescribeGpibError(25), "driver error 25");
}

// --- averaging wait ---------------------------------------------------------

struct Wait : BusFixture {
  // Status byte replies: stbAt(seconds since the wait began).
  void Answer(std::function<std::string(double)> stbAt, std::string esr = "0\r\n") {
    driver.responder = [this, stbAt, esr](std::string_view c) -> std::optional<std::string> {
      if (c == cmd::kStatusByteQuery) return stbAt(platform.NowSeconds() - start);
      if (c == cmd::kEventStatusQuery) return esr;
      return std::nullopt;
    };
  }
  int Written(std::string_view text) const {
    return static_cast<int>(std::count(driver.writes.begin(), driver.writes.end(), text));
  }
  double start = platform.NowSeconds();
};

TEST_F(Wait, StatusAndEventBitsDecideTheResult) {
  struct Case {
    const char* stb;
    const char* esr;
    int16_t result;
    int esrQueries;
  };
  // Line-feed replies: read with the old tail, "4\n" after "160\n" would be 40.
  for (const Case& c : {Case{"128\r\n", "0\r\n", kWaitDone, 0}, Case{"32\r\n", "16\r\n", kWaitError, 1},
                        Case{"32\r\n", "4\r\n", kWaitDone, 1}, Case{"160\r\n", "8\r\n", kWaitError, 1},
                        Case{"160\n", "4\n", kWaitDone, 1}}) {
    driver.writes.clear();
    Answer([&](double) { return c.stb; }, c.esr);
    EXPECT_EQ(bus.WaitAveraging(), c.result) << c.stb << c.esr;
    EXPECT_EQ(Written("*ESR?"), c.esrQueries) << c.stb;
  }
}

TEST_F(Wait, DoneWhenTheOperationBitArrives) {
  Answer([](double t) { return t < 3 ? "0\r\n" : "128\r\n"; });
  EXPECT_EQ(bus.WaitAveraging(), kWaitDone);
  EXPECT_EQ(Written("*SRE 160"), 1);
  EXPECT_NEAR(platform.NowSeconds() - start, 3.0, 0.011);
  EXPECT_EQ(platform.pumps, platform.sleeps);  // events pumped on every pass
}

TEST_F(Wait, TimeoutsAndOverflow) {
  EXPECT_EQ(bus.WaitAveraging(), kWaitTimeout);  // no answer at all
  EXPECT_GT(platform.NowSeconds() - start, 10.0);
  EXPECT_LT(platform.NowSeconds() - start, 10.02);
  // The byte arrives on the very pass that crosses the limit: still a timeout.
  start = platform.NowSeconds();
  Answer([](double t) { return t > 10.0 ? "128\r\n" : "0\r\n"; });
  EXPECT_EQ(bus.WaitOperation(10), kWaitTimeout);
  Answer([](double) { return "70000\r\n"; });
  EXPECT_THROW(bus.WaitAveraging(), OverflowError);
}

TEST_F(Wait, StopCheckEndsTheWaitAtOnce) {
  Answer([](double) { return "0\r\n"; });
  bus.SetStopCheck([this] { return platform.sleeps == 3; });
  EXPECT_EQ(bus.WaitAveraging(), kWaitInterrupted);
  EXPECT_EQ(Written("*STB?"), 2);
}

TEST_F(Wait, SilentAnalyserIsAFaultWhenChecked) {
  bus.SetFaultChecks(true);
  EXPECT_THAT(FaultOf([&] { bus.WaitAveraging(); }), HasSubstr("\"*STB?\""));
  EXPECT_LT(platform.NowSeconds() - start, 0.1);  // no ten seconds spent on it
}

}  // namespace
}  // namespace tarnwick
