// A GPIB driver with a simulated spectrum analyser on the bus.
#ifndef TARNWICK_SIM_SIMULATED_DRIVER_H_
#define TARNWICK_SIM_SIMULATED_DRIVER_H_

#include <memory>

#include "bus/gpib_driver.h"
#include "bus/platform.h"
#include "sim/scene.h"

namespace tarnwick::sim {

class AnalyzerModel;

class SimulatedDriver : public GpibDriver {
 public:
  // Only platform's clock is used: averaged sweeps take the scene's time on it.
  SimulatedDriver(Scene scene, Platform& platform);
  ~SimulatedDriver() override;

  int RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err, int32_t* cnt,
                                   int32_t* cntl) override;
  int UnregisterGpibGlobalsForThread() override;
  int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
  int ibonl(int ud, int v) override;
  int ibwrt(int ud, const void* buf, long cnt) override;
  int ibrd(int ud, void* buf, long cnt) override;

 private:
  // (left to the implementation)
};

}  // namespace tarnwick::sim

#endif  // TARNWICK_SIM_SIMULATED_DRIVER_H_
