#include "bus/analyzer_bus.h"

#include <deque>
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
  ScriptedDriver driver;
  FakePlatform platform;
  AnalyzerBus bus{driver, platform};
};

// --- registration -----------------------------------------------------------

using Registration = BusFixture;

TEST_F(Registration, HappensOnceAtTheFirstOperation) {
  EXPECT_EQ(bus.GlobalsRegistered(), 0);
  bus.OpenDevice(0, 8, 0, 13, 1, 0);
  bus.WriteText(1, "SI");
  bus.SetOnline(1, 0);
  EXPECT_THAT(driver.calls,
              ElementsAre("Register", "ibdev(0, 8, 0, 13, 1, 0)", "ibwrt SI", "ibonl(1, 0)"));
  EXPECT_EQ(bus.GlobalsRegistered(), 1);
}

TEST_F(Registration, AlreadyRegisteredIsTakenOver) {
  driver.registrationResults = {1, 1};
  bus.WriteText(1, "SI");
  EXPECT_THAT(driver.calls, ElementsAre("Register", "Unregister", "Register", "ibwrt SI"));
  EXPECT_EQ(bus.GlobalsRegistered(), 1);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(Registration, RefusalsShowTheirMessageAndEndTheProgram) {
  struct Case {
    int rc;
    std::string_view message;
    bool unregisters;
  };
  for (const Case& c : {Case{2, kMsgNotMultiThreaded, true}, Case{3, kMsgUnableToRegister, true},
                        Case{4, kMsgUnknownRegistrationError, false},
                        Case{-1, kMsgUnknownRegistrationError, false}}) {
    ScriptedDriver d;
    FakePlatform p;
    AnalyzerBus b(d, p);
    d.registrationResults = {c.rc};
    EXPECT_THROW(b.OpenDevice(0, 8, 0, 13, 1, 0), ProgramEnded) << c.rc;
    EXPECT_THAT(p.messages, ElementsAre(std::string(c.message))) << c.rc;
    // Nothing reaches the bus after a refusal.
    if (c.unregisters) EXPECT_THAT(d.calls, ElementsAre("Register", "Unregister")) << c.rc;
    else EXPECT_THAT(d.calls, ElementsAre("Register")) << c.rc;
  }
}

// --- status words -----------------------------------------------------------

TEST_F(BusFixture, StatusWordsAreCopiedAfterEveryCall) {
  driver.writeFailure = [](std::string_view) -> std::optional<int32_t> { return ENOL; };
  bus.WriteText(1, "SI");
  EXPECT_EQ(bus.globals().LongStatus, kStatusErr | kStatusCmpl);
  EXPECT_EQ(bus.globals().ibsta, LowWordToInt(kStatusErr | kStatusCmpl));
  EXPECT_EQ(bus.globals().iberr, ENOL);
}

TEST_F(BusFixture, ErrorWordOutsideSixteenBitsIsAnOverflow) {
  driver.writeFailure = [](std::string_view) -> std::optional<int32_t> { return 40000; };
  EXPECT_THROW(bus.WriteText(1, "SI"), OverflowError);
}

// --- query ------------------------------------------------------------------

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

TEST_F(BusFixture, QueryWithNoReplyIsAFaultWhenChecked) {
  std::string buffer(50, '\0');
  EXPECT_EQ(bus.QueryValue("MF?", buffer), 0);  // unchecked: nothing to read is 0
  bus.SetFaultChecks(true);
  try {
    bus.QueryValue("MF?", buffer);
    ADD_FAILURE() << "no fault";
  } catch (const BusFault& fault) {
    EXPECT_THAT(fault.what(), HasSubstr("\"MF?\""));
    EXPECT_THAT(fault.what(), HasSubstr("EABO (6, timeout or aborted)"));
  }
}

TEST_F(BusFixture, EmptyReplyWithoutErrorIsAFaultWhenChecked) {
  driver.responder = [](std::string_view) { return std::optional<std::string>(""); };
  bus.SetFaultChecks(true);
  std::string buffer(10, '\0');
  EXPECT_THROW(bus.QueryValue("*STB?", buffer), BusFault);
}

TEST_F(BusFixture, NegativeDescriptorIsAFaultWhenChecked) {
  driver.descriptor = -1;
  EXPECT_EQ(bus.OpenDevice(0, 8, 0, 13, 1, 0), -1);
  bus.SetFaultChecks(true);
  EXPECT_THROW(bus.OpenDevice(0, 8, 0, 13, 1, 0), BusFault);
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
  std::vector<std::string> Queries() const {
    std::vector<std::string> q;
    for (const auto& w : driver.writes) {
      if (w.back() == '?') q.push_back(w);
    }
    return q;
  }
  double start = platform.NowSeconds();
};

TEST_F(Wait, DoneWhenTheOperationBitArrives) {
  Answer([](double t) { return t < 3 ? "0\r\n" : "128\r\n"; });
  EXPECT_EQ(bus.WaitAveraging(), kWaitDone);
  EXPECT_THAT(std::vector<std::string>(driver.writes.begin(), driver.writes.begin() + 3),
              ElementsAre("*CLS", "OPR 256", "*SRE 160"));
  EXPECT_EQ(std::count(driver.writes.begin(), driver.writes.end(), "*ESR?"), 0);
  EXPECT_NEAR(platform.NowSeconds() - start, 3.0, 0.011);
  EXPECT_EQ(platform.pumps, platform.sleeps);  // events pumped on every pass
}

TEST_F(Wait, EventStatusDecidesBetweenDoneAndError) {
  Answer([](double) { return "32\r\n"; }, "16\r\n");
  EXPECT_EQ(bus.WaitAveraging(), kWaitError);
  EXPECT_EQ(Queries().back(), "*ESR?");

  Answer([](double) { return "32\r\n"; }, "4\r\n");
  EXPECT_EQ(bus.WaitAveraging(), kWaitDone);
  Answer([](double) { return "160\r\n"; }, "8\r\n");
  EXPECT_EQ(bus.WaitAveraging(), kWaitError);
}

TEST_F(Wait, LineFeedRepliesDoNotJoinOldDigits) {
  // Read with the old tail, "4\n" after "160\n" would be 40: an error.
  Answer([](double) { return "160\n"; }, "4\n");
  EXPECT_EQ(bus.WaitAveraging(), kWaitDone);
}

TEST_F(Wait, NoAnswerForTenSecondsIsATimeout) {
  EXPECT_EQ(bus.WaitAveraging(), kWaitTimeout);
  EXPECT_GT(platform.NowSeconds() - start, 10.0);
  EXPECT_LT(platform.NowSeconds() - start, 10.02);
}

TEST_F(Wait, TimeIsJudgedBeforeTheStatusBits) {
  // The byte arrives on the very pass that crosses the limit: still a timeout.
  Answer([](double t) { return t > 10.0 ? "128\r\n" : "0\r\n"; });
  EXPECT_EQ(bus.WaitOperation(10), kWaitTimeout);
}

TEST_F(Wait, StatusByteOutsideSixteenBitsIsAnOverflow) {
  Answer([](double) { return "70000\r\n"; });
  EXPECT_THROW(bus.WaitAveraging(), OverflowError);
}

TEST_F(Wait, SilentAnalyserIsAFaultWhenChecked) {
  bus.SetFaultChecks(true);
  try {
    bus.WaitAveraging();
    ADD_FAILURE() << "no fault";
  } catch (const BusFault& fault) {
    EXPECT_THAT(fault.what(), HasSubstr("\"*STB?\""));
  }
  EXPECT_LT(platform.NowSeconds() - start, 0.1);  // no ten seconds spent on it
}

}  // namespace
}  // namespace tarnwick
