#include "drivers/driver_library.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include <fmt/format.h>

#include "text/quote.h"
#include "drivers/shared_library.h"

#ifdef _WIN32
#define TARNWICK_GPIB_CALL __stdcall
#else
#define TARNWICK_GPIB_CALL
#endif

namespace tarnwick {
namespace {

static_assert(sizeof(int) == sizeof(int32_t), "the driver's status words are 32-bit ints");

using IbdevFn = int(TARNWICK_GPIB_CALL*)(int, int, int, int, int, int);
using IbonlFn = int(TARNWICK_GPIB_CALL*)(int, int);
// The count of ibrd/ibwrt is a long in linux-gpib and in the classic
// gpib-32.dll, and a size_t in NI's ni4882 interface. The two differ where
// long is narrower than a pointer (64-bit Windows): there the wrong one
// leaves the upper half of the count undefined.
using IbrdLongFn = int(TARNWICK_GPIB_CALL*)(int, void*, long);
using IbwrtLongFn = int(TARNWICK_GPIB_CALL*)(int, const void*, long);
using IbrdSizeFn = int(TARNWICK_GPIB_CALL*)(int, void*, std::size_t);
using IbwrtSizeFn = int(TARNWICK_GPIB_CALL*)(int, const void*, std::size_t);
using RegisterFn = int(TARNWICK_GPIB_CALL*)(int*, int*, int*, long*);
using UnregisterFn = int(TARNWICK_GPIB_CALL*)();
// ThreadIbsta, Iberr, ThreadIbcnt...: int in linux-gpib, unsigned int or a
// 32-bit unsigned long in NI's libraries; the same 32 bits either way.
using IntStatusFn = int(TARNWICK_GPIB_CALL*)();
using LongStatusFn = long(TARNWICK_GPIB_CALL*)();

// NI's ni4882 interface (ni4882.dll, libni4882.so) counts in size_t.
bool CountsInSizeT(const std::string& path) {
  std::string name = path.substr(path.find_last_of("/\\") + 1);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (name.rfind("lib", 0) == 0) name.erase(0, 3);
  return name.rfind("ni4882", 0) == 0;
}

// linux-gpib's library, whose EDVR at set-up is worth explaining.
bool IsLinuxGpib(const std::string& path) {
  return path.substr(path.find_last_of("/\\") + 1).rfind("libgpib.so", 0) == 0;
}

// The configuration file linux-gpib reads: the one IB_CONFIG names, else its own.
constexpr char kLinuxGpibConfigEnv[] = "IB_CONFIG";
constexpr char kLinuxGpibConfig[] = "/etc/gpib.conf";

}  // namespace

std::string LinuxGpibAdvice(int32_t errnoValue, int board, const std::string& configPath,
                            bool configExists) {
  if (errnoValue == ENOENT && !configExists) {
    return fmt::format("linux-gpib has no configuration file {}: write it for the board, or name "
                       "another with {}",
                       CutForMessage(configPath, kQuotedPathLength), kLinuxGpibConfigEnv);
  }
  if (errnoValue == ENOENT || errnoValue == EBADF || errnoValue == ENODEV ||
      errnoValue == ENXIO) {
    return fmt::format("linux-gpib cannot use the board's device file /dev/gpib{}: load the "
                       "board's kernel driver and run gpib_config",
                       board);
  }
  return {};
}

std::vector<std::string> GpibLibraryCandidates(const std::string& explicitPath) {
#ifdef _WIN32
  return drivers::LibraryCandidates(explicitPath, kGpibLibraryEnv, {"gpib-32.dll", "ni4882.dll"});
#else
  return drivers::LibraryCandidates(explicitPath, kGpibLibraryEnv, {"libgpib.so.0", "libni4882.so"});
#endif
}

struct DriverLibrary::Binding {
  std::unique_ptr<drivers::SharedLibrary> library;
  std::string path;
  IbdevFn ibdev = nullptr;
  IbonlFn ibonl = nullptr;
  IbonlFn ibtmo = nullptr;  // may be missing: the time limit stays as opened
  // Exactly one pair is set, by the count width the library declares.
  IbrdLongFn ibrdLong = nullptr;
  IbwrtLongFn ibwrtLong = nullptr;
  IbrdSizeFn ibrdSize = nullptr;
  IbwrtSizeFn ibwrtSize = nullptr;
  RegisterFn registerGlobals = nullptr;
  UnregisterFn unregisterGlobals = nullptr;
  // The status of libraries without registration, read after every call.
  IntStatusFn status = nullptr;
  IntStatusFn error = nullptr;
  LongStatusFn countLong = nullptr;  // ThreadIbcntl
  IntStatusFn countInt = nullptr;    // ThreadIbcnt or Ibcnt
  std::string statusSource;          // for the description, when emulated

  // The library's own long for the count, where it writes it.
  long libraryCount = 0;

  int32_t Count() const {
    return countLong != nullptr ? static_cast<int32_t>(countLong()) : countInt();
  }
};

DriverLibrary::DriverLibrary(std::vector<std::string> candidates)
    : candidates_(std::move(candidates)) {}

DriverLibrary::~DriverLibrary() = default;

const std::string& DriverLibrary::loaded_path() const {
  static const std::string kNone;
  return binding_ ? binding_->path : kNone;
}

std::string DriverLibrary::Description() const {
  if (!binding_) return {};
  const std::string library = fmt::format("GPIB driver library {}", binding_->path);
  if (binding_->registerGlobals != nullptr) return library;
  return fmt::format("{}, registration emulated (no RegisterGpibGlobalsForThread; status read "
                     "from {} after every call)",
                     library, binding_->statusSource);
}

// Binds one library, or says why it cannot serve.
std::unique_ptr<DriverLibrary::Binding> DriverLibrary::Bind(const std::string& path,
                                                            std::string& reason) {
  auto library = std::make_unique<drivers::SharedLibrary>(path);
  if (!library->is_open()) {
    reason = library->error();
    return nullptr;
  }
  auto b = std::make_unique<Binding>();
  const drivers::SharedLibrary& lib = *library;
  b->library = std::move(library);
  b->path = path;
  for (const char* name : {"ibdev", "ibonl", "ibrd", "ibwrt"}) {
    if (lib.Function<void (*)()>(name) == nullptr) {
      reason = fmt::format("it has no function {}", name);
      return nullptr;
    }
  }
  b->ibdev = lib.Function<IbdevFn>("ibdev");
  b->ibonl = lib.Function<IbonlFn>("ibonl");
  b->ibtmo = lib.Function<IbonlFn>("ibtmo");
  if (CountsInSizeT(path)) {
    b->ibrdSize = lib.Function<IbrdSizeFn>("ibrd");
    b->ibwrtSize = lib.Function<IbwrtSizeFn>("ibwrt");
  } else {
    b->ibrdLong = lib.Function<IbrdLongFn>("ibrd");
    b->ibwrtLong = lib.Function<IbwrtLongFn>("ibwrt");
  }

  b->registerGlobals = lib.Function<RegisterFn>("RegisterGpibGlobalsForThread");
  b->unregisterGlobals = lib.Function<UnregisterFn>("UnregisterGpibGlobalsForThread");
  if (b->registerGlobals != nullptr && b->unregisterGlobals != nullptr) return b;
  b->registerGlobals = nullptr;
  b->unregisterGlobals = nullptr;

  // Per-thread status first: linux-gpib has ThreadIbcntl, NI's Linux library
  // only ThreadIbcnt (its ThreadIbcntl is a macro). Ibsta, Iberr and Ibcnt
  // are process-wide, right only while one thread uses the bus.
  b->status = lib.Function<IntStatusFn>("ThreadIbsta");
  b->error = lib.Function<IntStatusFn>("ThreadIberr");
  b->countLong = lib.Function<LongStatusFn>("ThreadIbcntl");
  b->countInt = lib.Function<IntStatusFn>("ThreadIbcnt");
  if (b->status != nullptr && b->error != nullptr &&
      (b->countLong != nullptr || b->countInt != nullptr)) {
    if (b->countLong != nullptr) b->countInt = nullptr;
    b->statusSource = fmt::format("ThreadIbsta, ThreadIberr, {}",
                                  b->countLong != nullptr ? "ThreadIbcntl" : "ThreadIbcnt");
    return b;
  }
  b->status = lib.Function<IntStatusFn>("Ibsta");
  b->error = lib.Function<IntStatusFn>("Iberr");
  b->countLong = nullptr;
  b->countInt = lib.Function<IntStatusFn>("Ibcnt");
  if (b->status != nullptr && b->error != nullptr && b->countInt != nullptr) {
    b->statusSource = "the process-wide Ibsta, Iberr, Ibcnt";
    return b;
  }
  // Without any status a failed call would look like success.
  reason = "it has neither RegisterGpibGlobalsForThread nor a status to read "
           "(ThreadIbsta or Ibsta)";
  return nullptr;
}

std::optional<std::string> DriverLibrary::Load() {
  if (binding_) return std::nullopt;
  if (!load_error_.empty()) return load_error_;
  std::vector<std::pair<std::string, std::string>> failures;
  for (const std::string& path : candidates_) {
    std::string reason;
    binding_ = Bind(path, reason);
    if (binding_) return std::nullopt;
    failures.emplace_back(path, reason);
  }

  std::string text;
  if (failures.empty()) {
    text = "Cannot load a GPIB driver library: there is none to try.";
  } else if (failures.size() == 1) {
    text = fmt::format("Cannot load the GPIB driver library {}: {}.",
                       CutForMessage(failures[0].first, kQuotedPathLength),
                       CutForMessage(failures[0].second, kQuotedPathLength));
  } else {
    text = "Cannot load a GPIB driver library:";
    for (const auto& [path, reason] : failures) {
      text += fmt::format("\n  {}: {}", CutForMessage(path, kQuotedPathLength),
                          CutForMessage(reason, kQuotedPathLength));
    }
  }
  text += "\n" + drivers::LibraryWaysOut("driver library", "--gpib-library", kGpibLibraryEnv);
  load_error_ = text;
  return text;
}

DriverLibrary::Binding* DriverLibrary::Bound() {
  if (!binding_) Load();
  return binding_.get();
}

int DriverLibrary::AfterCall(int result) {
  if (!WordsRegistered()) return result;
  const Binding& b = *binding_;
  int32_t status = 0, error = 0, count = 0;
  if (b.registerGlobals != nullptr) {
    // The library wrote status and error itself; the count arrives as a long.
    status = RegisteredStatus();
    error = RegisteredError();
    count = static_cast<int32_t>(b.libraryCount);
  } else {
    status = b.status();
    error = b.error();
    count = b.Count();
  }
  std::string advice;
  if ((status & kStatusErr) != 0 && error == EDVR && IsLinuxGpib(b.path)) {
    const char* named = std::getenv(kLinuxGpibConfigEnv);
    const std::string config = named != nullptr && *named != '\0' ? named : kLinuxGpibConfig;
    std::error_code ignored;
    advice = LinuxGpibAdvice(count, board_, config, std::filesystem::exists(config, ignored));
  }
  Finish(status, error, count, std::move(advice));
  return result;
}

int DriverLibrary::RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err, int32_t* cnt,
                                                int32_t* cntl) {
  Binding* b = Bound();
  if (b == nullptr) return 3;
  int rc = 0;
  if (b->registerGlobals != nullptr) {
    rc = b->registerGlobals(sta, err, cnt, &b->libraryCount);
  }
  if (rc == 0 || rc == 1) {
    StatusWordDriver::UnregisterGpibGlobalsForThread();
    StatusWordDriver::RegisterGpibGlobalsForThread(sta, err, cnt, cntl);
  }
  return rc;
}

int DriverLibrary::UnregisterGpibGlobalsForThread() {
  Binding* b = Bound();
  StatusWordDriver::UnregisterGpibGlobalsForThread();
  return b != nullptr && b->unregisterGlobals != nullptr ? b->unregisterGlobals() : 0;
}

int DriverLibrary::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
  Binding* b = Bound();
  if (b == nullptr) return Unloaded(), -1;
  board_ = board;
  return AfterCall(b->ibdev(board, pad, sad, tmo, eot, eos));
}

int DriverLibrary::ibonl(int ud, int v) {
  Binding* b = Bound();
  if (b == nullptr) return Unloaded();
  return AfterCall(b->ibonl(ud, v));
}

int DriverLibrary::ibtmo(int ud, int v) {
  Binding* b = Bound();
  if (b == nullptr) return Unloaded();
  if (b->ibtmo == nullptr) return StatusWordDriver::ibtmo(ud, v);
  return AfterCall(b->ibtmo(ud, v));
}

int DriverLibrary::ibwrt(int ud, const void* buf, long cnt) {
  Binding* b = Bound();
  if (b == nullptr) return Unloaded();
  return AfterCall(b->ibwrtSize != nullptr ? b->ibwrtSize(ud, buf, static_cast<std::size_t>(cnt))
                                           : b->ibwrtLong(ud, buf, cnt));
}

int DriverLibrary::ibrd(int ud, void* buf, long cnt) {
  Binding* b = Bound();
  if (b == nullptr) return Unloaded();
  return AfterCall(b->ibrdSize != nullptr ? b->ibrdSize(ud, buf, static_cast<std::size_t>(cnt))
                                          : b->ibrdLong(ud, buf, cnt));
}

}  // namespace tarnwick
