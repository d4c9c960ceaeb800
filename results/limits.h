// Limits a transmitter's spurious emissions must stay under, by frequency
// range, and the verdict of each segment against them.
#ifndef TARNWICK_RESULTS_LIMITS_H_
#define TARNWICK_RESULTS_LIMITS_H_

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "measure/segment_plan.h"

namespace tarnwick {

// A limits file that cannot be read or holds a bad row; what() is
// "file:line: problem".
class LimitsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A number as limits are written: decimal, an optional sign and exponent,
// and finite; none otherwise.
std::optional<double> LimitNumber(std::string_view word);
// Why word is not a limit as --limit and limits files give one: a
// LimitNumber from -300 to +100 dBm, as a plan's limits are. Empty when it is.
std::string NotALimit(std::string_view word);

class LimitTable {
 public:
  LimitTable() = default;
  // One limit for every frequency.
  static LimitTable Everywhere(double limitDbm);
  // Rows already checked, such as a plan's; source says where they came from.
  static LimitTable FromRows(std::vector<LimitRow> rows, std::string source);
  // Rows of "start_MHz stop_MHz limit_dBm", blanks between, '#' starting a
  // comment, a UTF-8 byte order mark ignored. name is how errors call the
  // text (its file name).
  static LimitTable Parse(std::string_view text, const std::string& name);
  // Reads and parses a file of at most 1 MB; throws LimitsError.
  static LimitTable Load(const std::string& path);

  bool empty() const { return rows_.empty(); }
  // Where the limits came from: "-36 dBm everywhere" or the file's path.
  const std::string& source() const { return source_; }
  // The strictest (lowest) limit of the rows that overlap the segment; none
  // when no row does.
  std::optional<double> For(double startHz, double stopHz) const;
  // Why these limits cannot judge a run of plan: none of their rows covers
  // any of its segments (a file written in Hz, say), so every reading would
  // go unjudged. Empty when they can, or when there are no limits.
  std::string MissedPlan(const FreqSegments& plan) const;

 private:
  std::vector<LimitRow> rows_;
  std::string source_;
};

}  // namespace tarnwick

#endif  // TARNWICK_RESULTS_LIMITS_H_
