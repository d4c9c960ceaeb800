// Where a run finds the analyser, and the name messages give it.
#ifndef TARNWICK_BUS_ANALYZER_ADDRESS_H_
#define TARNWICK_BUS_ANALYZER_ADDRESS_H_

#include <cstdint>
#include <string>

namespace tarnwick {

struct AnalyzerAddress {
  int16_t board = 0;  // board index, taken offline at the end of a run
  int16_t pad = 8;    // primary address
  int16_t sad = 0;    // secondary address, 0 for none
  // The resource as the operator gave it; empty names it "GPIB<board>::<pad>".
  std::string resource;
};

}  // namespace tarnwick

#endif  // TARNWICK_BUS_ANALYZER_ADDRESS_H_
