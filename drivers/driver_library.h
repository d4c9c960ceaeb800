// The binding to a GPIB driver shared library (NI-488.2 C API), loaded at the
// first driver call, never at start-up.
#ifndef TARNWICK_BUS_DRIVER_LIBRARY_H_
#define TARNWICK_BUS_DRIVER_LIBRARY_H_

#include <memory>
#include <string>
#include <vector>

#include "bus/gpib_driver.h"
#include "bus/platform.h"

namespace tarnwick {

// Environment variable that names the library when no option does.
inline constexpr char kGpibLibraryEnv[] = "TARNWICK_GPIB_LIBRARY";

// The libraries to try, in order: explicitPath if given, then the environment
// variable, then the platform's usual names.
std::vector<std::string> GpibLibraryCandidates(const std::string& explicitPath);

class DriverLibrary : public GpibDriver {
 public:
  // Tries the candidates in order at the first call. When none can serve (not
  // loadable, or lacking one of the four I/O functions or any status), the
  // message names each with its own reason and the ways out, and the program
  // ends through platform.
  DriverLibrary(std::vector<std::string> candidates, Platform& platform);
  ~DriverLibrary() override;

  int RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err, int32_t* cnt,
                                   int32_t* cntl) override;
  int UnregisterGpibGlobalsForThread() override;
  int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
  int ibonl(int ud, int v) override;
  int ibwrt(int ud, const void* buf, long cnt) override;
  int ibrd(int ud, void* buf, long cnt) override;

  // "GPIB driver library <path>", and whether registration is emulated.
  std::string Description() const override;

  // The library that was loaded; empty before the first call.
  const std::string& loaded_path() const;

 private:
  struct Binding;
  Binding& Bound();
  static std::unique_ptr<Binding> Bind(const std::string& path, std::string& reason);
  void AfterCall();

  std::vector<std::string> candidates_;
  Platform& platform_;
  std::unique_ptr<Binding> binding_;
};

}  // namespace tarnwick

#endif  // TARNWICK_BUS_DRIVER_LIBRARY_H_
