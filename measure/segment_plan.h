// Test plans: the sweep segments a run walks, leaving out a notch on either
// side of the carrier, and the limits a standard sets for them. The built-in
// bands 800M and 2G are plans like any other, compiled in.
#ifndef TARNWICK_MEASURE_SEGMENT_PLAN_H_
#define TARNWICK_MEASURE_SEGMENT_PLAN_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Frequencies are carried in hertz and shown in megahertz.
inline constexpr double kHzPerMHz = 1'000'000;

struct FreqSegment {
  double StartHz = 0;
  double StopHz = 0;
};

using FreqSegments = std::vector<FreqSegment>;

// The bands as the operator names them; each is also its built-in plan's name.
inline constexpr std::string_view kBand800M = "800M";
inline constexpr std::string_view kBand2G = "2G";
inline std::string_view BandName(int16_t BandIs2G) { return BandIs2G != 0 ? kBand2G : kBand800M; }

// One edge of a segment: a fixed frequency, or the carrier with the notch
// taken off or put on.
struct PlanEdge {
  enum class Kind { kFixed, kCarrierMinusNotch, kCarrierPlusNotch };
  Kind kind = Kind::kFixed;
  double hz = 0;  // for kFixed
  double At(double carrierHz, double notchHz) const;
};

struct PlanSegment {
  PlanEdge start;
  PlanEdge stop;
};

// Numbers within reason, so that a slip of the exponent never reaches the
// analyser or a verdict: a plan's frequencies from 0 to 1,000,000 MHz, its
// notch above 0 up to 10,000 MHz, and every limit from -300 to +100 dBm.
inline constexpr double kHighestPlanMHz = 1'000'000;
inline constexpr double kWidestNotchMHz = 10'000;
inline constexpr double kLowestLimitDbm = -300;
inline constexpr double kHighestLimitDbm = 100;

// A limit by frequency range, as a row of a limits file or a plan gives it.
struct LimitRow {
  double startMHz;
  double stopMHz;
  double limitDbm;
};

struct TestPlan {
  std::string name;
  std::string description;
  // How messages name the plan: "Band 2G" for a built-in band, else
  // 'Plan "name"' (quoted, as any text from a file).
  std::string called;
  // Where it came from: "built in", or the file's path.
  std::string source;
  // The plan as written, so a run can be explained after the file changed.
  std::string text;
  double notchHz = 0;
  std::vector<PlanSegment> segments;
  std::vector<LimitRow> limits;
};

// The built-in plan of a band: 2G when BandIs2G != 0, else 800M.
const TestPlan& BuiltinPlan(int16_t BandIs2G);

// Replaces SegmentList with plan's segments for the carrier (Hz), in the
// plan's order. The plan is built as is: PlanLeavesOutCarrier says whether
// it can be measured.
void BuildSegmentPlan(FreqSegments& SegmentList, double carrierHz, const TestPlan& plan);
// The same with the band's built-in plan.
void BuildSegmentPlan(FreqSegments& SegmentList, double carrierHz, int16_t BandIs2G);

// Whether every segment runs upward and none of them reaches into the open
// notch (carrier - notch, carrier + notch). Otherwise the run would sweep
// nonsense or measure the carrier itself as a spurious emission.
bool PlanLeavesOutCarrier(const FreqSegments& segments, double carrierHz, double notchHz);

// A span of carriers, in Hz; an end may be infinite.
struct CarrierRange {
  double lowHz;
  double highHz;
};
// The carriers the plan can measure by the rule above, in ascending order;
// spans of no width are left out.
std::vector<CarrierRange> MeasurableCarriers(const TestPlan& plan);
// "carriers between 1112.5 and 2987.5 MHz", spans joined by " or "; "no
// carrier" when there is none.
std::string CarrierRangeText(const std::vector<CarrierRange>& ranges);

// Why the plan is refused for a carrier (MHz), with the carriers it can
// measure: "Band 2G cannot leave out a carrier at 3500 MHz: it measures
// carriers between 1112.5 and 2987.5 MHz."
std::string CarrierRefusal(const TestPlan& plan, double carrierMHz);

}  // namespace tarnwick

#endif  // TARNWICK_MEASURE_SEGMENT_PLAN_H_
