// A run's one-page PDF report: what was measured, on which bench, with which
// settings and limits, its verdict, its table and its picture.
#ifndef TARNWICK_REPORT_RUN_REPORT_H_
#define TARNWICK_REPORT_RUN_REPORT_H_

#include <string>

#include "measure/segment_plan.h"
#include "results/run_record.h"

namespace tarnwick::report {

// Writes run's report to path as one A4 page, atomically (a failed write
// leaves the old file). plan, when known, gives the picture its span. The
// caller has a QGuiApplication (fonts need one). Returns the problem, or
// empty.
std::string WriteRunReport(const RunRecord& run, const std::string& path,
                           const FreqSegments& plan = {});

// What "report" in tarnwick-cli calls, from the report module it loads only
// then, so that its other commands start without Qt. Makes the application
// it needs, on no display.
using WriteReportFunction = bool (*)(const RunRecord& run, const std::string& path,
                                     std::string& problem);
inline constexpr char kWriteReportSymbol[] = "TarnwickWriteReport";

}  // namespace tarnwick::report

#endif  // TARNWICK_REPORT_RUN_REPORT_H_
