// Runs as a report takes them: CSV (RFC 4180) with one row per segment and
// the run's settings in columns, or JSON with the segments inside their run.
// Both are valid UTF-8 whatever the journal holds: a byte that is not part
// of well-formed UTF-8 becomes U+FFFD. A CSV cell of the operator's own text
// that a spreadsheet would take for a formula (starting with =, +, -, @, a
// tab or a carriage return) starts with an apostrophe; numbers stay numbers.
#ifndef TARNWICK_JOURNAL_EXPORT_H_
#define TARNWICK_JOURNAL_EXPORT_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/result_store.h"

namespace tarnwick {

enum class ExportFormat { kCsv, kJson };

// An export piece by piece, so that one of any size is written holding one
// run at a time: Head(), Next() for each run, then Tail().
class ExportText {
 public:
  explicit ExportText(ExportFormat format) : format_(format) {}
  std::string Head() const;
  // A run without segments still gets a CSV row, its segment columns empty.
  std::string Next(const RunRecord& run);
  std::string Tail() const;

 private:
  ExportFormat format_;
  std::size_t runs_ = 0;
};

// Whose text a CSV cell holds: the operator's may be a formula.
enum class Cell { kProgram, kOperator };
// A CSV cell of text: well-formed, quoted when it must be, and kept from
// reading as a formula when it is the operator's.
std::string CsvField(std::string_view raw, Cell cell = Cell::kProgram);
// A JSON string of text, well-formed.
std::string JsonString(std::string_view raw);
// A number as both exports write it: shortest round trip; empty (CSV) for
// none or a value that is not finite.
std::string Number(const std::optional<double>& value);

std::string CsvExport(const std::vector<RunRecord>& runs);
std::string JsonExport(const std::vector<RunRecord>& runs);

}  // namespace tarnwick

#endif  // TARNWICK_JOURNAL_EXPORT_H_
