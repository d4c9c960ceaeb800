// The fixed plan of sweep segments: 30 MHz upward, leaving out 12.5 MHz on
// either side of the carrier.
#ifndef TARNWICK_MEASURE_SEGMENT_PLAN_H_
#define TARNWICK_MEASURE_SEGMENT_PLAN_H_

#include <cstdint>
#include <string_view>
#include <vector>

namespace tarnwick {

// Frequencies are carried in hertz and shown in megahertz.
inline constexpr double kHzPerMHz = 1'000'000;
// What the plan leaves out on either side of the carrier.
inline constexpr double kNotchHalfWidthHz = 12'500'000;

struct FreqSegment {
  double StartHz = 0;
  double StopHz = 0;
};

using FreqSegments = std::vector<FreqSegment>;

// The bands as the operator names them.
inline constexpr std::string_view kBand800M = "800M";
inline constexpr std::string_view kBand2G = "2G";
inline std::string_view BandName(int16_t BandIs2G) { return BandIs2G != 0 ? kBand2G : kBand800M; }

// Replaces SegmentList with the plan for the carrier (Hz) and band: six
// segments for 2G (BandIs2G != 0), three for 800M. The plan is built as is:
// PlanLeavesOutCarrier says whether it can be measured.
void BuildSegmentPlan(FreqSegments& SegmentList, double carrierHz, int16_t BandIs2G);

// Whether every segment of plan runs upward and none of them reaches into the
// carrier's notch. Otherwise the run would sweep nonsense or measure the
// carrier itself as a spurious emission.
bool PlanLeavesOutCarrier(const FreqSegments& plan, double carrierHz);

// The carriers, in Hz, for which the band's plan leaves out the carrier.
struct CarrierRange {
  double lowHz;
  double highHz;
};
CarrierRange MeasurableCarriers(int16_t BandIs2G);

}  // namespace tarnwick

#endif  // TARNWICK_MEASURE_SEGMENT_PLAN_H_
