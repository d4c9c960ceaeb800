#include "journal/journal_files.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <random>
#include <string_view>
#include <utility>

#include <fmt/format.h>

#include "text/quote.h"
#include "text/small_file.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// The parts of a SQLite database header that say how long the file is.
constexpr std::string_view kMagic{"SQLite format 3\0", 16};
constexpr std::size_t kHeaderBytes = 100;
constexpr std::size_t kPageSizeAt = 16;
constexpr std::size_t kChangeCounterAt = 24;
constexpr std::size_t kPageCountAt = 28;
constexpr std::size_t kValidForAt = 92;

std::uint32_t BigEndian(const std::array<char, kHeaderBytes>& header, std::size_t at,
                        std::size_t bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < bytes; ++i) {
    value = (value << 8) | static_cast<unsigned char>(header[at + i]);
  }
  return value;
}

bool SyncToDisk(std::FILE* file) {
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

}  // namespace

std::string JournalDamage(const std::string& path) {
  const std::string damaged =
      fmt::format("the journal {} is damaged: ", QuotedForMessage(path, kQuotedPathLength));
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  // None yet, or one SQLite has just created: nothing to judge.
  if (error || size == 0) return {};
  std::array<char, kHeaderBytes> header{};
  std::ifstream in(path, std::ios::binary);
  if (!in.read(header.data(), header.size()) ||
      std::string_view(header.data(), kMagic.size()) != kMagic) {
    return damaged + "it does not start with a SQLite database header";
  }
  std::uint64_t pageSize = BigEndian(header, kPageSizeAt, 2);
  if (pageSize == 1) pageSize = 65536;  // the one size that does not fit the field
  const std::uint64_t pages = BigEndian(header, kPageCountAt, 4);
  // Writers older than SQLite 3.7.0 left the count stale; they say so by not
  // matching the change counter.
  if (BigEndian(header, kValidForAt, 4) != BigEndian(header, kChangeCounterAt, 4)) return {};
  if (pages * pageSize > size) {
    return damaged + fmt::format("its header counts {} pages of {} bytes, but the file holds "
                                 "only {} bytes",
                                 pages, pageSize, size);
  }
  return {};
}

std::string OutputRefusal(const std::string& journal, const std::string& output) {
  const bool toStdout = output.empty() || output == "-";
  const std::string shown =
      toStdout ? std::string("standard output") : QuotedForMessage(output, kQuotedPathLength);
  // A rename would put a regular file where the device or FIFO was.
  if (const std::string other = toStdout ? "" : OtherThanRegularFile(output); !other.empty()) {
    return fmt::format("{} is {}, not a regular file: nothing was written", shown, other);
  }
  if (journal.empty()) return {};
#ifdef _WIN32
  if (toStdout) return {};
  const fs::path out = output;
#else
  // Where the descriptor leads: a shell may have pointed it at the journal.
  const fs::path out = toStdout ? "/dev/stdout" : output;
#endif
  const std::pair<const char*, const char*> files[] = {
      {"", "the journal itself"}, {"-wal", "the journal's -wal file"},
      {"-shm", "the journal's -shm file"}};
  for (const auto& [suffix, role] : files) {
    const fs::path file = journal + suffix;
    std::error_code error;
    bool same = false;
    if (fs::exists(out, error) && fs::exists(file, error)) {
      same = fs::equivalent(out, file, error);
    } else {
      // A -wal or -shm file comes and goes: between runs only the name tells.
      same = fs::weakly_canonical(out, error) == fs::weakly_canonical(file, error);
    }
    if (same && !error) return fmt::format("{} is {}: nothing was written", shown, role);
  }
  return {};
}

ReplacingFile::ReplacingFile(const std::string& destination) : destination_(destination) {
  std::error_code error;
  if (fs::is_symlink(destination_, error)) {
    fs::path target = fs::canonical(destination_, error);
    if (!error) destination_ = std::move(target);
  }
  // Beside the destination, so that the rename stays on one file system; a
  // name no other writer picks.
  static std::atomic<unsigned> count{0};
  const auto stamp = static_cast<unsigned long long>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  const unsigned long long unique = (stamp ^ std::random_device{}()) + count++;
  temporary_ = (destination_.parent_path() /
                fmt::format(".{}.{:x}.tmp", destination_.filename().string(), unique))
                   .string();
}

ReplacingFile::~ReplacingFile() {
  if (file_ != nullptr) std::fclose(file_);
  std::error_code ignored;
  if (!committed_) fs::remove(temporary_, ignored);
}

std::FILE* ReplacingFile::Open() {
  file_ = std::fopen(temporary_.c_str(), "wb");
  return file_;
}

std::string ReplacingFile::Commit() {
  const std::string shown = QuotedForMessage(destination_.string(), kQuotedPathLength);
  if (file_ != nullptr) {
    int failure = 0;
    if (std::fflush(file_) != 0 || !SyncToDisk(file_)) failure = errno;
    if (std::fclose(std::exchange(file_, nullptr)) != 0 && failure == 0) failure = errno;
    if (failure != 0) return fmt::format("cannot write {}: {}", shown, std::strerror(failure));
  }
  std::error_code error;
  // A file replaced keeps who may read and write it.
  const fs::file_status old = fs::status(destination_, error);
  if (!error && fs::is_regular_file(old)) fs::permissions(temporary_, old.permissions(), error);
  fs::rename(temporary_, destination_, error);
  if (error) return fmt::format("cannot write {}: {}", shown, error.message());
  committed_ = true;
  return {};
}

OutputFile::OutputFile(const std::string& path) {
  if (path.empty() || path == "-") {
    file_ = stdout;
    return;
  }
  name_ = QuotedForMessage(path, kQuotedPathLength);
  replacing_.emplace(path);
  file_ = replacing_->Open();
  if (file_ == nullptr) problem_ = fmt::format("cannot open {}: {}", name_, std::strerror(errno));
}

bool OutputFile::Write(std::string_view text) {
  if (problem_.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
    problem_ = fmt::format("cannot write {}: {}", name_, std::strerror(errno));
  }
  return problem_.empty();
}

std::string OutputFile::Finish() {
  if (!problem_.empty()) return problem_;
  if (replacing_) return replacing_->Commit();
  if (std::fflush(stdout) != 0) {
    return fmt::format("cannot write {}: {}", name_, std::strerror(errno));
  }
  return {};
}

std::string WriteOutput(const std::string& journal, const std::string& output,
                        std::string_view bytes) {
  if (std::string refusal = OutputRefusal(journal, output); !refusal.empty()) return refusal;
  OutputFile file(output);
  file.Write(bytes);
  return file.Finish();
}

}  // namespace tarnwick
