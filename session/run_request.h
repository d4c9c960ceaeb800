// What a run is asked to do, as a value: the operator's fields, the band or
// plan, where the analyser is and the dialect to speak to it, the limits to
// judge readings against, and where the run is journaled.
#ifndef TARNWICK_SESSION_RUN_REQUEST_H_
#define TARNWICK_SESSION_RUN_REQUEST_H_

#include <optional>
#include <string>

#include "measure/segment_plan.h"
#include "results/limits.h"
#include "session/driver_stack.h"

namespace tarnwick {

struct RunInputs {
  std::string carrier = "1940";  // MHz, as typed
  std::string ref = "20";        // dBm, as typed
  std::string offset = "0";      // dB, as typed
  bool band800M = false;         // the "800M" band button
  bool averaging = false;        // at START; LiveInputs may say otherwise later
  std::optional<TestPlan> plan;  // none: the band's built-in plan
};

struct RunRequest {
  RunInputs inputs;
  // The resource and the dialect (driver.dialect) among them.
  DriverOptions driver;
  // Override the plan's own; none: the plan's, if it has any.
  LimitTable limits;
  // Where the journal is; empty: none is kept.
  std::string journal;
  // The bench's name, which its runs carry to the lab; empty: the host's.
  std::string benchName;
};

}  // namespace tarnwick

#endif  // TARNWICK_SESSION_RUN_REQUEST_H_
