// The simulated analyser as a VISA library: the few VISA C functions Tarnwick
// calls, so that its VISA binding is tried end to end without any vendor's
// library. Every viOpen gets an analyser of its own, on the scene named by
// TARNWICK_SIM_SCENE or the built-in one. A GPIB resource is reached at its
// address; any other resource reaches the analyser wherever it listens.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "drivers/visa_api.h"
#include "sim/scene.h"
#include "sim/simulated_driver.h"

#if defined(_WIN32)
#define TARNWICK_SIM_EXPORT extern "C" __declspec(dllexport)
#else
#define TARNWICK_SIM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

namespace v = tarnwick::visa;
using tarnwick::sim::SimulatedDriver;


struct Instrument {
  std::unique_ptr<SimulatedDriver> driver;
  int32_t sta = 0, err = 0, cnt = 0, cntl = 0;
  int ud = -1;
};

struct Library {
  std::mutex mutex;
  tarnwick::SystemPlatform platform;  // only its clock is used
  std::optional<tarnwick::sim::Scene> scene;  // empty when the scene file is broken
  std::map<v::ViSession, std::unique_ptr<Instrument>> sessions;  // null: a resource manager
  v::ViSession next = 1;
};

Library& TheLibrary() {
  static Library library;
  static std::once_flag loaded;
  std::call_once(loaded, [] {
    library.scene = tarnwick::sim::SceneFromEnvironment();
  });
  return library;
}

// "GPIB[board]::pad[::sad]::INSTR": the address; nullopt for any other form.
std::optional<int> GpibAddress(std::string_view name) {
  if (name.size() < 4 || (name.substr(0, 4) != "GPIB" && name.substr(0, 4) != "gpib")) {
    return std::nullopt;
  }
  const auto first = name.find("::");
  if (first == std::string_view::npos) return std::nullopt;
  return std::atoi(std::string(name.substr(first + 2)).c_str());
}

v::ViStatus FromDriver(int status, int32_t error) {
  if ((status & tarnwick::kStatusErr) == 0) return v::kSuccess;
  if (error == tarnwick::EABO) return v::kErrorTimeout;
  if (error == tarnwick::ENOL) return v::kErrorNoListeners;
  return v::kErrorSystem;
}

Instrument* Find(Library& library, v::ViSession vi) {
  const auto it = library.sessions.find(vi);
  return it == library.sessions.end() ? nullptr : it->second.get();
}

}  // namespace

TARNWICK_SIM_EXPORT v::ViStatus TARNWICK_VISA_CALL viOpenDefaultRM(v::ViSession* rm) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  if (!library.scene) return v::kErrorSystem;
  *rm = library.next++;
  library.sessions[*rm] = nullptr;
  return v::kSuccess;
}

TARNWICK_SIM_EXPORT v::ViStatus TARNWICK_VISA_CALL viOpen(v::ViSession rm, const char* name,
                                                          v::ViUInt32, v::ViUInt32,
                                                          v::ViSession* vi) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  if (!library.sessions.contains(rm) || name == nullptr || std::strstr(name, "::") == nullptr) {
    return v::kErrorResourceNotFound;
  }
  auto instrument = std::make_unique<Instrument>();
  instrument->driver = std::make_unique<SimulatedDriver>(*library.scene, library.platform);
  Instrument& i = *instrument;
  i.driver->RegisterGpibGlobalsForThread(&i.sta, &i.err, &i.cnt, &i.cntl);
  const int pad = GpibAddress(name).value_or(library.scene->address);
  i.ud = i.driver->ibdev(0, pad, 0, tarnwick::kTimeout10s, 1, 0);
  if (i.ud < 0) return v::kErrorResourceNotFound;
  *vi = library.next++;
  library.sessions[*vi] = std::move(instrument);
  return v::kSuccess;
}

TARNWICK_SIM_EXPORT v::ViStatus TARNWICK_VISA_CALL viClose(v::ViSession vi) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  return library.sessions.erase(vi) == 1 ? v::kSuccess : v::kErrorSystem;
}

TARNWICK_SIM_EXPORT v::ViStatus TARNWICK_VISA_CALL viSetAttribute(v::ViSession vi, v::ViAttr,
                                                                  v::ViAttrState) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  return Find(library, vi) != nullptr ? v::kSuccess : v::kErrorSystem;
}

TARNWICK_SIM_EXPORT v::ViStatus TARNWICK_VISA_CALL viWrite(v::ViSession vi,
                                                           const unsigned char* buf,
                                                           v::ViUInt32 count,
                                                           v::ViUInt32* written) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  Instrument* i = Find(library, vi);
  if (i == nullptr) return v::kErrorSystem;
  const int status = i->driver->ibwrt(i->ud, buf, static_cast<long>(count));
  if (written != nullptr) *written = static_cast<v::ViUInt32>(i->cntl);
  return FromDriver(status, i->err);
}

TARNWICK_SIM_EXPORT v::ViStatus TARNWICK_VISA_CALL viRead(v::ViSession vi, unsigned char* buf,
                                                          v::ViUInt32 count,
                                                          v::ViUInt32* received) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  Instrument* i = Find(library, vi);
  if (i == nullptr) return v::kErrorSystem;
  const int status = i->driver->ibrd(i->ud, buf, static_cast<long>(count));
  if (received != nullptr) *received = static_cast<v::ViUInt32>(i->cntl);
  if ((status & tarnwick::kStatusErr) != 0) return FromDriver(status, i->err);
  return (status & tarnwick::kStatusEnd) != 0 ? v::kSuccess : v::kSuccessMaxCount;
}

TARNWICK_SIM_EXPORT v::ViStatus TARNWICK_VISA_CALL viStatusDesc(v::ViSession, v::ViStatus status,
                                                                char* desc) {
  const char* text = "Unknown status.";
  switch (status) {
    case v::kSuccess: text = "Operation completed successfully."; break;
    case v::kErrorTimeout: text = "Timeout expired before the operation completed."; break;
    case v::kErrorNoListeners: text = "No listeners detected on the bus (simulated)."; break;
    case v::kErrorResourceNotFound: text = "Resource not present (simulated)."; break;
    case v::kErrorSystem: text = "Simulated analyser: system error."; break;
    default: break;
  }
  std::snprintf(desc, v::kStatusDescSize, "%s", text);
  return v::kSuccess;
}
