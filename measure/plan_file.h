// Plan files: TOML read into a TestPlan. Every mistake, a mistyped key
// included, is refused with the file, the line and the column.
#ifndef TARNWICK_MEASURE_PLAN_FILE_H_
#define TARNWICK_MEASURE_PLAN_FILE_H_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "measure/segment_plan.h"

namespace tarnwick {

// A plan that cannot be read or used; what() is "file:line:column: problem",
// or a sentence when the file cannot be read at all.
class PlanError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Limits of a plan, so that a mistake cannot make a run of thousands of sweeps.
inline constexpr std::size_t kMaxPlanSegments = 64;
inline constexpr std::size_t kMaxPlanLimits = 64;
inline constexpr std::size_t kMaxPlanNameLength = 40;

// Reads a plan from text; file is how errors name it (its path). The plan's
// source is file. Throws PlanError.
TestPlan ParsePlan(std::string_view text, const std::string& file);

// Reads a plan file of at most 1 MB. Throws PlanError.
TestPlan LoadPlanFile(const std::string& path);

// The built-in plan of a band (2G when BandIs2G != 0, else 800M) from its
// text, which is the shipped file compiled in.
std::string_view BuiltinPlanText(int16_t BandIs2G);
TestPlan ReadBuiltinPlan(int16_t BandIs2G);

// An edge as a plan file writes it: "carrier - notch", "carrier + notch",
// or a frequency, "1000 MHz".
std::string PlanEdgeText(const PlanEdge& edge);

// How the catalogue and the listings name a built-in plan's source.
inline constexpr std::string_view kBuiltIn = "built in";

}  // namespace tarnwick

#endif  // TARNWICK_MEASURE_PLAN_FILE_H_
