// Runs as a report takes them: CSV (RFC 4180) with one row per segment and
// the run's settings in columns, or JSON with the segments inside their run.
#ifndef TARNWICK_JOURNAL_EXPORT_H_
#define TARNWICK_JOURNAL_EXPORT_H_

#include <string>
#include <vector>

#include "journal/result_store.h"

namespace tarnwick {

// A run without segments still gets a row, its segment columns empty.
std::string CsvExport(const std::vector<RunRecord>& runs);
std::string JsonExport(const std::vector<RunRecord>& runs);

}  // namespace tarnwick

#endif  // TARNWICK_JOURNAL_EXPORT_H_
