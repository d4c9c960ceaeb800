#include "text/this_machine.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>

#include <fmt/format.h>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace tarnwick {
namespace {

using ProcessId = std::uint64_t;

#ifdef _WIN32
ProcessId CurrentId() { return GetCurrentProcessId(); }

// The process's creation time in 100 ns ticks; none (0) when it has ended
// or cannot be opened.
std::uint64_t StartOf(ProcessId id, bool& unknown) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) {
    // Denied: it exists, but is not ours to look at.
    unknown = GetLastError() == ERROR_ACCESS_DENIED;
    return 0;
  }
  FILETIME created{}, exited{}, kernel{}, user{};
  DWORD code = 0;
  std::uint64_t start = 0;
  if (GetExitCodeProcess(process, &code) && code == STILL_ACTIVE &&
      GetProcessTimes(process, &created, &exited, &kernel, &user)) {
    start = (std::uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
  }
  CloseHandle(process);
  return start;
}
#else
ProcessId CurrentId() { return static_cast<ProcessId>(getpid()); }

// The process's start in clock ticks since boot, the 22nd field of
// /proc/PID/stat (after the command's name in parentheses, which may hold
// blanks). 0 when the process is gone; where there is no /proc, whether
// the id is in use is all that can be known, and unknown is set.
std::uint64_t StartOf(ProcessId id, bool& unknown) {
  std::ifstream stat(fmt::format("/proc/{}/stat", id));
  std::string text;
  if (stat && std::getline(stat, text)) {
    std::istringstream fields(text.substr(text.rfind(')') + 1));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    std::uint64_t start = 0;
    std::from_chars(field.data(), field.data() + field.size(), start);
    return start;
  }
  std::ifstream self("/proc/self/stat");
  if (self) return 0;  // there is a /proc, and it has no such process
  unknown = kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
  return 0;
}
#endif

}  // namespace

std::string HostName() {
#ifdef _WIN32
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (GetComputerNameW(name, &size)) {
    char utf8[4 * (MAX_COMPUTERNAME_LENGTH + 1)];
    const int n = WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(size), utf8,
                                      static_cast<int>(sizeof utf8), nullptr, nullptr);
    if (n > 0) return std::string(utf8, static_cast<std::size_t>(n));
  }
#else
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) == 0 && name[0] != '\0') return name.data();
#endif
  return "unknown host";
}

std::string ThisProcess() {
  bool unknown = false;
  const ProcessId id = CurrentId();
  return fmt::format("{} {} {}", HostName(), id, StartOf(id, unknown));
}

bool ProcessMayBeRunning(std::string_view process) {
  // From the end: a host name may hold blanks.
  const std::size_t startAt = process.rfind(' ');
  const std::size_t idAt = startAt == std::string_view::npos ? startAt : process.rfind(' ', startAt - 1);
  if (idAt == std::string_view::npos) return true;
  if (process.substr(0, idAt) != HostName()) return true;
  ProcessId id = 0;
  std::uint64_t start = 0;
  const std::string_view idText = process.substr(idAt + 1, startAt - idAt - 1);
  const std::string_view startText = process.substr(startAt + 1);
  if (std::from_chars(idText.data(), idText.data() + idText.size(), id).ec != std::errc() ||
      std::from_chars(startText.data(), startText.data() + startText.size(), start).ec !=
          std::errc()) {
    return true;
  }
  bool unknown = false;
  const std::uint64_t now = StartOf(id, unknown);
  return unknown || (now != 0 && now == start);
}

std::string NewUuid() {
  // random_device reads the system's source (getrandom, /dev/urandom,
  // RtlGenRandom), not a seeded sequence.
  std::random_device source;
  std::array<std::uint8_t, 16> b{};
  for (std::size_t i = 0; i < b.size(); i += 4) {
    const std::uint32_t word = source();
    for (std::size_t j = 0; j < 4; ++j) b[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
  }
  b[6] = static_cast<std::uint8_t>((b[6] & 0x0f) | 0x40);  // version 4
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3f) | 0x80);  // RFC 4122 variant
  std::string text;
  for (std::size_t i = 0; i < b.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += fmt::format("{:02x}", b[i]);
  }
  return text;
}

bool IsUuid(std::string_view text) {
  if (text.size() != 36) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash != (text[i] == '-')) return false;
    if (!dash && !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

}  // namespace tarnwick
