#include "app/journal_options.h"

#include "journal/sqlite_store.h"

namespace tarnwick {

void AddJournalOptions(CLI::App& app, JournalOptions& options) {
  CLI::Option* journal =
      app.add_option("--journal", options.path,
                     "SQLite journal every run is recorded in (default: " +
#ifdef _WIN32
                         std::string("%LOCALAPPDATA%\\Tarnwick\\results.sqlite)")
#else
                         std::string("$XDG_DATA_HOME/tarnwick/results.sqlite)")
#endif
                         )
          ->option_text("PATH");
  app.add_flag("--no-journal", options.off, "Record nothing")->excludes(journal);
  CLI::Option* limit = app.add_option("--limit", options.limitDbm,
                                      "Judge every reading against one limit in dBm")
                           ->option_text("DBM")
                           // "nan" would pass every reading, "inf" and "1e400" too.
                           ->check(CLI::Validator([](std::string& text) { return NotALimit(text); },
                                                  ""));
  app.add_option("--limits", options.limitsFile,
                 "Judge readings against a file of 'start_MHz stop_MHz limit_dBm' rows")
      ->option_text("FILE")
      ->excludes(limit);
}

std::string JournalPath(const JournalOptions& options) {
  if (options.off) return "";
  return options.path.empty() ? DefaultJournalPath() : options.path;
}

LimitTable ChosenLimits(const JournalOptions& options) {
  if (options.limitDbm) return LimitTable::Everywhere(*options.limitDbm);
  if (!options.limitsFile.empty()) return LimitTable::Load(options.limitsFile);
  return {};
}

}  // namespace tarnwick
