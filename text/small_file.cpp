#include "text/small_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <fmt/format.h>

#include "text/quote.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace tarnwick {

std::string OtherThanRegularFile(const std::filesystem::path& path) {
  namespace fs = std::filesystem;
  std::error_code ignored;
  switch (fs::status(path, ignored).type()) {
    case fs::file_type::none:
    case fs::file_type::not_found:
    case fs::file_type::regular: return "";
    case fs::file_type::directory: return "a directory";
    case fs::file_type::fifo: return "a FIFO";
    case fs::file_type::character: return "a character device";
    case fs::file_type::block: return "a block device";
    case fs::file_type::socket: return "a socket";
    default: return "a file of an unknown kind";
  }
}

SmallFile ReadSmallFile(const std::string& path, std::size_t maxBytes) {
  SmallFile file;
  // Opening a FIFO waits for a writer; a device may never end.
  if (const std::string other = OtherThanRegularFile(path); !other.empty()) {
    file.problem = fmt::format("it is {}, not a regular file", other);
    return file;
  }
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    file.problem = errno != 0 ? std::strerror(errno) : "cannot open it";
    return file;
  }
  // In pieces rather than into one buffer of the cap: most files are small.
  char piece[16 * 1024];
  while (in && file.text.size() <= maxBytes) {
    in.read(piece,
            static_cast<std::streamsize>(std::min(sizeof piece, maxBytes + 1 - file.text.size())));
    file.text.append(piece, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) {
    file.text.clear();
    file.problem = "a read failed";
    return file;
  }
  file.tooLarge = file.text.size() > maxBytes;
  return file;
}

std::string SmallFile::Refusal(std::string_view kind, const std::string& path) const {
  if (!problem.empty()) {
    return fmt::format("Cannot read the {} {}: {}", kind, QuotedForMessage(path, kQuotedPathLength),
                       problem);
  }
  if (tooLarge) {
    return fmt::format("The {} {} is over 1 MB: not a {}", kind,
                       QuotedForMessage(path, kQuotedPathLength), kind);
  }
  return "";
}

std::optional<std::filesystem::path> UserFolder([[maybe_unused]] const char* windowsVariable,
                                                [[maybe_unused]] const char* xdgVariable,
                                                [[maybe_unused]] const char* homeDefault) {
  namespace fs = std::filesystem;
  auto env = [](const char* name) -> std::string {
    const char* value = std::getenv(name);
    return value ? value : "";
  };
#ifdef _WIN32
  const std::string base = env(windowsVariable);
  if (base.empty()) return std::nullopt;
  return fs::path(base) / "Tarnwick";
#else
  std::string base = env(xdgVariable);
  // The XDG rules: a relative value is to be ignored.
  if (base.empty() || base[0] != '/') {
    const std::string home = env("HOME");
    if (home.empty()) return std::nullopt;
    base = (fs::path(home) / homeDefault).string();
  }
  return fs::path(base) / "tarnwick";
#endif
}

std::optional<std::filesystem::path> ExecutableFolder() {
#ifdef _WIN32
  std::wstring buffer(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return std::nullopt;
  buffer.resize(n);
  return std::filesystem::path(buffer).parent_path();
#elif defined(__linux__)
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::nullopt;
  return exe.parent_path();
#else
  return std::nullopt;
#endif
}

}  // namespace tarnwick
