#include "drivers/shared_library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <fmt/format.h>

namespace tarnwick::drivers {

#ifdef _WIN32
SharedLibrary::SharedLibrary(const std::string& path) {
  handle_ = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
  if (handle_ == nullptr) error_ = fmt::format("Windows error {}", GetLastError());
}
SharedLibrary::~SharedLibrary() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}
void* SharedLibrary::Symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}
#else
SharedLibrary::SharedLibrary(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) error_ = dlerror();
}
SharedLibrary::~SharedLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}
void* SharedLibrary::Symbol(const char* name) const { return dlsym(handle_, name); }
#endif

}  // namespace tarnwick::drivers
