#include "measure/segment_plan.h"

namespace tarnwick {
namespace {

constexpr double kNotchHalfWidthHz = 12'500'000;
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

}  // namespace tarnwick
