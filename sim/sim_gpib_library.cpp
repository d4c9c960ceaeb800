// The simulated analyser as a GPIB driver shared library with the NI-488.2 C
// functions, so a program loads it exactly as it would load a real driver.
// The scene comes from the file named by TARNWICK_SIM_SCENE, or is the
// built-in one. There is one analyser and one set of registered words for
// the whole process; calls from several threads take turns.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string_view>

#include "sim/scene.h"
#include "sim/simulated_driver.h"

#if defined(_WIN32)
// Exported by tarnwick_sim_gpib.def, under plain names in 32-bit builds too.
#define TARNWICK_SIM_EXPORT extern "C"
#define TARNWICK_SIM_CALL __stdcall
#else
#define TARNWICK_SIM_EXPORT extern "C" __attribute__((visibility("default")))
#define TARNWICK_SIM_CALL
#endif

namespace {

using tarnwick::sim::SimulatedDriver;

static_assert(sizeof(int) == sizeof(int32_t), "the registered words are 32-bit ints");

struct Library {
  std::mutex mutex;
  tarnwick::SystemPlatform platform;  // only its clock is used
  std::unique_ptr<SimulatedDriver> driver;  // null when the scene is broken
  // The caller's count word is a long; the driver writes a 32-bit one.
  int32_t countShadow = 0;
  long* count = nullptr;
};

// Built at the first call, so the scene is read when the program first
// touches the bus and a broken scene is reported then.
Library& TheLibrary() {
  static Library library;
  static std::once_flag loaded;
  std::call_once(loaded, [] {
    if (auto scene = tarnwick::sim::SceneFromEnvironment()) {
      library.driver = std::make_unique<SimulatedDriver>(std::move(*scene), library.platform);
    }
  });
  return library;
}

// Runs one driver call under the lock and brings the long count word up to
// date afterwards.
template <typename Call>
int Locked(int failed, Call call) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  if (!library.driver) return failed;
  const int result = call(*library.driver);
  if (library.count != nullptr && library.driver->WordsRegistered()) {
    *library.count = library.countShadow;
  }
  return result;
}

constexpr int kCannotRegister = 3;
// I/O calls on a broken scene fail with ERR.
constexpr int kFailedStatus = tarnwick::kStatusErr;

}  // namespace

TARNWICK_SIM_EXPORT int TARNWICK_SIM_CALL RegisterGpibGlobalsForThread(int* sta, int* err,
                                                                       int* cnt, long* cntl) {
  // A broken scene refuses registration, so the program ends before any run.
  return Locked(kCannotRegister, [&](SimulatedDriver& driver) {
    Library& library = TheLibrary();
    const int answer = driver.RegisterGpibGlobalsForThread(
        reinterpret_cast<int32_t*>(sta), reinterpret_cast<int32_t*>(err),
        reinterpret_cast<int32_t*>(cnt), cntl != nullptr ? &library.countShadow : nullptr);
    if (driver.WordsRegistered() && library.count == nullptr) library.count = cntl;
    return answer;
  });
}

TARNWICK_SIM_EXPORT int TARNWICK_SIM_CALL UnregisterGpibGlobalsForThread() {
  return Locked(0, [](SimulatedDriver& driver) {
    TheLibrary().count = nullptr;
    return driver.UnregisterGpibGlobalsForThread();
  });
}

TARNWICK_SIM_EXPORT int TARNWICK_SIM_CALL ibdev(int board, int pad, int sad, int tmo, int eot,
                                                int eos) {
  return Locked(-1, [&](SimulatedDriver& driver) {
    return driver.ibdev(board, pad, sad, tmo, eot, eos);
  });
}

TARNWICK_SIM_EXPORT int TARNWICK_SIM_CALL ibonl(int ud, int v) {
  return Locked(kFailedStatus, [&](SimulatedDriver& driver) { return driver.ibonl(ud, v); });
}

TARNWICK_SIM_EXPORT int TARNWICK_SIM_CALL ibtmo(int ud, int v) {
  return Locked(kFailedStatus, [&](SimulatedDriver& driver) { return driver.ibtmo(ud, v); });
}

TARNWICK_SIM_EXPORT int TARNWICK_SIM_CALL ibwrt(int ud, const void* buf, long cnt) {
  return Locked(kFailedStatus,
                [&](SimulatedDriver& driver) { return driver.ibwrt(ud, buf, cnt); });
}

TARNWICK_SIM_EXPORT int TARNWICK_SIM_CALL ibrd(int ud, void* buf, long cnt) {
  return Locked(kFailedStatus,
                [&](SimulatedDriver& driver) { return driver.ibrd(ud, buf, cnt); });
}
