// The fixed plan of sweep segments: 30 MHz upward, leaving out 12.5 MHz on
// either side of the carrier.
#ifndef TARNWICK_MEASURE_SEGMENT_PLAN_H_
#define TARNWICK_MEASURE_SEGMENT_PLAN_H_

#include <cstdint>
#include <vector>

namespace tarnwick {

struct FreqSegment {
  double StartHz = 0;
  double StopHz = 0;
};

using FreqSegments = std::vector<FreqSegment>;

// Replaces SegmentList with the plan for the carrier (Hz) and band: six
// segments for 2G (BandIs2G != 0), three for 800M. No checks: a segment whose
// stop lies below its start is kept and swept as built.
void BuildSegmentPlan(FreqSegments& SegmentList, double carrierHz, int16_t BandIs2G);

}  // namespace tarnwick

#endif  // TARNWICK_MEASURE_SEGMENT_PLAN_H_
