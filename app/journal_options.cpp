#include "app/journal_options.h"

#include <fmt/format.h>

#ifdef TARNWICK_LAB
#include "app/cli_lab.h"
#endif
#include "journal/lab_settings.h"
#include "journal/store_table.h"
#include "text/quote.h"

namespace tarnwick {
namespace {

// The store table's forms double as the option's help.
std::string JournalHelp() {
  std::string help = "The journal every run is recorded in (default: "
#ifdef _WIN32
                     "%LOCALAPPDATA%\\Tarnwick\\results.sqlite):";
#else
                     "$XDG_DATA_HOME/tarnwick/results.sqlite):";
#endif
  for (const StoreForm& form : StoreForms()) {
    help += fmt::format("\n  {}: {}", form.pattern, form.serves);
  }
  return help;
}

}  // namespace

std::string JournalAddressProblem(const std::string& text) {
  try {
    if (!text.empty()) ParseStoreAddress(text);
    return {};
  } catch (const JournalAddressError& e) {
    return e.what();
  }
}

void AddJournalOptions(CLI::App& app, JournalOptions& options) {
  CLI::Option* journal = app.add_option("--journal", options.path, JournalHelp())
                             ->option_text("PATH")
                             ->check(JournalAddressProblem);
  CLI::Option* off = app.add_flag("--no-journal", options.off, "Record nothing")->excludes(journal);
  app.add_option("--bench", options.bench,
                 "This bench's name, which its runs carry to the lab (default: the one "
                 "remembered by tarnwick-cli lab, else the host's name)")
      ->option_text("NAME");
#ifdef TARNWICK_LAB
  app.add_option("--lab", options.lab,
                 "Forward each finished run to this lab (default: the one remembered by "
                 "tarnwick-cli lab)")
      ->option_text("CONNINFO")
      ->check(LabAddressCheck())
      ->excludes(off);
#else
  (void)off;
#endif
  AddLimitOptions(app, options.limitDbm, options.limitsFile);
}

void AddLimitOptions(CLI::App& app, std::optional<double>& limitDbm, std::string& limitsFile) {
  CLI::Option* limit = app.add_option("--limit", limitDbm,
                                      "Judge every reading against one limit in dBm")
                           ->option_text("DBM")
                           // "nan" would pass every reading, "inf" and "1e400" too.
                           ->check(CLI::Validator([](std::string& text) { return NotALimit(text); },
                                                  ""));
  app.add_option("--limits", limitsFile,
                 "Judge readings against a file of 'start_MHz stop_MHz limit_dBm' rows")
      ->option_text("FILE")
      ->excludes(limit);
}

std::string ChosenBenchName(const JournalOptions& options) {
  return BenchName(options.bench, LoadLabSettings(LabSettingsPath()));
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
