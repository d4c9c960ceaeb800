#include "analyser/bus_analyser.h"

#include "bus/gpib_driver.h"

namespace tarnwick {

Status BusAnalyser::Open() {
  bus_.Analyzer = -1;  // stays negative when the driver cannot even be reached
  const AnalyzerAddress& at = bus_.address();
  const Result<int16_t> opened =
      bus_.OpenDevice(at.board, at.pad, at.sad, kTimeout10s, kEotMode, kEosMode);
  if (!opened.ok()) return opened.error();
  bus_.Analyzer = opened.value();
  return bus_.CheckOpen(bus_.Analyzer);
}

Status BusAnalyser::TakeOffline() {
  Status first;
  // A failed open leaves no device; a negative descriptor would make some
  // drivers read outside their tables.
  if (bus_.Analyzer >= 0) first = bus_.SetOnline(bus_.Analyzer, 0);
  Status board = bus_.SetOnline(bus_.address().board, 0);
  return first.ok() ? board : first;
}

}  // namespace tarnwick
