#include "results/limits.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include <fmt/format.h>

#include "text/number_text.h"
#include "text/quote.h"
#include "text/small_file.h"

namespace tarnwick {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while ((at = line.find_first_not_of(" \t\r", at)) != std::string_view::npos) {
    const std::size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
    words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

}  // namespace

std::optional<double> LimitNumber(std::string_view word) {
  if (!word.empty() && word[0] == '+') word.remove_prefix(1);
  double value = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (ec != std::errc() || end != word.data() + word.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::string NotALimit(std::string_view word) {
  const std::optional<double> dbm = LimitNumber(word);
  if (dbm && *dbm >= kLowestLimitDbm && *dbm <= kHighestLimitDbm) return {};
  return fmt::format("{} is not a number of dBm from {} to {}", QuotedForMessage(word),
                     GeneralNumberText(kLowestLimitDbm), GeneralNumberText(kHighestLimitDbm));
}

LimitTable LimitTable::Everywhere(double limitDbm) {
  LimitTable table;
  table.rows_.push_back({-INFINITY, INFINITY, limitDbm});
  table.source_ = fmt::format("{} dBm everywhere", limitDbm);
  return table;
}

LimitTable LimitTable::FromRows(std::vector<LimitRow> rows, std::string source) {
  LimitTable table;
  table.rows_ = std::move(rows);
  table.source_ = std::move(source);
  return table;
}

LimitTable LimitTable::Parse(std::string_view text, const std::string& name) {
  LimitTable table;
  table.source_ = name;
  // Some editors on Windows start a UTF-8 file with one.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
    const std::string_view content = line.substr(0, line.find('#'));
    const std::vector<std::string_view> words = Words(content);
    if (words.empty()) continue;
    auto fail = [&](std::string_view problem) {
      return LimitsError(fmt::format("{}:{}: {}", CutForMessage(name, kQuotedPathLength),
                                     lineNumber, problem));
    };
    if (words.size() != 3) {
      throw fail(fmt::format("expected start_MHz stop_MHz limit_dBm, found {}",
                             QuotedForMessage(content)));
    }
    LimitRow row{};
    double* fields[] = {&row.startMHz, &row.stopMHz, &row.limitDbm};
    for (std::size_t i = 0; i < 3; ++i) {
      const std::optional<double> value = LimitNumber(words[i]);
      if (!value) throw fail(fmt::format("{} is not a number", QuotedForMessage(words[i])));
      *fields[i] = *value;
    }
    if (std::string problem = NotALimit(words[2]); !problem.empty()) throw fail(problem);
    if (row.startMHz >= row.stopMHz) {
      throw fail(fmt::format("the range {} to {} MHz is empty or backwards", row.startMHz,
                             row.stopMHz));
    }
    table.rows_.push_back(row);
  }
  if (table.rows_.empty()) {
    throw LimitsError(fmt::format("{}: holds no limits", CutForMessage(name, kQuotedPathLength)));
  }
  return table;
}

LimitTable LimitTable::Load(const std::string& path) {
  const SmallFile file = ReadSmallFile(path);
  if (std::string refusal = file.Refusal("limits file", path); !refusal.empty()) {
    throw LimitsError(refusal);
  }
  return Parse(file.text, path);
}

std::optional<double> LimitTable::For(double startHz, double stopHz) const {
  std::optional<double> strictest;
  for (const LimitRow& row : rows_) {
    // Rows that only touch the segment at an edge do not cover it.
    if (row.startMHz * kHzPerMHz < stopHz && startHz < row.stopMHz * kHzPerMHz &&
        (!strictest || row.limitDbm < *strictest)) {
      strictest = row.limitDbm;
    }
  }
  return strictest;
}

std::string LimitTable::MissedPlan(const FreqSegments& plan) const {
  if (rows_.empty() || plan.empty()) return {};
  for (const FreqSegment& segment : plan) {
    if (For(segment.StartHz, segment.StopHz)) return {};
  }
  double lowHz = plan.front().StartHz, highHz = plan.front().StopHz;
  for (const FreqSegment& segment : plan) {
    lowHz = std::min(lowHz, segment.StartHz);
    highHz = std::max(highHz, segment.StopHz);
  }
  return fmt::format(
      "The limits file {} covers none of the plan's segments, {} to {} MHz: its rows are "
      "start_MHz stop_MHz limit_dBm.",
      QuotedForMessage(source_, kQuotedPathLength), GeneralNumberText(lowHz / kHzPerMHz),
      GeneralNumberText(highHz / kHzPerMHz));
}

}  // namespace tarnwick
