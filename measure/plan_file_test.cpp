#include "measure/plan_file.h"

#include <initializer_list>
#include <string>
#include <utility>

#include <fmt/format.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

constexpr const char* kHead = "name = \"x\"\nnotch_mhz = 12.5\n";
constexpr const char* kSegment = "[[segment]]\nstart_mhz = 30\nstop_mhz = 100\n";

std::string ErrorOf(const std::string& text) {
  try {
    ParsePlan(text, "p.toml");
  } catch (const PlanError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(PlanFile, BadPlansAreRefusedWithFileLineAndColumn) {
  auto seg = [](const char* body) { return std::string(kHead) + "[[segment]]\n" + body; };
  const struct {
    std::string text;
    const char* error;
  } cases[] = {
      {seg("start_mhz = 30\nstop_mzh = 100\n"),
       "p.toml:5:1: unknown key \"stop_mzh\" in a [[segment]] (known: start_mhz, start, stop_mhz, "
       "stop)"},
      {seg("start_mhz = 30\n"), "p.toml:3:1: a segment needs stop_mhz or stop"},
      {seg("start_mhz = 30\nstart = \"carrier + notch\"\nstop_mhz = 9\n"),
       "p.toml:5:9: a segment has one start: start_mhz or start, not both"},
      {seg("start_mhz = 30\nstop = \"carrier - 12\"\n"),
       "p.toml:5:8: stop must be \"carrier - notch\" or \"carrier + notch\""},
      {seg("start_mhz = \"30\"\nstop_mhz = 40\n"), "p.toml:4:13: start_mhz must be a number"},
      {seg("start_mhz = 300\nstop_mhz = 40\n"),
       "p.toml:3:1: the segment from 300 to 40 MHz must start below its stop"},
      {seg("start = \"carrier-notch\"\nstop_mhz = 4000\n"),
       "p.toml:4:9: a segment that starts at \"carrier - notch\" holds the carrier; a segment "
       "above the carrier starts at \"carrier + notch\""},
      {seg("start_mhz = 30\nstop_mhz = = 4\n"),
       "p.toml:5:12: Error while parsing value: could not determine value type"},
      {std::string(kHead) + "[segment]\nstart_mhz = 30\nstop_mhz = 40\n",
       "p.toml:3:1: segment must be [[segment]] tables"},
      {kHead, "p.toml:1:1: a plan needs 1 to 64 [[segment]] tables"},
      {std::string("notch_mhz = 12.5\n") + kSegment, "p.toml:1:1: name is missing"},
      {std::string("name = \"\"\nnotch_mhz = 1\n") + kSegment,
       "p.toml:1:8: name must be 1 to 40 characters"},
      {std::string("name = \"x\"\nnotch_mhz = 0\n") + kSegment,
       "p.toml:2:13: notch_mhz must be above 0 and at most 10000 MHz"},
      {std::string("name = \"x\"\nnotch_mhz = 10000.5\n") + kSegment,
       "p.toml:2:13: notch_mhz must be above 0 and at most 10000 MHz"},
      {seg("start_mhz = 30\nstop_mhz = 1e300\n"),
       "p.toml:5:12: stop_mhz must be from 0 to 1000000 MHz"},
      {std::string(kHead) + kSegment + "[[limit]]\nstart_mhz = 30\nstop_mhz = 40\ndbm = -301\n",
       "p.toml:9:7: dbm must be from -300 to 100 dBm"},
      // Names are counted in characters: 14 euro signs are 42 bytes.
      {"name = \"€€€€€€€€€€€€€€\"\nnotch_mhz = 10000\n"
       "[[segment]]\nstart_mhz = 0\nstop_mhz = 1e6\n[[limit]]\nstart_mhz = 0\n"
           "stop_mhz = 1\ndbm = -300\n",
       "accepted"},
      {"name = \"€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€\"\nnotch_mhz = 1\n" + std::string(kSegment),
       "p.toml:1:8: name must be 1 to 40 characters"},
      {std::string(kHead) + kSegment + "[[limit]]\nstart_mhz = 30\nstop_mhz = 30\ndbm = -36\n",
       "p.toml:6:1: the limit's range 30 to 30 MHz is empty or backwards"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.text), c.error) << c.text;
  std::string many = kHead;
  for (int i = 0; i < 65; ++i) many += kSegment;
  EXPECT_EQ(ErrorOf(many), "p.toml:195:1: a plan has at most 64 [[segment]] tables");
}

// A plan of segments whose edges are in MHz, "-" for carrier - notch and
// "+" for carrier + notch.
TestPlan PlanOf(std::initializer_list<std::pair<const char*, const char*>> segments) {
  std::string text = kHead;
  auto edge = [](const char* side, const char* v) {
    if (*v == '-' || *v == '+') return fmt::format("{} = \"carrier {} notch\"\n", side, *v);
    return fmt::format("{}_mhz = {}\n", side, v);
  };
  for (const auto& [start, stop] : segments) {
    text += "[[segment]]\n" + edge("start", start) + edge("stop", stop);
  }
  return ParsePlan(text, "p.toml");
}

TEST(PlanFile, TheCarrierRangeFollowsFromThePlan) {
  const struct {
    TestPlan plan;
    const char* range;
  } cases[] = {
      {BuiltinPlan(1), "carriers between 1112.5 and 2987.5 MHz"},
      {BuiltinPlan(0), "carriers between 42.5 and 1987.5 MHz"},
      {LoadPlanFile(TARNWICK_PLANS_DIR "/3.5G.toml"), "carriers between 3300 and 3800 MHz"},
      {LoadPlanFile(TARNWICK_PLANS_DIR "/2G-12.75G.toml"),
       "carriers between 1012.5 and 2987.5 MHz"},
      {PlanOf({{"100", "200"}, {"400", "500"}}),
       "carriers up to 87.5 MHz or carriers between 212.5 and 387.5 MHz or carriers from 512.5 MHz "
       "up"},
      {PlanOf({{"100", "-"}, {"+", "1000"}, {"300", "400"}}),
       "carriers between 112.5 and 287.5 MHz or carriers between 412.5 and 987.5 MHz"},
      {PlanOf({{"100", "-"}, {"+", "110"}}), "no carrier"},
  };
  for (const auto& c : cases) {
    const std::vector<CarrierRange> ranges = MeasurableCarriers(c.plan);
    EXPECT_EQ(CarrierRangeText(ranges), c.range) << c.plan.name;
    // The range and the check at START agree on every carrier.
    FreqSegments segments;
    for (double mhz = 0.25; mhz < 13000; mhz += 0.5) {
      bool inside = false;
      for (const CarrierRange& r : ranges) inside |= r.lowHz <= mhz * 1e6 && mhz * 1e6 <= r.highHz;
      BuildSegmentPlan(segments, mhz * 1e6, c.plan);
      ASSERT_EQ(PlanLeavesOutCarrier(segments, mhz * 1e6, c.plan.notchHz), inside)
          << c.range << " " << mhz;
    }
  }
}

}  // namespace
}  // namespace tarnwick
