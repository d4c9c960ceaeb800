// A GPIB driver over the VISA library (Keysight, R&S, NI), loaded at the first
// call like the GPIB driver library. It reaches one resource: GPIB, VXI-11,
// HiSLIP, raw socket or USB, whatever the library can open.
#ifndef TARNWICK_DRIVERS_VISA_DRIVER_H_
#define TARNWICK_DRIVERS_VISA_DRIVER_H_

#include <memory>
#include <string>
#include <vector>

#include "bus/status_words.h"

namespace tarnwick::drivers {

// Environment variable that names the VISA library when no option does.
inline constexpr char kVisaLibraryEnv[] = "TARNWICK_VISA_LIBRARY";

// explicitPath if given, then the environment variable, then the usual names.
std::vector<std::string> VisaLibraryCandidates(const std::string& explicitPath);

class VisaDriver : public StatusWordDriver {
 public:
  // Nothing is loaded until Load, or the first call.
  VisaDriver(std::vector<std::string> candidates, std::string resource);
  ~VisaDriver() override;

  // Loads the first candidate that can be loaded. Why none can serve, or
  // which function the loaded one lacks, is the reason; a call made after
  // a failed load fails with EDVR and that reason.
  std::optional<std::string> Load() override;
  // Opens the resource (board, addresses and modes come from it), with the
  // timeout code's limit and END sent with the last byte. A SOCKET resource
  // has no END: its replies end at LF, and its messages get one.
  int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
  // The device offline closes its session; the board offline closes the
  // resource manager.
  int ibonl(int ud, int v) override;
  // The session's VISA timeout.
  int ibtmo(int ud, int v) override;
  int ibwrt(int ud, const void* buf, long cnt) override;
  int ibrd(int ud, void* buf, long cnt) override;

 private:
  struct Binding;
  // The binding, loading it first if need be; null when it cannot be loaded.
  Binding* Bound();
  // Finishes a call that returned status; VISA errors become GPIB errors
  // with the library's own description.
  int FinishVisa(int32_t status, long count, bool end);

  std::vector<std::string> candidates_;
  std::string resource_;
  std::unique_ptr<Binding> binding_;
  std::string load_error_;
  bool socket_ = false;
};

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_VISA_DRIVER_H_
