#include "drivers/shared_library.h"

#include <cstdlib>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cctype>

#include <fmt/format.h>

namespace tarnwick::drivers {

std::vector<std::string> LibraryCandidates(const std::string& explicitPath, const char* envVariable,
                                           std::vector<std::string> usualNames) {
  if (!explicitPath.empty()) return {explicitPath};
  if (const char* env = std::getenv(envVariable); env != nullptr && *env != '\0') return {env};
  return usualNames;
}

std::string LibraryWaysOut(std::string_view library, std::string_view option,
                           std::string_view envVariable) {
  return fmt::format("Name the {} with {} PATH or the {} environment variable, or run on the "
                     "simulated analyser with --simulate.",
                     library, option, envVariable);
}

#ifdef _WIN32
namespace {

// The system's own words for an error, with its number for a search.
std::string SystemErrorText(DWORD code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string out = n != 0 && text != nullptr ? std::string(text, n) : std::string();
  if (text != nullptr) LocalFree(text);
  const auto trailing = [](char c) {
    return c == '.' || std::isspace(static_cast<unsigned char>(c)) != 0;
  };
  while (!out.empty() && trailing(out.back())) out.pop_back();
  if (out.empty()) return fmt::format("Windows error {}", code);
  return fmt::format("{} (Windows error {})", out, code);
}

}  // namespace

SharedLibrary::SharedLibrary(const std::string& path) {
  // No "missing DLL" dialog box: the reason goes into our own message.
  DWORD oldMode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
  // LoadLibrary asks for backslashes; CMake and many users write slashes.
  std::string native = path;
  std::replace(native.begin(), native.end(), '/', '\\');
  handle_ = reinterpret_cast<void*>(LoadLibraryA(native.c_str()));
  const DWORD code = GetLastError();
  SetThreadErrorMode(oldMode, nullptr);
  if (handle_ == nullptr) error_ = SystemErrorText(code);
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
  if (handle_ != nullptr) return;
  error_ = dlerror();
  // The caller names the library already.
  const std::string prefix = path + ": ";
  if (error_.rfind(prefix, 0) == 0) error_.erase(0, prefix.size());
}
SharedLibrary::~SharedLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}
void* SharedLibrary::Symbol(const char* name) const { return dlsym(handle_, name); }
#endif

}  // namespace tarnwick::drivers
