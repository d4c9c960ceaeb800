// What every dialect does the same way: the analyser is opened where the bus
// says it is, with the ten-second timeout, END with the last byte and no
// end-of-string character, and taken offline with its board at the end.
#ifndef TARNWICK_ANALYSER_BUS_ANALYSER_H_
#define TARNWICK_ANALYSER_BUS_ANALYSER_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "analyser/analyser.h"
#include "bus/analyzer_bus.h"
#include "bus/platform.h"

namespace tarnwick {

// The width of the reply buffer the marker queries share through a run.
inline constexpr std::size_t kMarkerBufferWidth = 50;

// How the analyser is opened; where it is comes from the bus's address.
inline constexpr int16_t kEotMode = 1;
inline constexpr int16_t kEosMode = 0;

// Opens the analyser at the bus's address and stores the descriptor in the
// bus's Analyzer, negative when the open failed, so that nothing is later
// taken offline that was not opened.
Status OpenAnalyser(AnalyzerBus& bus);
// Takes the analyser (when it was opened) and then its board offline; both
// are tried, the first failure is returned.
Status TakeAnalyserOffline(AnalyzerBus& bus);

// prefix, the number as the run writes numbers, suffix: "FA 30000000HZ".
std::string NumberCommand(std::string_view prefix, double value, std::string_view suffix = {});

// How a sweep ended, from the result of a status wait.
SweepResult SweepResultOf(int16_t waitResult);

class BusAnalyser : public Analyser {
 public:
  // platform's clock, sleep and stop check serve the waits.
  BusAnalyser(AnalyzerBus& bus, Platform& platform) : bus_(bus), platform_(platform) {}

  // Opens the analyser with no set-up begun and an empty marker buffer.
  Status Open() override;

 protected:
  // Sends the closing commands when set-up had begun (each is tried), then
  // takes the analyser offline; the first failure.
  Status CloseWith(std::initializer_list<std::string_view> closing);
  Status Write(std::string_view text) { return bus_.WriteText(bus_.Analyzer, text); }

  AnalyzerBus& bus_;
  Platform& platform_;
  bool setup_started_ = false;
  std::string marker_buffer_;
};

}  // namespace tarnwick

#endif  // TARNWICK_ANALYSER_BUS_ANALYSER_H_
