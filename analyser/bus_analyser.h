// What every dialect does the same way: the analyser is opened where the bus
// says it is, with the ten-second timeout, END with the last byte and no
// end-of-string character, and taken offline with its board at the end.
#ifndef TARNWICK_ANALYSER_BUS_ANALYSER_H_
#define TARNWICK_ANALYSER_BUS_ANALYSER_H_

#include <cstdint>
#include <string_view>

#include "analyser/analyser.h"
#include "bus/analyzer_bus.h"
#include "bus/platform.h"

namespace tarnwick {

// How the analyser is opened; where it is comes from the bus's address.
inline constexpr int16_t kEotMode = 1;
inline constexpr int16_t kEosMode = 0;

class BusAnalyser : public Analyser {
 public:
  // platform's clock, sleep and stop check serve the waits.
  BusAnalyser(AnalyzerBus& bus, Platform& platform) : bus_(bus), platform_(platform) {}

  // Stores the descriptor in the bus's Analyzer, negative when the open
  // failed, so that Close never takes a device offline that was not opened.
  Status Open() override;

 protected:
  // Takes the analyser (when it was opened) and then its board offline; both
  // are tried, the first failure is returned.
  Status TakeOffline();
  Status Write(std::string_view text) { return bus_.WriteText(bus_.Analyzer, text); }

  AnalyzerBus& bus_;
  Platform& platform_;
};

}  // namespace tarnwick

#endif  // TARNWICK_ANALYSER_BUS_ANALYSER_H_
