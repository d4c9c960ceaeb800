// The query's reply checks and the status wait, on a scripted analyser and a
// virtual clock.
#include <algorithm>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "analyser/builtin_commands.h"
#include "analyser/builtin_dialogue.h"
#include "analyser/query.h"
#include "analyser/status_wait.h"
#include "tests/support/fake_platform.h"
#include "tests/support/scripted_driver.h"

namespace tarnwick {
namespace {

using ::testing::HasSubstr;
using testing::FakePlatform;
using testing::ScriptedDriver;

struct Fixture : ::testing::Test {
  // The message of the failure a result carries, or "(no failure)".
  template <typename R>
  static std::string FailureOf(const R& result) {
    return result.ok() ? "(no failure)" : result.error().message;
  }
  int Written(std::string_view text) const {
    return static_cast<int>(std::count(driver.writes.begin(), driver.writes.end(), text));
  }
  ScriptedDriver driver;
  FakePlatform platform;
  AnalyzerBus bus{driver};
};

using Query = Fixture;

TEST_F(Query, ParsesOnlyTheBytesThisReadReceived) {
  std::deque<std::string> replies = {"1927500000\n", "30000000\n"};
  driver.responder = [&](std::string_view) -> std::optional<std::string> {
    std::string r = replies.front();
    replies.pop_front();
    return r;
  };
  std::string buffer(50, '\0');
  EXPECT_EQ(QueryValue(bus, "MF?", buffer).value(), 1927500000);
  EXPECT_EQ(QueryValue(bus, "MF?", buffer).value(), 30000000);
  // The buffer keeps its width and the old tail behind the short reply.
  EXPECT_EQ(buffer.size(), 50u);
  EXPECT_EQ(buffer.substr(0, 11), "30000000\n0\n");
}

TEST_F(Query, RepliesThatCannotBeTrustedAreFailures) {
  std::string buffer(50, '\0');
  struct Case {
    std::optional<std::string> reply;  // to every query
    std::string message;
  };
  const Case cases[] = {
      {std::nullopt,
       "ibrd of the reply to \"MF?\" from the analyser at GPIB0::8 failed with EABO (6, "
       "timeout or aborted)."},
      {"", "the reply to \"MF?\" from the analyser at GPIB0::8 was empty."},
      {"ERR\r\n", "has no number: \"ERR\\r\\n\""},
      {std::string("\0" "12\r\n", 5), "has no number: \"\\x0012\\r\\n\""},
      {" \r\n", "has no number"},
      {std::string(60, '7'), "was cut short at 50 bytes: \"7777"},
      {"1e999\r\n", "the reply to \"MF?\", \"1e999\\r\\n\", is too large for a number."},
  };
  for (const Case& c : cases) {
    driver.responder = [&](std::string_view) { return c.reply; };
    EXPECT_THAT(FailureOf(QueryValue(bus, "MF?", buffer)), HasSubstr(c.message));
  }
}

// --- the status wait ----------------------------------------------------------

struct Wait : Fixture {
  // Status byte replies: stbAt(seconds since the wait began).
  void Answer(std::function<std::string(double)> stbAt, std::string esr = "0\r\n") {
    driver.responder = [this, stbAt, esr](std::string_view c) -> std::optional<std::string> {
      if (c == cmd::kStatusByteQuery) return stbAt(platform.NowSeconds() - start);
      if (c == cmd::kEventStatusQuery) return esr;
      return std::nullopt;
    };
  }
  Result<int16_t> WaitAveraging() { return dialogue.WaitAveraging(); }
  BuiltinDialogue dialogue{bus, platform};
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
    EXPECT_EQ(WaitAveraging().value(), c.result) << c.stb << c.esr;
    EXPECT_EQ(Written("*ESR?"), c.esrQueries) << c.stb;
  }
}

TEST_F(Wait, TimeoutsAndOverflow) {
  Answer([](double) { return "0\r\n"; });
  EXPECT_EQ(WaitAveraging().value(), kWaitTimeout);
  EXPECT_GT(platform.NowSeconds() - start, 10.0);
  EXPECT_LT(platform.NowSeconds() - start, 10.02);
  // The byte arrives on the very pass that crosses the limit: still a timeout.
  start = platform.NowSeconds();
  Answer([](double t) { return t > 10.0 ? "128\r\n" : "0\r\n"; });
  EXPECT_EQ(WaitOperation(bus, platform, 10).value(), kWaitTimeout);
  Answer([](double) { return "70000\r\n"; });
  EXPECT_EQ(FailureOf(WaitAveraging()), "the status byte 70000 does not fit a 16-bit number.");
}

TEST_F(Wait, StopCheckEndsTheWaitAtOnce) {
  Answer([](double) { return "0\r\n"; });
  platform.SetStopCheck([this] { return platform.sleeps == 3; });
  EXPECT_EQ(WaitAveraging().value(), kWaitInterrupted);
  EXPECT_EQ(Written("*STB?"), 2);
}

// Error bits left from before the sweep are not the sweep's: the error
// queue tells what went wrong.
TEST_F(Wait, OperationCompleteEndsTheWaitWhateverBitsCameBefore) {
  std::deque<std::string> esr = {"16\n", "0\n", "17\n"};
  driver.responder = [&](std::string_view) {
    std::string reply = esr.front();
    esr.pop_front();
    return std::optional<std::string>(reply);
  };
  EXPECT_EQ(WaitOperationComplete(bus, platform, 10).value(), kWaitDone);
  EXPECT_EQ(Written("*ESR?"), 3);
}

TEST_F(Wait, SilentAnalyserIsAFailureAtOnce) {
  EXPECT_THAT(FailureOf(WaitAveraging()), HasSubstr("\"*STB?\""));
  EXPECT_LT(platform.NowSeconds() - start, 0.1);  // no ten seconds spent on it
}

}  // namespace
}  // namespace tarnwick
