// The journal's files on disk, seen from outside SQLite: whether the main
// file is whole, and the rule every output (exports, reports, backups, the
// window's saves) keeps: never over the journal, never over anything but a
// regular file, whole or not at all.
#ifndef TARNWICK_JOURNAL_JOURNAL_FILES_H_
#define TARNWICK_JOURNAL_JOURNAL_FILES_H_

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// Says that the journal at path is damaged, and how; empty when it looks
// whole (or does not exist yet). Cheap at any size: it reads the database
// header and the file's size, and compares the page count the header gives
// with the pages the file holds, so a truncated file is caught.
std::string JournalDamage(const std::string& path);

// The one rule for every file Tarnwick writes (exports, reports, backups,
// the window's saves): why output must not be written, or empty. Refused
// are the journal at journal and its -wal and -shm files, however they are
// named or linked, and anything that exists but is not a regular file (a
// device, a FIFO, a socket, a directory), which a rename would replace. ""
// and "-" stand for standard output, which is only checked against the
// journal. An empty journal is none in use.
std::string OutputRefusal(const std::string& journal, const std::string& output);

// A file written under a temporary name beside its destination and renamed
// over it by Commit(), so that readers see the old file or the new one, never
// half of one. Removed if not committed. A destination that is a symbolic
// link is replaced where the link points.
class ReplacingFile {
 public:
  explicit ReplacingFile(const std::string& destination);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // The temporary file's path, for writers that open it themselves.
  const std::string& temporary() const { return temporary_; }
  // The temporary file opened for writing, or null with errno set.
  std::FILE* Open();
  // Flushes, syncs and closes what Open() gave, then renames the temporary
  // file into place; the problem, or empty.
  std::string Commit();

 private:
  std::filesystem::path destination_;
  std::string temporary_;
  std::FILE* file_ = nullptr;
  bool committed_ = false;
};

// Where an export, a report or a saved text goes: standard output ("" or
// "-"), or a file that appears whole, through ReplacingFile, once everything
// is written. It does not apply OutputRefusal: its callers have, at the
// moment their command allows.
class OutputFile {
 public:
  explicit OutputFile(const std::string& path);

  // False once anything failed; later writes are skipped.
  bool Write(std::string_view text);
  // The problem, or empty once everything is where it belongs.
  std::string Finish();

 private:
  std::string name_ = "standard output";
  std::optional<ReplacingFile> replacing_;
  std::FILE* file_ = nullptr;
  std::string problem_;
};

// bytes written to output whole, when OutputRefusal allows it; the refusal
// or the problem, or empty.
std::string WriteOutput(const std::string& journal, const std::string& output,
                        std::string_view bytes);

}  // namespace tarnwick

#endif  // TARNWICK_JOURNAL_JOURNAL_FILES_H_
