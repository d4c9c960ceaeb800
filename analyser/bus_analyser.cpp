#include "analyser/bus_analyser.h"

#include "analyser/status_wait.h"
#include "bus/gpib_driver.h"
#include "text/number_text.h"

namespace tarnwick {

Status OpenAnalyser(AnalyzerBus& bus) {
  bus.Analyzer = -1;  // stays negative when the driver cannot even be reached
  const AnalyzerAddress& at = bus.address();
  const Result<int16_t> opened =
      bus.OpenDevice(at.board, at.pad, at.sad, kTimeout10s, kEotMode, kEosMode);
  if (!opened.ok()) return opened.error();
  bus.Analyzer = opened.value();
  return bus.CheckOpen(bus.Analyzer);
}

Status TakeAnalyserOffline(AnalyzerBus& bus) {
  Status first;
  // A failed open leaves no device; a negative descriptor would make some
  // drivers read outside their tables.
  if (bus.Analyzer >= 0) first = bus.SetOnline(bus.Analyzer, 0);
  Status board = bus.SetOnline(bus.address().board, 0);
  return first.ok() ? board : first;
}

Status BusAnalyser::Open() {
  setup_started_ = false;
  marker_buffer_.assign(kMarkerBufferWidth, '\0');
  return OpenAnalyser(bus_);
}

Status BusAnalyser::CloseWith(std::initializer_list<std::string_view> closing) {
  Status first;
  if (setup_started_) {
    for (const std::string_view text : closing) {
      if (Status s = Write(text); first.ok()) first = s;
    }
  }
  setup_started_ = false;
  Status offline = TakeAnalyserOffline(bus_);
  return first.ok() ? offline : first;
}

std::string NumberCommand(std::string_view prefix, double value, std::string_view suffix) {
  std::string text(prefix);
  text += GeneralNumberText(value);
  text += suffix;
  return text;
}

SweepResult SweepResultOf(int16_t waitResult) {
  SweepResult result;
  switch (waitResult) {
    case kWaitInterrupted: result.interrupted = true; break;
    case kWaitTimeout: result.wait = SweepWait::kTimeout; break;
    case kWaitError: result.wait = SweepWait::kError; break;
    default: result.wait = SweepWait::kDone;
  }
  return result;
}

}  // namespace tarnwick
