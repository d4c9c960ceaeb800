// Reading a small text file (a scene, a limits file, a plan) with a cap, so
// that a huge file or a device such as /dev/zero cannot grow it without end.
#ifndef TARNWICK_TEXT_SMALL_FILE_H_
#define TARNWICK_TEXT_SMALL_FILE_H_

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// The files read this way are a few lines; far more is not one of them.
inline constexpr std::size_t kMaxSmallFileBytes = 1 << 20;

struct SmallFile {
  std::string text;
  // Why it could not be read ("it is a directory", the system's words);
  // empty when it was.
  std::string problem;
  // It holds more than the cap; text is then incomplete.
  bool tooLarge = false;

  // Why a file of kind ("limits file") read with the usual cap cannot be
  // used, as a sentence naming it; empty when it can.
  std::string Refusal(std::string_view kind, const std::string& path) const;
};

// Reads at most maxBytes + 1 bytes of path. Anything but a regular file (a
// FIFO, a device, a directory) is refused before it is opened, so that
// nothing blocks or reads without end.
SmallFile ReadSmallFile(const std::string& path, std::size_t maxBytes = kMaxSmallFileBytes);

// What path is when it exists but is not a regular file, following links:
// "a directory", "a FIFO", "a character device", "a block device", "a
// socket"; empty for a regular file, or for nothing at all.
std::string OtherThanRegularFile(const std::filesystem::path& path);

// The folder the running program's file is in, where the files installed
// with it are found from; none where the system cannot say.
std::optional<std::filesystem::path> ExecutableFolder();

// Tarnwick's folder among the user's files of one kind: on Windows under the
// folder windowsVariable names; elsewhere under the folder xdgVariable names,
// or homeDefault in the home folder (the XDG rules). None when the
// environment names no such place.
std::optional<std::filesystem::path> UserFolder(const char* windowsVariable,
                                                const char* xdgVariable,
                                                const char* homeDefault);

}  // namespace tarnwick

#endif  // TARNWICK_TEXT_SMALL_FILE_H_
