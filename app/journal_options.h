// The journal and limits options both programs share.
#ifndef TARNWICK_APP_JOURNAL_OPTIONS_H_
#define TARNWICK_APP_JOURNAL_OPTIONS_H_

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "results/limits.h"

namespace tarnwick {

// tarnwick-cli's status when every reading was sound but some exceeded
// their limit.
inline constexpr int kExitOverLimit = 5;

struct JournalOptions {
  std::string path;  // empty: the default place
  bool off = false;
  std::optional<double> limitDbm;
  std::string limitsFile;
  std::string bench;  // --bench: empty, the remembered name or the host's
  std::string lab;    // --lab: empty, the remembered lab, if any
};

// Adds --journal, --no-journal, --limit and --limits, --bench, and --lab
// where the build has a lab.
void AddJournalOptions(CLI::App& app, JournalOptions& options);

// Adds --limit DBM and --limits FILE, which exclude each other.
void AddLimitOptions(CLI::App& app, std::optional<double>& limitDbm, std::string& limitsFile);

// The journal's address to write to: empty for --no-journal or when no
// place is known.
std::string JournalPath(const JournalOptions& options);

// For a --journal option's check: why text is no journal's address, listing
// the forms, or empty (also for an empty text: the default place).
std::string JournalAddressProblem(const std::string& text);

// The bench's name the runs carry: --bench, else the remembered one, else
// the host's.
std::string ChosenBenchName(const JournalOptions& options);

// The limits the options give (none when neither option is there). Throws
// LimitsError.
LimitTable ChosenLimits(const JournalOptions& options);

}  // namespace tarnwick

#endif  // TARNWICK_APP_JOURNAL_OPTIONS_H_
