// The journal's files on disk, seen from outside SQLite: whether the main
// file is whole, whether a path is one of the journal's files, and outputs
// (exports, backups) that appear whole or not at all.
#ifndef TARNWICK_JOURNAL_JOURNAL_FILES_H_
#define TARNWICK_JOURNAL_JOURNAL_FILES_H_

#include <cstdio>
#include <filesystem>
#include <string>

namespace tarnwick {

// Says that the journal at path is damaged, and how; empty when it looks
// whole (or does not exist yet). Cheap at any size: it reads the database
// header and the file's size, and compares the page count the header gives
// with the pages the file holds, so a truncated file is caught.
std::string JournalDamage(const std::string& path);

// Why output must not be written, or empty: it is the journal at journal or
// its -wal or -shm file (the same file, however it is named or linked).
// "" and "-" stand for standard output.
std::string ClashWithJournal(const std::string& journal, const std::string& output);

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

}  // namespace tarnwick

#endif  // TARNWICK_JOURNAL_JOURNAL_FILES_H_
