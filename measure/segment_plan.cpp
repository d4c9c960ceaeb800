#include "measure/segment_plan.h"

#include <algorithm>
#include <limits>

namespace tarnwick {
namespace {

constexpr double kFirstStartHz = 30'000'000;
constexpr double k1000MHz = 1'000'000'000;
constexpr double k1100MHz = 1'100'000'000;
constexpr double k2000MHz = 2'000'000'000;
constexpr double k2100MHz = 2'100'000'000;
constexpr double k3000MHz = 3'000'000'000;
constexpr double k3100MHz = 3'100'000'000;
// Above 3 GHz the 2G plan steps by 1 GHz, each segment 1.1 GHz wide so that
// neighbours overlap by 100 MHz as the fixed ones do.
constexpr double kUpperStepHz = 1'000'000'000;
constexpr double kUpperSpanHz = 1'100'000'000;
constexpr int kUpperSegments = 3;

}  // namespace

void BuildSegmentPlan(FreqSegments& SegmentList, double carrierHz, int16_t BandIs2G) {
  SegmentList.clear();
  const double belowCarrier = carrierHz - kNotchHalfWidthHz;
  const double aboveCarrier = carrierHz + kNotchHalfWidthHz;
  if (BandIs2G != 0) {
    SegmentList.push_back({kFirstStartHz, k1100MHz});
    SegmentList.push_back({k1000MHz, belowCarrier});
    SegmentList.push_back({aboveCarrier, k3100MHz});
    double x = k3000MHz;
    for (int i = 0; i < kUpperSegments; ++i) {
      SegmentList.push_back({x, x + kUpperSpanHz});
      x += kUpperStepHz;
    }
  } else {
    SegmentList.push_back({kFirstStartHz, belowCarrier});
    SegmentList.push_back({aboveCarrier, k2100MHz});
    SegmentList.push_back({k2000MHz, k3100MHz});
  }
}


bool PlanLeavesOutCarrier(const FreqSegments& plan, double carrierHz) {
  const double notchLow = carrierHz - kNotchHalfWidthHz;
  const double notchHigh = carrierHz + kNotchHalfWidthHz;
  return std::all_of(plan.begin(), plan.end(), [&](const FreqSegment& s) {
    return s.StartHz < s.StopHz && (s.StopHz <= notchLow || s.StartHz >= notchHigh);
  });
}

CarrierRange MeasurableCarriers(int16_t BandIs2G) {
  // Two plans for different carriers tell the edges that follow the carrier
  // from the fixed ones, so the range comes from the plan and nowhere else.
  FreqSegments a, b;
  BuildSegmentPlan(a, 1'500'000'000, BandIs2G);
  BuildSegmentPlan(b, 1'600'000'000, BandIs2G);
  CarrierRange range{-std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::infinity()};
  for (std::size_t i = 0; i < a.size(); ++i) {
    // A segment that ends at the notch must start below it, and one that
    // starts at the notch must end above it.
    if (a[i].StopHz != b[i].StopHz) range.lowHz = std::max(range.lowHz, a[i].StartHz + kNotchHalfWidthHz);
    if (a[i].StartHz != b[i].StartHz) range.highHz = std::min(range.highHz, a[i].StopHz - kNotchHalfWidthHz);
  }
  // A fixed segment keeps the notch off its whole span: trim the ends of the
  // range it reaches into. The plan runs upward, so one pass does it.
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].StartHz != b[i].StartHz || a[i].StopHz != b[i].StopHz) continue;
    const double keepOutLow = a[i].StartHz - kNotchHalfWidthHz;
    const double keepOutHigh = a[i].StopHz + kNotchHalfWidthHz;
    if (keepOutLow < range.lowHz && keepOutHigh > range.lowHz) range.lowHz = keepOutHigh;
    if (keepOutLow < range.highHz && keepOutHigh > range.highHz) range.highHz = keepOutLow;
  }
  return range;
}

}  // namespace tarnwick
