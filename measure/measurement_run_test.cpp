#include "measure/measurement_run.h"

#include <deque>
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

// An analyser whose marker replies come from two queues, and whose status
// byte says "averaging done" at once.
struct Bench {
  Bench() {
    driver.responder = [this](std::string_view command) -> std::optional<std::string> {
      auto next = [this](std::deque<std::string>& queue) -> std::optional<std::string> {
        if (queue.empty()) return std::nullopt;
        std::string reply = queue.front();
        if (queue.size() > 1 || !repeatLast) queue.pop_front();
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

  ScriptedDriver driver;
  FakePlatform platform;
  RecordingHost host;
  AnalyzerBus bus{driver, platform};
  MeasurementRun run{bus, host, platform};
  std::deque<std::string> frequencies{"1234567890\r\n"};
  std::deque<std::string> levels{"-45.3\r\n"};
  std::deque<std::string> statusBytes{"128\r\n"};
  bool repeatLast = true;
};

const std::vector<std::string> kDefaultSetup = {
    "DY 0.1", "RB 1MZ VB 1MZ", "DET POS", "RO ON RO 0DB", "RL 20DB", "SI", "AGS"};

std::vector<std::string> Concat(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::vector<std::string> PlainSegment(const std::string& stop, const std::string& start) {
  return {"FB " + stop + "HZ", "FA " + start + "HZ", "TS", "PS", "MF?", "ML?"};
}

TEST(MeasurementRun, DefaultRunSendsTheWholeDialogueInOrder) {
  Bench b;
  EXPECT_EQ(b.Run(), RunOutcome::kCompleted);
  EXPECT_THAT(b.driver.writes,
              ElementsAreArray(Concat({kDefaultSetup,
                                       PlainSegment("1100000000", "30000000"),
                                       PlainSegment("1927500000", "1000000000"),
                                       PlainSegment("3100000000", "1952500000"),
                                       PlainSegment("4100000000", "3000000000"),
                                       PlainSegment("5100000000", "4000000000"),
                                       PlainSegment("6100000000", "5000000000"),
                                       {"AAVG OFF"}})));
  // Opened once at board 0, address 8, T10s; analyser then board taken offline last.
  EXPECT_EQ(b.driver.calls.front(), "Register");
  EXPECT_EQ(b.driver.calls[1], "ibdev(0, 8, 0, 13, 1, 0)");
  EXPECT_THAT(std::vector<std::string>(b.driver.calls.end() - 2, b.driver.calls.end()),
              ElementsAre("ibonl(1, 0)", "ibonl(0, 0)"));
  EXPECT_EQ(std::count(b.driver.calls.begin(), b.driver.calls.end(), "Register"), 1);
  EXPECT_THAT(b.platform.messages, IsEmpty());
}

TEST(MeasurementRun, DefaultRunWritesFixedWidthLines) {
  Bench b;
  b.frequencies = {"1927514500\r\n", "1234567890\r\n"};
  b.levels = {"-45.135\r\n", "-45.3\r\n"};
  b.Run();
  const auto lines = b.host.Lines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "Spurious");
  EXPECT_EQ(lines[1], "30MHz---1100MHz       1927.515MHz    -45.14dBm");
  EXPECT_EQ(lines[2], "1000MHz---1927.5MHz   1234.568MHz    -45.30dBm");
  EXPECT_EQ(lines[3], "1952.5MHz---3100MHz   1234.568MHz    -45.30dBm");
  EXPECT_EQ(lines[6], "5000MHz---6100MHz     1234.568MHz    -45.30dBm");
  for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i].size(), 46u);
  // Header first, then one insert per segment, so the window can show each at once.
  EXPECT_EQ(b.host.inserts.size(), 7u);
}

TEST(MeasurementRun, FieldsAndBandShapeTheCommands) {
  Bench b;
  b.host.carrier = " 830 ";
  b.host.ref = "10";
  b.host.offset = "-1.5";
  b.host.band800M = true;
  b.Run();
  EXPECT_THAT(std::vector<std::string>(b.driver.writes.begin() + 3, b.driver.writes.begin() + 5),
              ElementsAre("RO ON RO -1.5DB", "RL 10DB"));
  const auto lines = b.host.Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1].substr(0, 20), "30MHz---817.5MHz    ");
  EXPECT_EQ(lines[2].substr(0, 20), "842.5MHz---2100MHz  ");
  EXPECT_EQ(lines[3].substr(0, 20), "2000MHz---3100MHz   ");
}

TEST(MeasurementRun, OverlongTextsAreCutToTheirFields) {
  Bench b;
  b.host.carrier = "1940.1234";
  b.frequencies = {"1000000000000\r\n"};  // 1,000,000 MHz
  b.Run();
  const auto lines = b.host.Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[2].substr(0, 20), "1000MHz---1927.6234M");
  EXPECT_EQ(lines[2].substr(20, 13), "1000000.000MH");
}

TEST(MeasurementRun, TextThatIsNotANumberCountsAsZero) {
  Bench b;
  b.host.carrier = "abc";
  b.host.ref = "x";
  EXPECT_EQ(b.Run(), RunOutcome::kCompleted);
  EXPECT_EQ(b.driver.writes[4], "RL 0DB");
  EXPECT_EQ(b.host.Lines()[2].substr(0, 20), "1000MHz----12.5MHz  ");  // 0 Hz carrier
}

TEST(MeasurementRun, BlankFieldEndsTheRunBeforeAnyCommand) {
  for (int field = 0; field < 3; ++field) {
    for (const char* blank : {"", "   "}) {
      Bench b;
      (field == 0 ? b.host.carrier : field == 1 ? b.host.ref : b.host.offset) = blank;
      EXPECT_EQ(b.Run(), RunOutcome::kBlankInput);
      EXPECT_THAT(b.driver.writes, IsEmpty());
      EXPECT_THAT(b.host.results, IsEmpty());
      // Still opened and taken offline.
      EXPECT_THAT(b.driver.calls, ElementsAre("Register", "ibdev(0, 8, 0, 13, 1, 0)",
                                              "ibonl(1, 0)", "ibonl(0, 0)"));
    }
  }
}

TEST(MeasurementRun, AveragedSegmentsWaitForTheStatusByte) {
  Bench b;
  b.host.averaging = 1;
  b.host.band800M = true;
  b.host.carrier = "830";
  // Every segment needs two idle polls before the sweep is done.
  b.driver.responder = [inner = b.driver.responder, polls = 0](std::string_view c) mutable
      -> std::optional<std::string> {
    if (c == cmd::kStatusByteQuery) return std::string(++polls % 3 == 0 ? "128\r\n" : "0\r\n");
    return inner(c);
  };
  EXPECT_EQ(b.Run(), RunOutcome::kCompleted);
  const std::vector<std::string> wait = {"AGSGL", "AG 10", "AGR", "CONTS", "*CLS",  "OPR 256",
                                         "*SRE 160", "*STB?", "*STB?", "*STB?", "PS", "MF?",
                                         "ML?"};
  auto segment = [&](const std::string& stop, const std::string& start) {
    return Concat({{"FB " + stop + "HZ", "FA " + start + "HZ"}, wait});
  };
  EXPECT_THAT(b.driver.writes,
              ElementsAreArray(Concat({kDefaultSetup, segment("817500000", "30000000"),
                                       segment("2100000000", "842500000"),
                                       segment("3100000000", "2000000000"), {"AAVG OFF"}})));
  EXPECT_EQ(b.host.averagingQuestions, 3);
  EXPECT_EQ(b.host.Lines().size(), 4u);
}

TEST(MeasurementRun, AveragingSwitchedDuringAWaitAppliesFromTheNextSegment) {
  Bench b;
  b.host.averaging = 1;
  b.platform.onPump = [&] { b.host.averaging = 0; };
  b.Run();
  EXPECT_EQ(std::count(b.driver.writes.begin(), b.driver.writes.end(), "AGSGL"), 1);
  EXPECT_EQ(std::count(b.driver.writes.begin(), b.driver.writes.end(), "TS"), 5);
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

TEST(MeasurementRun, RunsAccumulateInTheResultsBox) {
  Bench b;
  b.Run();
  b.host.band800M = true;
  b.Run();
  const auto lines = b.host.Lines();
  ASSERT_EQ(lines.size(), 7u + 4u);
  EXPECT_EQ(lines[7], "Spurious");
  EXPECT_EQ(b.run.SegmentList().size(), 3u);
  // The status words are registered once per process, not per run.
  EXPECT_EQ(std::count(b.driver.calls.begin(), b.driver.calls.end(), "Register"), 1);
}

// A failed bus operation must never produce plausible lines.
TEST(MeasurementRunFaults, FailedWriteStopsTheRunAndKeepsEarlierLines) {
  Bench b;
  b.driver.writeFailure = [](std::string_view text) -> std::optional<int32_t> {
    if (text == "FB 3100000000HZ") return ENOL;
    return std::nullopt;
  };
  EXPECT_EQ(b.Run(), RunOutcome::kStopped);
  EXPECT_EQ(b.host.Lines().size(), 3u);  // header and the first two segments
  ASSERT_EQ(b.platform.messages.size(), 1u);
  EXPECT_THAT(b.platform.messages[0], HasSubstr("\"FB 3100000000HZ\""));
  EXPECT_THAT(b.platform.messages[0], HasSubstr("GPIB0::8"));
  EXPECT_THAT(b.platform.messages[0], HasSubstr("ENOL (2, no listener)"));
  EXPECT_EQ(b.driver.writes.back(), "AAVG OFF");
  EXPECT_THAT(std::vector<std::string>(b.driver.calls.end() - 2, b.driver.calls.end()),
              ElementsAre("ibonl(1, 0)", "ibonl(0, 0)"));
}

TEST(MeasurementRunFaults, UnansweredQueryWritesNoLineForItsSegment) {
  Bench b;
  b.levels.clear();  // "ML?" never answered
  EXPECT_EQ(b.Run(), RunOutcome::kStopped);
  EXPECT_THAT(b.host.Lines(), ElementsAre("Spurious"));
  ASSERT_EQ(b.platform.messages.size(), 1u);
  EXPECT_THAT(b.platform.messages[0], HasSubstr("\"ML?\""));
  EXPECT_THAT(b.platform.messages[0], HasSubstr("EABO"));
}

TEST(MeasurementRunFaults, FailedOpenStopsBeforeAnyCommand) {
  Bench b;
  b.driver.descriptor = -1;
  EXPECT_EQ(b.Run(), RunOutcome::kStopped);
  EXPECT_THAT(b.driver.writes, IsEmpty());
  EXPECT_THAT(b.host.results, IsEmpty());
  ASSERT_EQ(b.platform.messages.size(), 1u);
  EXPECT_THAT(b.platform.messages[0], HasSubstr("GPIB0::8"));
  EXPECT_EQ(b.driver.calls.back(), "ibonl(0, 0)");
}

TEST(MeasurementRunFaults, OverflowStopsTheRunWithItsValueNamed) {
  {
    Bench b;
    b.host.carrier = "1E303";  // finite, but not in hertz
    EXPECT_EQ(b.Run(), RunOutcome::kStopped);
    EXPECT_THAT(b.driver.writes, IsEmpty());
    ASSERT_EQ(b.platform.messages.size(), 1u);
    EXPECT_THAT(b.platform.messages[0], HasSubstr("1E303"));
    EXPECT_THAT(b.driver.calls, ElementsAre("Register", "ibdev(0, 8, 0, 13, 1, 0)",
                                            "ibonl(1, 0)", "ibonl(0, 0)"));
  }
  {
    Bench b;
    b.host.ref = "9e999";
    EXPECT_EQ(b.Run(), RunOutcome::kStopped);
    EXPECT_THAT(b.platform.messages.at(0), HasSubstr("reference level \"9e999\""));
  }
  {
    Bench b;
    b.host.results = "earlier run\r\n";
    b.frequencies = {"1e999\r\n"};
    EXPECT_EQ(b.Run(), RunOutcome::kStopped);
    EXPECT_THAT(b.platform.messages.at(0), HasSubstr("1e999"));
    EXPECT_THAT(b.host.Lines(), ElementsAre("earlier run", "Spurious"));
    EXPECT_EQ(b.driver.writes.back(), "AAVG OFF");
  }
}

TEST(MeasurementRunFaults, ShortRepliesAreReadWithoutTheTailOfLongerOnes) {
  Bench b;
  b.frequencies = {"1927500000\n", "30000000\n"};
  b.levels = {"-45.3\n"};
  b.Run();
  const auto lines = b.host.Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[1].substr(20, 13), "  1927.500MHz");
  EXPECT_EQ(lines[2].substr(20, 13), "    30.000MHz");  // not 300.000
}

}  // namespace
}  // namespace tarnwick
