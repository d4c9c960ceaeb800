// The analyser's own command language, the one Tarnwick has always spoken:
// "FA … HZ", "TS", "MF?", and the averaging wait on the IEEE 488.2 status
// byte. Every text it sends is in builtin_commands.h.
#ifndef TARNWICK_ANALYSER_BUILTIN_DIALOGUE_H_
#define TARNWICK_ANALYSER_BUILTIN_DIALOGUE_H_

#include <cstdint>
#include <string>

#include "analyser/bus_analyser.h"

namespace tarnwick {

class BuiltinDialogue : public BusAnalyser {
 public:
  using BusAnalyser::BusAnalyser;

  std::string_view Name() const override;

  // Also starts a fresh marker buffer, all NUL, for the run.
  Status Open() override;
  Status SetUp(double refLevelDbm, double refOffsetDb) override;
  Result<SweepResult> Sweep(double startHz, double stopHz, bool averaged) override;
  Status FindPeak() override;
  // When nothing of this run has answered "MF?" yet and the marker cannot be
  // read, the failure says whether the analyser answers a probing "*IDN?"
  // (ProbeIdentity): it may speak SCPI instead.
  Result<Marker> ReadMarker() override;
  // "AAVG OFF" once set-up has begun, then offline.
  Status Close() override;

  // Waits for the end of an averaged sweep: "*CLS", "OPR 256", then the
  // status wait with its ten seconds. 0 done, 1 error, 2 timeout,
  // 3 interrupted.
  Result<int16_t> WaitAveraging();

 private:
  BusError WithIdentity(BusError error);

  bool marker_answered_ = false;
};

}  // namespace tarnwick

#endif  // TARNWICK_ANALYSER_BUILTIN_DIALOGUE_H_
