// The SCPI dialect: IEEE 488.2 common commands and the spectrum-analyser
// subtree of SCPI, each command one message. A sweep is started with "*OPC"
// behind it and awaited on the event status register, with the deadline and
// stop check of the built-in averaging wait. The error queue is read after
// the set-up, where an error stops the run, and after every segment, where
// the errors go up with the marker for the run to judge. Every text it sends is in
// scpi_commands.h.
#ifndef TARNWICK_ANALYSER_SCPI_DIALOGUE_H_
#define TARNWICK_ANALYSER_SCPI_DIALOGUE_H_

#include <string>
#include <vector>

#include "analyser/bus_analyser.h"

namespace tarnwick {

class ScpiDialogue : public BusAnalyser {
 public:
  using BusAnalyser::BusAnalyser;

  std::string_view Name() const override;

  Status Open() override;
  // Fails with the analyser's words when it queued an error during set-up.
  Status SetUp(double refLevelDbm, double refOffsetDb) override;
  // Every sweep, plain or averaged, is awaited: its result is never
  // kNotAveraged.
  Result<SweepResult> Sweep(double startHz, double stopHz, bool averaged) override;
  Status FindPeak() override;
  // The marker, with the errors queued since the last segment.
  Result<Marker> ReadMarker() override;
  // Averaging off and continuous sweep back once set-up has begun, then
  // offline.
  Status Close() override;

 private:
  // Reads the error queue until it says "0,..." or maxReads errors were read.
  Result<std::vector<std::string>> NextErrors(int maxReads);

  std::string error_buffer_;
};

}  // namespace tarnwick

#endif  // TARNWICK_ANALYSER_SCPI_DIALOGUE_H_
