#include "measure/measurement_run.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "bus/analyzer_commands.h"
#include "tests/support/fake_platform.h"
#include "tests/support/recording_host.h"
#include "tests/support/scripted_driver.h"

namespace tarnwick {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::FakePlatform;
using testing::RecordingHost;
using testing::ScriptedDriver;

// An analyser whose marker replies come from two queues (the last reply
// repeats), and whose status byte says "averaging done" at once.
struct Bench {
  Bench() {
    driver.responder = [this](std::string_view command) -> std::optional<std::string> {
      auto next = [](std::deque<std::string>& queue) -> std::optional<std::string> {
        if (queue.empty()) return std::nullopt;
        std::string reply = queue.front();
        if (queue.size() > 1) queue.pop_front();
        return reply;
      };
      if (command == cmd::kMarkerFrequency) return next(frequencies);
      if (command == cmd::kMarkerLevel) return next(levels);
      if (command == cmd::kStatusByteQuery) return next(statusBytes);
      if (command == cmd::kEventStatusQuery) return std::string("0\r\n");
      return std::nullopt;
    };
  }
  RunOutcome Run() { return run.OnStart(); }
  int Written(std::string_view text) const {
    return static_cast<int>(std::count(driver.writes.begin(), driver.writes.end(), text));
  }
  std::vector<std::string> LastCalls(std::size_t n) const {
    return {driver.calls.end() - static_cast<std::ptrdiff_t>(n), driver.calls.end()};
  }

  ScriptedDriver driver;
  FakePlatform platform;
  RecordingHost host;
  AnalyzerBus bus{driver, platform};
  MeasurementRun run{bus, host, platform};
  std::deque<std::string> frequencies{"1234567890\r\n"};
  std::deque<std::string> levels{"-45.3\r\n"};
  std::deque<std::string> statusBytes{"128\r\n"};
};

const std::vector<std::string> kOpenAndClose = {"Register", "ibdev(0, 8, 0, 13, 1, 0)",
                                                "ibonl(1, 0)", "ibonl(0, 0)"};

std::vector<std::string> Concat(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::vector<std::string> PlainSegment(const std::string& stop, const std::string& start) {
  return {"FB " + stop + "HZ", "FA " + start + "HZ", "TS", "PS", "MF?", "ML?"};
}

TEST(MeasurementRun, DefaultRunSendsTheDialogueAndWritesFixedWidthLines) {
  Bench b;
  b.frequencies = {"1927514500\r\n", "1234567890\r\n"};
  b.levels = {"-45.135\r\n", "-45.3\r\n"};
  EXPECT_EQ(b.Run(), RunOutcome::kCompleted);
  EXPECT_THAT(b.driver.writes,
              ElementsAreArray(Concat({{"DY 0.1", "RB 1MZ VB 1MZ", "DET POS", "RO ON RO 0DB",
                                        "RL 20DB", "SI", "AGS"},
                                       PlainSegment("1100000000", "30000000"),
                                       PlainSegment("1927500000", "1000000000"),
                                       PlainSegment("3100000000", "1952500000"),
                                       PlainSegment("4100000000", "3000000000"),
                                       PlainSegment("5100000000", "4000000000"),
                                       PlainSegment("6100000000", "5000000000"),
                                       {"AAVG OFF"}})));
  EXPECT_EQ(b.driver.calls[1], "ibdev(0, 8, 0, 13, 1, 0)");
  EXPECT_THAT(b.LastCalls(2), ElementsAre("ibonl(1, 0)", "ibonl(0, 0)"));
  EXPECT_THAT(b.host.Lines(), ElementsAre("Spurious",
                                          "30MHz---1100MHz       1927.515MHz    -45.14dBm",
                                          "1000MHz---1927.5MHz   1234.568MHz    -45.30dBm",
                                          "1952.5MHz---3100MHz   1234.568MHz    -45.30dBm",
                                          "3000MHz---4100MHz     1234.568MHz    -45.30dBm",
                                          "4000MHz---5100MHz     1234.568MHz    -45.30dBm",
                                          "5000MHz---6100MHz     1234.568MHz    -45.30dBm"));
  // Header, then one insert per segment, so the window can show each at once.
  EXPECT_EQ(b.host.inserts.size(), 7u);
  EXPECT_THAT(b.platform.messages, IsEmpty());

  // A second run adds its block behind the first; registration stays once.
  b.host.band800M = true;
  b.Run();
  EXPECT_EQ(b.host.Lines().size(), 7u + 4u);
  EXPECT_EQ(b.run.SegmentList().size(), 3u);
  EXPECT_EQ(std::count(b.driver.calls.begin(), b.driver.calls.end(), "Register"), 1);
}

TEST(MeasurementRun, FieldsAndBandShapeCommandsAndLines) {
  struct Case {
    const char* carrier;
    const char* ref;
    const char* offset;
    bool band800M;
    std::vector<std::string> setup;  // the offset and level commands
    std::size_t line;
    const char* lineStart;  // the first 33 characters of that line
  };
  const Case cases[] = {
      {" 830 ", "10", "-1.5", true, {"RO ON RO -1.5DB", "RL 10DB"}, 2,
       "842.5MHz---2100MHz    1234.568MHz"},
      {"1940.1234", "20", "0", false, {"RO ON RO 0DB", "RL 20DB"}, 2,
       "1000MHz---1927.6234M  1234.568MHz"},
  };
  for (const Case& c : cases) {
    Bench b;
    b.host.carrier = c.carrier;
    b.host.ref = c.ref;
    b.host.offset = c.offset;
    b.host.band800M = c.band800M;
    EXPECT_EQ(b.Run(), RunOutcome::kCompleted) << c.carrier;
    EXPECT_EQ(std::vector<std::string>(b.driver.writes.begin() + 3, b.driver.writes.begin() + 5),
              c.setup);
    ASSERT_GT(b.host.Lines().size(), c.line);
    EXPECT_EQ(b.host.Lines()[c.line].substr(0, 33), c.lineStart) << c.carrier;
  }
  Bench wide;
  wide.frequencies = {"1000000000000\r\n"};  // 1,000,000 MHz: cut to 13 characters
  wide.Run();
  EXPECT_EQ(wide.host.Lines()[1].substr(20, 13), "1000000.000MH");
}

TEST(MeasurementRun, BlankFieldEndsTheRunBeforeAnyCommand) {
  for (int field = 0; field < 3; ++field) {
    for (const char* blank : {"", "   "}) {
      Bench b;
      (field == 0 ? b.host.carrier : field == 1 ? b.host.ref : b.host.offset) = blank;
      EXPECT_EQ(b.Run(), RunOutcome::kBlankInput);
      EXPECT_THAT(b.host.results, IsEmpty());
      EXPECT_EQ(b.driver.calls, kOpenAndClose);  // still opened and taken offline
    }
  }
}

TEST(MeasurementRun, AveragedSegmentsWaitForTheStatusByte) {
  Bench b;
  b.host.averaging = 1;
  b.host.band800M = true;
  b.host.carrier = "830";
  b.statusBytes = {"0\r\n", "0\r\n", "128\r\n", "0\r\n", "0\r\n", "128\r\n", "0\r\n", "0\r\n",
                   "128\r\n"};
  EXPECT_EQ(b.Run(), RunOutcome::kCompleted);
  const std::vector<std::string> wait = {"AGSGL", "AG 10", "AGR", "CONTS", "*CLS", "OPR 256",
                                         "*SRE 160", "*STB?", "*STB?", "*STB?", "PS", "MF?",
                                         "ML?"};
  EXPECT_EQ(std::vector<std::string>(b.driver.writes.begin() + 9, b.driver.writes.begin() + 22),
            wait);
  EXPECT_EQ(b.Written("*STB?"), 9);
  EXPECT_EQ(b.host.averagingQuestions, 3);
  EXPECT_EQ(b.host.Lines().size(), 4u);
}

TEST(MeasurementRun, AveragingSwitchedDuringAWaitAppliesFromTheNextSegment) {
  Bench b;
  b.host.averaging = 1;
  b.platform.onPump = [&] { b.host.averaging = 0; };
  b.Run();
  EXPECT_EQ(b.Written("AGSGL"), 1);
  EXPECT_EQ(b.Written("TS"), 5);
  EXPECT_EQ(b.host.averagingQuestions, 6);
}

TEST(MeasurementRun, StopRequestedDuringAWaitEndsTheRunCleanly) {
  Bench b;
  b.host.averaging = 1;
  b.platform.onPump = [&] { b.host.stopRequested = true; };
  EXPECT_EQ(b.Run(), RunOutcome::kAbandoned);
  // No peak search or query after the wait, but averaging off and offline.
  EXPECT_THAT(std::vector<std::string>(b.driver.writes.end() - 2, b.driver.writes.end()),
              ElementsAre("*STB?", "AAVG OFF"));
  EXPECT_THAT(b.host.Lines(), ElementsAre("Spurious"));
  EXPECT_EQ(b.driver.calls.back(), "ibonl(0, 0)");
  EXPECT_THAT(b.platform.messages, IsEmpty());
}

// A failed bus operation or an overflow must never produce plausible lines:
// the run stops with one message, keeps earlier lines, and still closes.
TEST(MeasurementRun, FaultsStopTheRunKeepEarlierLinesAndClose) {
  struct Case {
    const char* name;
    std::function<void(Bench&)> arrange;
    std::size_t lines;  // kept in the results box
    std::vector<const char*> message;
    bool setupBegan;
  };
  const Case cases[] = {
      {"failed write",
       [](Bench& b) {
         b.driver.writeFailure = [](std::string_view text) -> std::optional<int32_t> {
           return text == "FB 3100000000HZ" ? std::optional<int32_t>(ENOL) : std::nullopt;
         };
       },
       3, {"\"FB 3100000000HZ\"", "GPIB0::8", "ENOL (2, no listener)"}, true},
      {"unanswered query", [](Bench& b) { b.levels.clear(); }, 1, {"\"ML?\"", "EABO"}, true},
      {"failed open", [](Bench& b) { b.driver.descriptor = -1; }, 0, {"GPIB0::8"}, false},
      {"carrier overflow", [](Bench& b) { b.host.carrier = "1E303"; }, 0, {"1E303"}, false},
      {"field overflow", [](Bench& b) { b.host.ref = "9e999"; }, 0,
       {"reference level \"9e999\""}, false},
      {"reply overflow", [](Bench& b) { b.frequencies = {"1e999\r\n"}; }, 1, {"1e999"}, true},
  };
  for (const Case& c : cases) {
    Bench b;
    c.arrange(b);
    EXPECT_EQ(b.Run(), RunOutcome::kStopped) << c.name;
    EXPECT_EQ(b.host.Lines().size(), c.lines) << c.name;
    ASSERT_EQ(b.platform.messages.size(), 1u) << c.name;
    for (const char* part : c.message) EXPECT_THAT(b.platform.messages[0], HasSubstr(part)) << c.name;
    EXPECT_EQ(b.Written("AAVG OFF"), c.setupBegan ? 1 : 0) << c.name;
    EXPECT_EQ(b.driver.calls.back(), "ibonl(0, 0)") << c.name;
  }
}

}  // namespace
}  // namespace tarnwick
