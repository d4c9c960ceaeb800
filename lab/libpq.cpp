#include "lab/libpq.h"

#include <string>

#include <fmt/format.h>

#include "drivers/shared_library.h"
#include "journal/result_store.h"

namespace tarnwick::lab {
namespace {

#if defined(_WIN32)
constexpr const char* kLibpq = "libpq.dll";
#elif defined(__APPLE__)
constexpr const char* kLibpq = "libpq.5.dylib";
#else
constexpr const char* kLibpq = "libpq.so.5";
#endif

struct Loaded {
  Libpq functions;
  std::string error;
};

Loaded Load() {
  Loaded loaded;
  // Kept open to the end: libpq keeps state of its own (SSL) once used.
  static const drivers::SharedLibrary* library = new drivers::SharedLibrary(kLibpq);
  if (!library->is_open()) {
    loaded.error = fmt::format("cannot load {} to reach the lab (install libpq5): {}", kLibpq,
                               library->error());
    return loaded;
  }
#define TARNWICK_LIBPQ_FIND(name)                                                          \
  loaded.functions.name = library->Function<decltype(&::name)>(#name);                     \
  if (loaded.functions.name == nullptr && loaded.error.empty()) {                          \
    loaded.error = fmt::format("{} has no {}: it is too old to reach the lab", kLibpq, #name); \
  }
  TARNWICK_LIBPQ_FUNCTIONS(TARNWICK_LIBPQ_FIND)
#undef TARNWICK_LIBPQ_FIND
  return loaded;
}

}  // namespace

const Libpq& Pq() {
  static const Loaded loaded = Load();
  if (!loaded.error.empty()) throw JournalError(loaded.error);
  return loaded.functions;
}

}  // namespace tarnwick::lab
