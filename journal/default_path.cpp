#include <cstdlib>
#include <filesystem>
#include <string>

#include "journal/sqlite_store.h"

namespace tarnwick {

std::string DefaultJournalPath() {
  namespace fs = std::filesystem;
  auto env = [](const char* name) -> std::string {
    const char* v = std::getenv(name);
    return v ? v : "";
  };
#ifdef _WIN32
  const std::string base = env("LOCALAPPDATA");
  if (base.empty()) return "";
  return (fs::path(base) / "Tarnwick" / "results.sqlite").string();
#else
  std::string base = env("XDG_DATA_HOME");
  // The XDG rules: a relative value is to be ignored.
  if (base.empty() || base[0] != '/') {
    const std::string home = env("HOME");
    if (home.empty()) return "";
    base = (fs::path(home) / ".local" / "share").string();
  }
  return (fs::path(base) / "tarnwick" / "results.sqlite").string();
#endif
}

}  // namespace tarnwick
