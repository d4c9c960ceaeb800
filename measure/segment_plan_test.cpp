#include "measure/segment_plan.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

void ExpectPlan(const FreqSegments& plan, const std::vector<std::pair<double, double>>& mhz) {
  ASSERT_EQ(plan.size(), mhz.size());
  for (std::size_t i = 0; i < plan.size(); ++i) {
    EXPECT_DOUBLE_EQ(plan[i].StartHz, mhz[i].first * 1e6) << "segment " << i;
    EXPECT_DOUBLE_EQ(plan[i].StopHz, mhz[i].second * 1e6) << "segment " << i;
  }
}

TEST(SegmentPlan, BandPlansLeaveOutTheCarrier) {
  FreqSegments plan;
  BuildSegmentPlan(plan, 1940e6, 1);
  ExpectPlan(plan, {{30, 1100}, {1000, 1927.5}, {1952.5, 3100}, {3000, 4100}, {4000, 5100},
                    {5000, 6100}});
  BuildSegmentPlan(plan, 830e6, 0);
  ExpectPlan(plan, {{30, 817.5}, {842.5, 2100}, {2000, 3100}});
}

TEST(SegmentPlan, CarrierOutsideTheBandIsKeptAsBuilt) {
  FreqSegments plan;
  // Below 1012.5 MHz the second 2G segment runs backwards; it is still swept.
  BuildSegmentPlan(plan, 900e6, 1);
  ASSERT_EQ(plan.size(), 6u);
  EXPECT_LT(plan[1].StopHz, plan[1].StartHz);
  EXPECT_DOUBLE_EQ(plan[1].StopHz, 887.5e6);

  BuildSegmentPlan(plan, 0, 0);
  ExpectPlan(plan, {{30, -12.5}, {12.5, 2100}, {2000, 3100}});
}

TEST(SegmentPlan, EveryBuildReplacesThePreviousPlan) {
  FreqSegments plan;
  BuildSegmentPlan(plan, 1940e6, 1);
  BuildSegmentPlan(plan, 830e6, 0);
  EXPECT_EQ(plan.size(), 3u);
  BuildSegmentPlan(plan, 1940e6, 1);
  EXPECT_EQ(plan.size(), 6u);
}

}  // namespace
}  // namespace tarnwick
