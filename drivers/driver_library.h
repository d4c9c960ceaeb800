// The binding to a GPIB driver shared library (NI-488.2 C API), loaded at the
// first driver call, never at start-up.
#ifndef TARNWICK_BUS_DRIVER_LIBRARY_H_
#define TARNWICK_BUS_DRIVER_LIBRARY_H_

#include <memory>
#include <string>
#include <vector>

#include "bus/status_words.h"

namespace tarnwick {

// Environment variable that names the library when no option does.
inline constexpr char kGpibLibraryEnv[] = "TARNWICK_GPIB_LIBRARY";

// The libraries to try, in order: explicitPath if given, then the environment
// variable, then the platform's usual names.
std::vector<std::string> GpibLibraryCandidates(const std::string& explicitPath);

// What linux-gpib's EDVR at set-up means, from the errno it leaves in the
// count: its configuration file is missing (configPath, which it reads, does
// not exist), or its board's device file /dev/gpib<board> is (the kernel
// driver is not loaded, or gpib_config was not run). Empty for other errors.
std::string LinuxGpibAdvice(int32_t errnoValue, int board, const std::string& configPath,
                            bool configExists);

class DriverLibrary : public StatusWordDriver {
 public:
  // Nothing is loaded until Load, or the first call.
  explicit DriverLibrary(std::vector<std::string> candidates);
  ~DriverLibrary() override;

  // Tries the candidates in order. When none can serve (not loadable, or
  // lacking one of the four I/O functions or any status), the reason names
  // each with its own reason and the ways out. A call made after a failed
  // load fails with EDVR and that reason.
  std::optional<std::string> Load() override;

  int RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err, int32_t* cnt,
                                   int32_t* cntl) override;
  int UnregisterGpibGlobalsForThread() override;
  int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
  int ibonl(int ud, int v) override;
  // The library's ibtmo; ECAP when it has none.
  int ibtmo(int ud, int v) override;
  int ibwrt(int ud, const void* buf, long cnt) override;
  int ibrd(int ud, void* buf, long cnt) override;

  // "GPIB driver library <path>", and whether registration is emulated.
  std::string Description() const override;

  // The library that was loaded; empty before the first call.
  const std::string& loaded_path() const;

 private:
  struct Binding;
  // The binding, loading it first if need be; null when it cannot be loaded.
  Binding* Bound();
  static std::unique_ptr<Binding> Bind(const std::string& path, std::string& reason);
  // Brings the registered words up to date after a library call.
  int AfterCall(int result);
  int Unloaded() { return Fail(EDVR, load_error_); }

  std::vector<std::string> candidates_;
  std::unique_ptr<Binding> binding_;
  int board_ = 0;  // of the last ibdev, for advice on linux-gpib's set-up
  std::string load_error_;  // why the library cannot be loaded, once tried
};

}  // namespace tarnwick

#endif  // TARNWICK_BUS_DRIVER_LIBRARY_H_
