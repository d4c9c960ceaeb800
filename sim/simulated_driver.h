// A GPIB driver with a simulated spectrum analyser on the bus.
#ifndef TARNWICK_SIM_SIMULATED_DRIVER_H_
#define TARNWICK_SIM_SIMULATED_DRIVER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bus/platform.h"
#include "bus/status_words.h"
#include "sim/scene.h"

namespace tarnwick::sim {

class AnalyzerModel;
class ScpiParser;

// The command language the simulated analyser speaks.
enum class Language { kBuiltin, kScpi };

class SimulatedDriver : public StatusWordDriver {
 public:
  // Only platform's clock, sleep and stop check are used: sweeps take the
  // scene's time on it.
  SimulatedDriver(Scene scene, Platform& platform, Language language = Language::kBuiltin);
  ~SimulatedDriver() override;

  // The first registration answers as the scene says; a later one 1 while
  // words are registered.
  int RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err, int32_t* cnt,
                                   int32_t* cntl) override;
  int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
  int ibonl(int ud, int v) override;
  // Takes any timeout code: a read with nothing to say fails at once anyway.
  int ibtmo(int ud, int v) override;
  int ibwrt(int ud, const void* buf, long cnt) override;
  int ibrd(int ud, void* buf, long cnt) override;
  // Speaks language from the next message on, as an analyser switched
  // between its command sets would.
  void SetLanguage(Language language);
  // The whole reply the device at ud has for the last message, or nothing;
  // for a host that frames replies itself. The status words are left alone.
  std::string TakeReply(int ud);

 private:
  // What ibdev opened; a descriptor is ud = index + 1, as 0 is board 0.
  struct Device {
    int pad = 0;
    int sad = 0;
  };

  // The device a descriptor stands for, or nullptr for a board or a bad one.
  Device* Find(int ud);
  bool Listens(const Device& device) const;

  std::unique_ptr<AnalyzerModel> model_;
  std::unique_ptr<ScpiParser> scpi_;  // null for the built-in language
  int address_;
  std::optional<long> silent_after_;
  int first_registration_;

  bool registration_answered_ = false;

  std::vector<std::optional<Device>> devices_;
  std::string unread_;  // reply bytes not yet read
  long answered_ = 0;   // queries that got a reply
};

}  // namespace tarnwick::sim

#endif  // TARNWICK_SIM_SIMULATED_DRIVER_H_
