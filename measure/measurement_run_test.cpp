#include "measure/measurement_run.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "analyser/builtin_commands.h"
#include "analyser/builtin_dialogue.h"
#include "measure/plan_file.h"
#include "results/recorder.h"
#include "tests/support/fake_platform.h"
#include "tests/support/recording_host.h"
#include "tests/support/scripted_driver.h"

namespace tarnwick {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using testing::FakePlatform;
using testing::RecordingHost;
using testing::ScriptedDriver;

// An analyser whose marker replies come from queues (the last level
// repeats; past the frequencies given, the peak is at the start of the
// segment swept), and whose status byte says "averaging done" at once.
struct Bench {
  Bench() {
    driver.responder = [this](std::string_view command) -> std::optional<std::string> {
      auto next = [](std::deque<std::string>& queue) -> std::optional<std::string> {
        if (queue.empty()) return std::nullopt;
        std::string reply = queue.front();
        if (queue.size() > 1) queue.pop_front();
        return reply;
      };
      if (command == cmd::kMarkerFrequency) {
        if (frequencies.empty()) return driver.LastNumberAfter(cmd::kStartPrefix) + "\r\n";
        std::string reply = frequencies.front();
        frequencies.pop_front();
        return reply;
      }
      if (command == cmd::kMarkerLevel) return next(levels);
      if (command == cmd::kStatusByteQuery) return next(statusBytes);
      if (command == cmd::kEventStatusQuery) return std::string("16\r\n");  // asked after a 32
      return std::nullopt;
    };
    run.AddObserver(host.writer);
    run.AddObserver(recorder);
    platform.SetStopCheck([this] { return stopRequested; });
  }
  RunOutcome Run() { return run.OnStart().outcome; }
  // What the operator was told after the run, as the programs show it.
  std::vector<std::string> Messages() const {
    const std::string& m = recorder.record().message;
    return m.empty() ? std::vector<std::string>{} : std::vector<std::string>{m};
  }
  int Written(std::string_view text) const {
    return static_cast<int>(std::count(driver.writes.begin(), driver.writes.end(), text));
  }
  int Count(std::string_view call) const {
    return static_cast<int>(std::count(driver.calls.begin(), driver.calls.end(), call));
  }

  ScriptedDriver driver;
  FakePlatform platform;
  RecordingHost host;
  AnalyzerBus bus{driver};
  BuiltinDialogue analyser{bus, platform};
  MeasurementRun run{analyser, host, platform};
  RunRecorder recorder;
  bool stopRequested = false;
  std::deque<std::string> frequencies;
  std::deque<std::string> levels{"-45.3\r\n"};
  std::deque<std::string> statusBytes{"128\r\n"};
};

const std::vector<std::string> kOpenAndClose = {"Register", "ibdev(0, 8, 0, 13, 1, 0)",
                                                "ibonl(1, 0)", "ibonl(0, 0)"};

TEST(MeasurementRun, BlankFieldEndsTheRunBeforeAnyCommand) {
  for (int blank = 0; blank < 6; ++blank) {  // each field, empty or spaces only
    Bench b;
    (blank % 3 == 0 ? b.host.carrier : blank % 3 == 1 ? b.host.ref : b.host.offset) =
        blank < 3 ? "" : "   ";
    EXPECT_EQ(b.Run(), RunOutcome::kBlankInput);
    EXPECT_THAT(b.host.results, IsEmpty());
    EXPECT_EQ(b.driver.calls, kOpenAndClose);  // still opened and taken offline
  }
}

TEST(MeasurementRun, StopRequestsEndTheRunCleanlyWithANote) {
  // During a wait: the wait ends at its next pass, before any query.
  Bench b;
  b.host.averaging = 1;
  b.platform.onSleep = [&] { b.stopRequested = true; };
  EXPECT_EQ(b.Run(), RunOutcome::kAbandoned);
  EXPECT_THAT(std::vector<std::string>(b.driver.writes.end() - 2, b.driver.writes.end()),
              ElementsAre("*SRE 160", "AAVG OFF"));
  EXPECT_THAT(b.host.Lines(), ElementsAre("Spurious", "* Run interrupted: stopped."));
  EXPECT_EQ(b.driver.calls.back(), "ibonl(0, 0)");
  EXPECT_THAT(b.Messages(), IsEmpty());

  // Inside a driver's wait: the call fails, and that is the stop, not a fault.
  Bench d;
  d.levels.clear();
  d.driver.writeFailure = [&](std::string_view text) -> std::optional<int32_t> {
    if (text == "ML?") d.stopRequested = true;
    return std::nullopt;
  };
  EXPECT_EQ(d.Run(), RunOutcome::kAbandoned);
  EXPECT_THAT(d.host.Lines(), ElementsAre("Spurious", "* Run interrupted: stopped."));
  EXPECT_EQ(d.Written("AAVG OFF"), 1);
}

// A reading is marked, after its line and in the message, when its
// averaged sweep did not end well, the marker had no valid value, or the
// peak lies outside the segment swept by more than the resolution
// bandwidth. A level that is no value is not judged.
TEST(MeasurementRun, DoubtfulReadingsAreMarked) {
  struct Case {
    const char* statusByte;  // averaged sweeps when given
    const char* hz;          // the first peak, of 30 to 817.5 MHz; empty: at its start
    const char* dbm;
    std::string note;  // the first reading's; empty: sound
    bool judged;
  };
  const std::string noValue = "the analyser reported no valid value for the marker ";
  const Case cases[] = {
      {"0", "", "-45.3", "averaging did not finish within 10 s: this reading is from an", true},
      {"32", "", "-45.3", "the analyser reported an error during the averaged sweep", true},
      {"", "29000000", "-45.3", "", true},
      {"", "818500000", "-45.3", "", true},
      {"", "28999999", "-45.3", "the analyser reported the peak at 28.999999 MHz, outside the "
                                "segment 30 to 817.5 MHz that was swept", true},
      {"", "818500001", "-45.3", "the analyser reported the peak at 818.500001 MHz, outside", true},
      {"", "9.91E37", "-45.3", noValue + "frequency, \"9.91e+37\": this reading is doubtful", true},
      {"", "", "9.91E37", noValue + "level, \"9.91e+37\"", false},
      {"", "", "-9.9E37", noValue + "level, \"-9.9e+37\"", false},
      {"", "", "9.89E37", "", true},
  };
  for (const Case& c : cases) {
    Bench b;
    b.host.band800M = true;
    b.host.carrier = "830";
    b.host.averaging = *c.statusByte != '\0';
    b.statusBytes = {std::string(c.statusByte) + "\r\n"};
    if (*c.hz != '\0') b.frequencies = {std::string(c.hz) + "\r\n"};
    b.levels = {std::string(c.dbm) + "\r\n"};
    b.recorder.SetLimits(LimitTable::Everywhere(-50));
    const bool sound = c.note.empty();
    EXPECT_EQ(b.Run(), sound ? RunOutcome::kCompleted : RunOutcome::kDoubtful) << c.hz << c.dbm;
    EXPECT_EQ(b.host.Lines().at(2).starts_with("* " + c.note), !sound) << b.host.results;
    EXPECT_THAT(b.Messages(), sound ? ::testing::Matcher<std::vector<std::string>>(IsEmpty())
                                    : ElementsAre(HasSubstr("30MHz---817.5MHz: " + c.note)));
    EXPECT_EQ(b.recorder.record().segments.at(0).verdict.limitDbm.has_value(), c.judged);
  }
}

// Nothing is sent for a field that is not one number in its unit, or a
// carrier the band's plan cannot leave out.
TEST(MeasurementRun, InputThatWouldBeMisreadIsRefused) {
  struct Case {
    std::string carrier;
    const char* ref;
    bool band800M;
    const char* message;  // empty: accepted
  };
  const Case cases[] = {
      {"abc", "20", false, "The carrier \"abc\" is not a number in MHz."},
      {"1.9GHz", "20", false, "carrier \"1.9GHz\""},
      {"1940", "2O", false, "The reference level \"2O\" is not a number in dBm."},
      {std::string(100, '9'), "20", false, "carrier at 1000000000000000000000000000000000000000… MHz"},
      {"1050", "20", false,
       "Band 2G cannot leave out a carrier at 1050 MHz: it measures carriers between 1112.5 "
       "and 2987.5 MHz."},
      {"3500", "20", false, "Band 2G cannot leave out a carrier at 3500 MHz"},
      {"2050", "20", true, "between 42.5 and 1987.5 MHz."},
      {"1940MHz", "20 dBm", false, ""},
      {" 1 940 mhz ", "&H14", false, ""},
      {"1112.5", "20dBm", false, ""},
      {"2987.5", "2e1", false, ""},
      {"42.6", "20", true, ""},
  };
  for (const Case& c : cases) {
    Bench b;
    b.host.carrier = c.carrier;
    b.host.ref = c.ref;
    b.host.offset = "0 DB";
    b.host.band800M = c.band800M;
    const RunOutcome outcome = b.Run();
    if (*c.message == '\0') {
      EXPECT_EQ(outcome, RunOutcome::kCompleted) << c.carrier;
      continue;
    }
    EXPECT_EQ(outcome, RunOutcome::kRefused) << c.carrier;
    // Refused, not a driver that cannot serve: the analyser is still closed.
    EXPECT_EQ(b.driver.calls, kOpenAndClose) << c.carrier;
    EXPECT_THAT(b.host.results, IsEmpty());
    ASSERT_EQ(b.Messages().size(), 1u) << c.carrier;
    EXPECT_THAT(b.Messages()[0], HasSubstr(c.message));
  }
}

// A chosen plan is walked in place of the band's, and recorded with its
// text. (Its limits and refusals: app/cli_test.cpp.)
TEST(MeasurementRun, AChosenPlanIsWalkedAndRecorded) {
  const TestPlan plan = ParsePlan(
      "name = \"n\"\nnotch_mhz = 5\n[[segment]]\nstart_mhz = 100\nstop = \"carrier - notch\"\n",
      "n.toml");
  Bench b;
  b.host.plan = &plan;
  b.host.band800M = true;  // greyed: the plan decides
  b.host.carrier = "400";
  EXPECT_EQ(b.Run(), RunOutcome::kCompleted);
  EXPECT_EQ(b.Written("FB 395000000HZ") + b.Written("FA 100000000HZ"), 2);
  EXPECT_EQ(b.recorder.record().settings.plan, "n");
  EXPECT_EQ(b.recorder.record().settings.planText, plan.text);
}

// A failed bus operation or an overflow must never produce plausible lines:
// the run stops with one message, keeps earlier lines with a note behind
// them, and still closes.
TEST(MeasurementRun, FaultsStopTheRunKeepEarlierLinesAndClose) {
  auto failWrite = [](std::string failing) {
    return [failing](Bench& b) {
      b.driver.writeFailure = [failing](std::string_view text) -> std::optional<int32_t> {
        return text == failing ? std::optional<int32_t>(ENOL) : std::nullopt;
      };
    };
  };
  struct Case {
    const char* name;
    std::function<void(Bench&)> arrange;
    std::size_t lines;  // kept in the results box, notes included
    std::vector<const char*> message;
    bool setupBegan;
  };
  const Case cases[] = {
      {"failed write", failWrite("FB 3100000000HZ"), 4,
       {"Run stopped: ibwrt \"FB 3100000000HZ\"", "GPIB0::8", "ENOL (2, no listener)"}, true},
      {"unanswered query", [](Bench& b) { b.levels.clear(); }, 2, {"\"ML?\"", "EABO"}, true},
      {"failed open", [](Bench& b) { b.driver.descriptor = -1; }, 0, {"GPIB0::8"}, false},
      {"carrier overflow", [](Bench& b) { b.host.carrier = "1E303"; }, 0, {"1E303"}, false},
      {"field overflow", [](Bench& b) { b.host.ref = "9e999"; }, 0,
       {"reference level \"9e999\""}, false},
      {"failed closing step", failWrite("AAVG OFF"), 8,
       {"Closing the run failed: ibwrt \"AAVG OFF\"", "ENOL"}, true},
      {"failed offline step", [](Bench& b) { b.driver.onlineError = ENEB; }, 8,
       {"Closing the run failed: ibonl(1, 0) to the analyser at GPIB0::8 failed with ENEB",
        "may still be averaging"}, true},
      {"failed open and offline step",
       [](Bench& b) { b.driver.descriptor = -1, b.driver.onlineError = ENEB; }, 0,
       {"Closing the run failed: ibonl(0, 0)", "Nothing had been sent to the analyser."}, false},
  };
  for (const Case& c : cases) {
    Bench b;
    c.arrange(b);
    EXPECT_EQ(b.Run(), RunOutcome::kStopped) << c.name;
    const auto lines = b.host.Lines();
    EXPECT_EQ(lines.size(), c.lines) << c.name;
    ASSERT_EQ(b.Messages().size(), 1u) << c.name;
    for (const char* part : c.message) EXPECT_THAT(b.Messages()[0], HasSubstr(part)) << c.name;
    if (!c.setupBegan) {
      EXPECT_THAT(b.Messages()[0], Not(HasSubstr("averaging"))) << c.name;
    }
    if (!lines.empty()) {
      EXPECT_EQ(lines.back(), "* " + b.Messages()[0]) << c.name;
    }
    EXPECT_EQ(b.Written("AAVG OFF"), c.setupBegan ? 1 : 0) << c.name;
    // The device is taken offline when it was opened; never a negative one.
    EXPECT_EQ(b.driver.calls.back(), "ibonl(0, 0)") << c.name;
    EXPECT_EQ(b.Count("ibonl(-1, 0)"), 0) << c.name;
  }
}

}  // namespace
}  // namespace tarnwick
