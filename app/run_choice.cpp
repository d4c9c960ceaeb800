#include "app/run_choice.h"

#include <charconv>
#include <chrono>
#include <limits>
#include <sstream>

#include <fmt/format.h>

#include "app/journal_options.h"
#include "journal/lab_settings.h"
#include "journal/store_table.h"
#include "text/quote.h"
#include "text/this_machine.h"

namespace tarnwick {

// Run ids and counts are whole numbers from 1 on. Checked on the text:
// converted first, "-1" would become a huge count and an id past 64 bits
// the largest one.
std::string CheckCount(std::string& text) {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || value < 1) {
    return fmt::format("{} is not a whole number from 1 to {}", QuotedForMessage(text),
                       std::numeric_limits<std::int64_t>::max());
  }
  return {};
}

namespace {

// A day as --since and --until take it, YYYY-MM-DD; none when text is not one.
std::optional<std::chrono::sys_days> Day(const std::string& text) {
  unsigned y = 0, m = 0, d = 0;
  char dash1 = 0, dash2 = 0;
  std::istringstream in(text);
  if (text.size() != 10 || !(in >> y >> dash1 >> m >> dash2 >> d) || dash1 != '-' || dash2 != '-') {
    return std::nullopt;
  }
  const std::chrono::year_month_day day{std::chrono::year(static_cast<int>(y)), std::chrono::month(m),
                                        std::chrono::day(d)};
  if (!day.ok()) return std::nullopt;
  return std::chrono::sys_days(day);
}

std::string DayStart(std::chrono::sys_days day) {
  const std::chrono::year_month_day d(day);
  return fmt::format("{:04}-{:02}-{:02}T00:00:00.000Z", static_cast<int>(d.year()),
                     static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()));
}

}  // namespace

RunFilter FilterOptions::Filter() const {
  RunFilter f;
  f.benchName = bench;
  if (!since.empty()) f.since = DayStart(*Day(since));
  if (!until.empty()) f.before = DayStart(*Day(until) + std::chrono::days(1));
  f.verdict = verdict;
  return f;
}

void AddFilterOptions(CLI::App& sub, FilterOptions& f) {
  const CLI::Validator day(
      [](std::string& text) {
        return Day(text) ? std::string()
                         : fmt::format("{} is not a date as YYYY-MM-DD", QuotedForMessage(text));
      },
      "");
  sub.add_option("--bench", f.bench, "Only the runs of this bench (its name)")->option_text("NAME");
  sub.add_option("--since", f.since, "Only runs started on or after this day (UTC)")
      ->option_text("DATE")
      ->check(day);
  sub.add_option("--until", f.until, "Only runs started on or before this day (UTC)")
      ->option_text("DATE")
      ->check(day);
  sub.add_option("--verdict", f.verdict, "Only runs with this verdict")
      ->option_text("PASS|FAIL|DOUBTFUL")
      ->check(CLI::IsMember({"PASS", "FAIL", "DOUBTFUL", "STOPPED", "MEASURED"}));
}

void AddReadingJournal(CLI::App& sub, std::string& journal, bool& lab) {
  CLI::Option* address = sub.add_option("--journal", journal, "The journal to read (default: where runs go), "
                                                              "or a lab (postgresql://...)")
                             ->option_text("ADDRESS")
                             ->check(JournalAddressProblem);
  sub.add_flag("--lab", lab, "Read the lab this bench forwards to (see lab status)")->excludes(address);
}

std::string ReadingJournal(const std::string& journal, bool lab) {
  if (lab) {
    const std::string remembered = LoadLabSettings(LabSettingsPath()).lab;
    if (remembered.empty()) {
      throw JournalAddressError("no lab is remembered: name one with --journal postgresql://... or "
                                "remember it with tarnwick-cli lab sync --lab CONNINFO");
    }
    return remembered;
  }
  return journal.empty() ? DefaultJournalPath() : journal;
}

std::string CheckRunName(std::string& text) {
  if (IsUuid(text)) return {};
  std::string copy = text;
  const std::string problem = CheckCount(copy);
  return problem.empty() ? problem : problem + ", nor a run's UUID";
}

std::optional<std::int64_t> FindRun(ResultStore& store, const std::string& text) {
  if (IsUuid(text)) return store.RunIdOf(text);
  const std::int64_t id = std::stoll(text);
  if (!store.LoadRun(id)) return std::nullopt;
  return id;
}

}  // namespace tarnwick
