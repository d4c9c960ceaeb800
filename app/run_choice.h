// How the reading commands choose a journal and the runs in it: by number
// or UUID, or by bench, dates and verdict; from the bench's journal, a lab
// named, or the lab the bench remembers.
#ifndef TARNWICK_APP_RUN_CHOICE_H_
#define TARNWICK_APP_RUN_CHOICE_H_

#include <cstdint>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "journal/result_store.h"

namespace tarnwick {

// For a check: why text is not a whole number from 1 up, or empty.
std::string CheckCount(std::string& text);

// --bench, --since, --until and --verdict, as given.
struct FilterOptions {
  std::string bench;
  std::string since;  // YYYY-MM-DD, UTC
  std::string until;  // YYYY-MM-DD, UTC, the whole day included
  std::string verdict;
  bool Given() const { return !bench.empty() || !since.empty() || !until.empty() || !verdict.empty(); }
  RunFilter Filter() const;
};

// Adds the four filter options to a subcommand.
void AddFilterOptions(CLI::App& sub, FilterOptions& filter);

// Adds --journal ADDRESS and --lab (the lab this bench remembers) to a
// reading subcommand.
void AddReadingJournal(CLI::App& sub, std::string& journal, bool& lab);

// The journal a reading command reads: the lab remembered when lab is set,
// else journal, else the default place. Throws JournalAddressError when lab
// is set and none is remembered.
std::string ReadingJournal(const std::string& journal, bool lab);

// A run named on a command line: its number, or its UUID.
std::string CheckRunName(std::string& text);
// The number of the run text names in store; none when it holds no such run.
std::optional<std::int64_t> FindRun(ResultStore& store, const std::string& text);

}  // namespace tarnwick

#endif  // TARNWICK_APP_RUN_CHOICE_H_
