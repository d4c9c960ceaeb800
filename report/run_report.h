// A run's PDF report: what was measured, on which bench, with which
// settings and limits, its verdict, its table and its picture. Where it is
// written is the caller's business, by the rule every output keeps.
#ifndef TARNWICK_REPORT_RUN_REPORT_H_
#define TARNWICK_REPORT_RUN_REPORT_H_

#include <string>

#include "measure/segment_plan.h"
#include "results/run_record.h"

namespace tarnwick::report {

// Makes run's report as a PDF of A4 pages, as many as its table needs: the
// banner and summary, the table with its header on every page, the picture
// after it, and "page i of n" at the foot of each. plan, when known, gives
// the picture its span. The caller has a QGuiApplication (fonts need one).
// Returns the problem, or empty with the document in pdf.
std::string RunReportPdf(const RunRecord& run, std::string& pdf, const FreqSegments& plan = {});

// What "report" in tarnwick-cli calls, from the report module it loads only
// then, so that its other commands start without Qt. Makes the application
// it needs, on no display.
using ReportPdfFunction = bool (*)(const RunRecord& run, std::string& pdf, std::string& problem);
inline constexpr char kReportPdfSymbol[] = "TarnwickReportPdf";

}  // namespace tarnwick::report

#endif  // TARNWICK_REPORT_RUN_REPORT_H_
