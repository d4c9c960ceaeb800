#include "measure/segment_plan.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "measure/plan_file.h"
#include "text/number_text.h"
#include "text/quote.h"

namespace tarnwick {

double PlanEdge::At(double carrierHz, double notchHz) const {
  switch (kind) {
    case Kind::kCarrierMinusNotch: return carrierHz - notchHz;
    case Kind::kCarrierPlusNotch: return carrierHz + notchHz;
    case Kind::kFixed: break;
  }
  return hz;
}

const TestPlan& BuiltinPlan(int16_t BandIs2G) {
  // Read once: the texts are the shipped files, compiled in.
  static const TestPlan plans[2] = {ReadBuiltinPlan(0), ReadBuiltinPlan(1)};
  return plans[BandIs2G != 0 ? 1 : 0];
}

void BuildSegmentPlan(FreqSegments& SegmentList, double carrierHz, const TestPlan& plan) {
  SegmentList.clear();
  for (const PlanSegment& s : plan.segments) {
    SegmentList.push_back(
        {s.start.At(carrierHz, plan.notchHz), s.stop.At(carrierHz, plan.notchHz)});
  }
}

void BuildSegmentPlan(FreqSegments& SegmentList, double carrierHz, int16_t BandIs2G) {
  BuildSegmentPlan(SegmentList, carrierHz, BuiltinPlan(BandIs2G));
}

bool PlanLeavesOutCarrier(const FreqSegments& segments, double carrierHz, double notchHz) {
  const double notchLow = carrierHz - notchHz;
  const double notchHigh = carrierHz + notchHz;
  return std::all_of(segments.begin(), segments.end(), [&](const FreqSegment& s) {
    return s.StartHz < s.StopHz && (s.StopHz <= notchLow || s.StartHz >= notchHigh);
  });
}

std::vector<CarrierRange> MeasurableCarriers(const TestPlan& plan) {
  using Kind = PlanEdge::Kind;
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const double n = plan.notchHz;
  // A segment that ends at the notch must start below it, one that starts at
  // the notch must end above it; a fixed one keeps the notch off its span.
  double low = -kInf, high = kInf;
  std::vector<CarrierRange> keepOut;
  for (const PlanSegment& s : plan.segments) {
    const Kind a = s.start.kind, b = s.stop.kind;
    if (a == Kind::kFixed && b == Kind::kFixed) {
      if (!(s.start.hz < s.stop.hz)) return {};
      keepOut.push_back({s.start.hz - n, s.stop.hz + n});
    } else if (a == Kind::kFixed && b == Kind::kCarrierMinusNotch) {
      low = std::max(low, s.start.hz + n);
    } else if (a == Kind::kCarrierPlusNotch && b == Kind::kFixed) {
      high = std::min(high, s.stop.hz - n);
    } else {
      return {};  // an edge on the wrong side of the notch holds the carrier
    }
  }
  std::sort(keepOut.begin(), keepOut.end(),
            [](const CarrierRange& x, const CarrierRange& y) { return x.lowHz < y.lowHz; });
  std::vector<CarrierRange> ranges;
  double from = low;
  for (const CarrierRange& k : keepOut) {
    const double to = std::min(k.lowHz, high);
    if (from < to) ranges.push_back({from, to});
    from = std::max(from, k.highHz);
  }
  if (from < high) ranges.push_back({from, high});
  return ranges;
}

std::string CarrierRangeText(const std::vector<CarrierRange>& ranges) {
  if (ranges.empty()) return "no carrier";
  auto mhz = [](double hz) { return GeneralNumberText(hz / kHzPerMHz); };
  std::string text;
  for (const CarrierRange& r : ranges) {
    if (!text.empty()) text += " or ";
    const bool lowOpen = std::isinf(r.lowHz), highOpen = std::isinf(r.highHz);
    if (lowOpen && highOpen) {
      text += "any carrier";
    } else if (lowOpen) {
      text += fmt::format("carriers up to {} MHz", mhz(r.highHz));
    } else if (highOpen) {
      text += fmt::format("carriers from {} MHz up", mhz(r.lowHz));
    } else {
      text += fmt::format("carriers between {} and {} MHz", mhz(r.lowHz), mhz(r.highHz));
    }
  }
  return text;
}

std::string CarrierRefusal(const TestPlan& plan, double carrierMHz) {
  return fmt::format("{} cannot leave out a carrier at {} MHz: it measures {}.", plan.called,
                     CutForMessage(GeneralNumberText(carrierMHz)),
                     CarrierRangeText(MeasurableCarriers(plan)));
}

}  // namespace tarnwick
