#include "bus/driver_library.h"

#include <cstdlib>

#include <fmt/format.h>

#ifdef _WIN32
#include <windows.h>
#define TARNWICK_GPIB_CALL __stdcall
#else
#include <dlfcn.h>
#define TARNWICK_GPIB_CALL
#endif

namespace tarnwick {
namespace {

static_assert(sizeof(int) == sizeof(int32_t), "the driver's status words are 32-bit ints");

using IbdevFn = int(TARNWICK_GPIB_CALL*)(int, int, int, int, int, int);
using IbonlFn = int(TARNWICK_GPIB_CALL*)(int, int);
using IbrdFn = int(TARNWICK_GPIB_CALL*)(int, void*, long);
using IbwrtFn = int(TARNWICK_GPIB_CALL*)(int, const void*, long);
using RegisterFn = int(TARNWICK_GPIB_CALL*)(int*, int*, int*, long*);
using UnregisterFn = int(TARNWICK_GPIB_CALL*)();
using IntStatusFn = int(TARNWICK_GPIB_CALL*)();
using LongStatusFn = long(TARNWICK_GPIB_CALL*)();

#ifdef _WIN32
void* OpenLibrary(const std::string& path, std::string& error) {
  HMODULE h = LoadLibraryA(path.c_str());
  if (h == nullptr) error = fmt::format("Windows error {}", GetLastError());
  return reinterpret_cast<void*>(h);
}
void* Symbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void CloseLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
#else
void* OpenLibrary(const std::string& path, std::string& error) {
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (h == nullptr) error = dlerror();
  return h;
}
void* Symbol(void* handle, const char* name) { return dlsym(handle, name); }
void CloseLibrary(void* handle) { dlclose(handle); }
#endif

template <typename Fn>
Fn Find(void* handle, const char* name) {
  return reinterpret_cast<Fn>(Symbol(handle, name));
}

[[noreturn]] void FailToLoad(Platform& platform, const std::string& name,
                             const std::string& reason) {
  platform.CriticalMessage(fmt::format("Cannot load the GPIB driver library {}: {}", name, reason));
  EndProgramVia(platform);
}

}  // namespace

std::vector<std::string> GpibLibraryCandidates(const std::string& explicitPath) {
  // A library the engineer named is the only one tried: falling back to
  // another driver behind their back would be a surprise on a bench.
  if (!explicitPath.empty()) return {explicitPath};
  if (const char* env = std::getenv(kGpibLibraryEnv); env != nullptr && *env != '\0') {
    return {env};
  }
#ifdef _WIN32
  return {"gpib-32.dll", "ni4882.dll"};
#else
  return {"libgpib.so.0", "libni4882.so", "libgpibapi.so"};
#endif
}

struct DriverLibrary::Binding {
  void* handle = nullptr;
  std::string path;
  IbdevFn ibdev = nullptr;
  IbonlFn ibonl = nullptr;
  IbrdFn ibrd = nullptr;
  IbwrtFn ibwrt = nullptr;
  RegisterFn registerGlobals = nullptr;
  UnregisterFn unregisterGlobals = nullptr;
  // Per-thread status of libraries without registration.
  IntStatusFn status = nullptr;
  IntStatusFn error = nullptr;
  LongStatusFn count = nullptr;

  // The words registered with us, and the library's own long for the count.
  int32_t* sta = nullptr;
  int32_t* err = nullptr;
  int32_t* cnt = nullptr;
  int32_t* cntl = nullptr;
  long libraryCount = 0;

  ~Binding() {
    if (handle != nullptr) CloseLibrary(handle);
  }
};

DriverLibrary::DriverLibrary(std::vector<std::string> candidates, Platform& platform)
    : candidates_(std::move(candidates)), platform_(platform) {}

DriverLibrary::~DriverLibrary() = default;

const std::string& DriverLibrary::loaded_path() const {
  static const std::string kNone;
  return binding_ ? binding_->path : kNone;
}

DriverLibrary::Binding& DriverLibrary::Bound() {
  if (binding_) return *binding_;
  std::string firstError;
  for (const std::string& path : candidates_) {
    std::string error;
    void* handle = OpenLibrary(path, error);
    if (handle == nullptr) {
      if (firstError.empty()) firstError = error;
      continue;
    }
    auto b = std::make_unique<Binding>();
    b->handle = handle;
    b->path = path;
    b->ibdev = Find<IbdevFn>(handle, "ibdev");
    b->ibonl = Find<IbonlFn>(handle, "ibonl");
    b->ibrd = Find<IbrdFn>(handle, "ibrd");
    b->ibwrt = Find<IbwrtFn>(handle, "ibwrt");
    for (const char* name : {"ibdev", "ibonl", "ibrd", "ibwrt"}) {
      if (Symbol(handle, name) == nullptr) FailToLoad(platform_, path, fmt::format("it has no function {}", name));
    }
    b->registerGlobals = Find<RegisterFn>(handle, "RegisterGpibGlobalsForThread");
    b->unregisterGlobals = Find<UnregisterFn>(handle, "UnregisterGpibGlobalsForThread");
    if (b->registerGlobals == nullptr || b->unregisterGlobals == nullptr) {
      b->registerGlobals = nullptr;
      b->unregisterGlobals = nullptr;
      b->status = Find<IntStatusFn>(handle, "ThreadIbsta");
      b->error = Find<IntStatusFn>(handle, "ThreadIberr");
      b->count = Find<LongStatusFn>(handle, "ThreadIbcntl");
      if (b->status == nullptr || b->error == nullptr || b->count == nullptr) {
        b->status = Find<IntStatusFn>(handle, "Ibsta");
        b->error = Find<IntStatusFn>(handle, "Iberr");
        b->count = Find<LongStatusFn>(handle, "Ibcnt");
      }
      // Without any status a failed call would look like success.
      if (b->status == nullptr || b->error == nullptr || b->count == nullptr) {
        FailToLoad(platform_, path, "it has neither RegisterGpibGlobalsForThread nor a per-thread status "
                   "(ThreadIbsta or Ibsta)");
      }
    }
    binding_ = std::move(b);
    return *binding_;
  }

  std::string name = candidates_.empty() ? std::string("(none)") : candidates_.front();
  std::string reason = firstError.empty() ? std::string("no library to try") : firstError;
  if (candidates_.size() > 1) {
    reason += "; also tried";
    for (std::size_t i = 1; i < candidates_.size(); ++i) reason += " " + candidates_[i];
  }
  FailToLoad(platform_, name, reason);
}

void DriverLibrary::AfterCall() {
  Binding& b = *binding_;
  if (b.sta == nullptr) return;
  if (b.registerGlobals != nullptr) {
    // The library wrote the first three itself; the count arrives as a long.
    *b.cntl = static_cast<int32_t>(b.libraryCount);
    return;
  }
  *b.sta = b.status();
  *b.err = b.error();
  *b.cntl = static_cast<int32_t>(b.count());
  *b.cnt = *b.cntl;
}

int DriverLibrary::RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err, int32_t* cnt,
                                                int32_t* cntl) {
  Binding& b = Bound();
  int rc = 0;
  if (b.registerGlobals != nullptr) {
    rc = b.registerGlobals(sta, err, cnt, &b.libraryCount);
  }
  if (rc == 0 || rc == 1) {
    b.sta = sta;
    b.err = err;
    b.cnt = cnt;
    b.cntl = cntl;
  }
  return rc;
}

int DriverLibrary::UnregisterGpibGlobalsForThread() {
  Binding& b = Bound();
  b.sta = b.err = b.cnt = b.cntl = nullptr;
  return b.unregisterGlobals != nullptr ? b.unregisterGlobals() : 0;
}

int DriverLibrary::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
  const int ud = Bound().ibdev(board, pad, sad, tmo, eot, eos);
  AfterCall();
  return ud;
}

int DriverLibrary::ibonl(int ud, int v) {
  const int rc = Bound().ibonl(ud, v);
  AfterCall();
  return rc;
}

int DriverLibrary::ibwrt(int ud, const void* buf, long cnt) {
  const int rc = Bound().ibwrt(ud, buf, cnt);
  AfterCall();
  return rc;
}

int DriverLibrary::ibrd(int ud, void* buf, long cnt) {
  const int rc = Bound().ibrd(ud, buf, cnt);
  AfterCall();
  return rc;
}

}  // namespace tarnwick
