#include "journal/export.h"

#include <cmath>
#include <optional>
#include <string_view>

#include <fmt/format.h>

#include "measure/segment_plan.h"
#include "results/block_text.h"
#include "text/quote.h"

namespace tarnwick {
namespace {

std::string Number(double value) {
  return std::isfinite(value) ? fmt::format("{}", value) : std::string();
}

}  // namespace

std::string Number(const std::optional<double>& value) {
  return value ? Number(*value) : std::string();
}

namespace {
using tarnwick::Number;
}  // namespace

std::string CsvField(std::string_view raw, Cell cell) {
  std::string text = WellFormedUtf8(raw);
  if (cell == Cell::kOperator && !text.empty() &&
      std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos) {
    text.insert(0, 1, '\'');
  }
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string JsonString(std::string_view raw) {
  const std::string text = WellFormedUtf8(raw);
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += fmt::format("\\u{:04x}", static_cast<unsigned char>(c));
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

namespace {

std::string JsonNumber(const std::optional<double>& value) {
  const std::string text = Number(value);
  return text.empty() ? "null" : text;
}

const char* JsonBool(bool value) { return value ? "true" : "false"; }

}  // namespace

std::string ExportText::Head() const {
  if (format_ == ExportFormat::kJson) return "{\"runs\": [";
  return "run,started,ended,version,bench,simulated,carrier_text,ref_text,offset_text,band,"
         "averaging,carrier_mhz,ref_dbm,offset_db,outcome,message,limits,plan,dialect,segment,"
         "start_hz,stop_hz,peak_hz,peak_dbm,wait,note,limit_dbm,margin_db,verdict,line,run_uuid,"
         "bench_name\r\n";
}

std::string ExportText::Tail() const {
  if (format_ == ExportFormat::kJson) return runs_ == 0 ? "]}\n" : "\n]}\n";
  return {};
}

std::string ExportText::Next(const RunRecord& run) {
  const RunSettings& s = run.settings;
  const auto plan = run.plan;
  std::string out;
  if (format_ == ExportFormat::kCsv) {
    const std::string front = fmt::format(
        "{},{},{},{},{},{},{},{},{},{},{},{},{},{},{},{},{},{},{}", run.id, CsvField(run.started),
        CsvField(run.ended), CsvField(run.version), CsvField(run.bench, Cell::kOperator),
        run.simulated ? "yes" : "no", CsvField(s.carrierText, Cell::kOperator),
        CsvField(s.refText, Cell::kOperator), CsvField(s.offsetText, Cell::kOperator),
        BandName(s.band800M ? 0 : 1), s.averaging ? "yes" : "no",
        plan ? Number(plan->carrierMHz) : "", plan ? Number(plan->refLevelDbm) : "",
        plan ? Number(plan->refOffsetDb) : "", run.OutcomeName(),
        CsvField(run.message, Cell::kOperator), CsvField(run.limits, Cell::kOperator),
        CsvField(s.plan), CsvField(s.dialect));
    // Added last, so that readers by column number read on as before.
    const std::string back =
        fmt::format("{},{}", CsvField(run.uuid), CsvField(run.benchName, Cell::kOperator));
    if (run.segments.empty()) out += front + ",,,,,,,,,,,," + back + "\r\n";
    for (const SegmentRecord& seg : run.segments) {
      const SegmentMeasurement& m = seg.m;
      out += fmt::format("{},{},{},{},{},{},{},{},{},{},{},{},{}\r\n", front, m.index + 1,
                         Number(m.startHz), Number(m.stopHz), Number(m.peakHz), Number(m.peakDbm),
                         WaitName(m.wait), CsvField(m.note), Number(seg.verdict.limitDbm),
                         seg.verdict.limitDbm ? Number(seg.verdict.marginDb) : "",
                         seg.verdict.Name(), CsvField(ResultLine(m)), back);
    }
    ++runs_;
    return out;
  }
  out += runs_++ == 0 ? "\n" : ",\n";
  out += fmt::format(
      "  {{\"id\": {}, \"started\": {}, \"ended\": {}, \"version\": {}, \"bench\": {}, "
      "\"simulated\": {}, \"carrier_text\": {}, \"ref_text\": {}, \"offset_text\": {}, "
      "\"band\": {}, \"averaging\": {}, \"carrier_mhz\": {}, \"ref_dbm\": {}, "
      "\"offset_db\": {}, \"outcome\": {}, \"message\": {}, \"limits\": {}, \"plan\": {}, "
      "\"dialect\": {}, \"run_uuid\": {}, \"bench_name\": {}, \"segments\": [",
      run.id, JsonString(run.started), JsonString(run.ended), JsonString(run.version),
      JsonString(run.bench), JsonBool(run.simulated), JsonString(s.carrierText),
      JsonString(s.refText), JsonString(s.offsetText), JsonString(BandName(s.band800M ? 0 : 1)),
      JsonBool(s.averaging), JsonNumber(plan ? std::optional(plan->carrierMHz) : std::nullopt),
      JsonNumber(plan ? std::optional(plan->refLevelDbm) : std::nullopt),
      JsonNumber(plan ? std::optional(plan->refOffsetDb) : std::nullopt),
      JsonString(run.OutcomeName()), JsonString(run.message), JsonString(run.limits),
      JsonString(s.plan), JsonString(s.dialect), JsonString(run.uuid), JsonString(run.benchName));
  const char* segSep = "\n";
  for (const SegmentRecord& seg : run.segments) {
    const SegmentMeasurement& m = seg.m;
    out += segSep;
    segSep = ",\n";
    out += fmt::format(
        "    {{\"segment\": {}, \"start_hz\": {}, \"stop_hz\": {}, \"peak_hz\": {}, "
        "\"peak_dbm\": {}, \"wait\": {}, \"note\": {}, \"limit_dbm\": {}, \"margin_db\": {}, "
        "\"verdict\": {}, \"line\": {}}}",
        m.index + 1, JsonNumber(m.startHz), JsonNumber(m.stopHz), JsonNumber(m.peakHz),
        JsonNumber(m.peakDbm), JsonString(WaitName(m.wait)), JsonString(m.note),
        JsonNumber(seg.verdict.limitDbm),
        JsonNumber(seg.verdict.limitDbm ? std::optional(seg.verdict.marginDb) : std::nullopt),
        JsonString(seg.verdict.Name()), JsonString(ResultLine(m)));
  }
  out += run.segments.empty() ? "]}" : "\n  ]}";
  return out;
}

namespace {

std::string WholeExport(ExportFormat format, const std::vector<RunRecord>& runs) {
  ExportText text(format);
  std::string out = text.Head();
  for (const RunRecord& run : runs) out += text.Next(run);
  return out + text.Tail();
}

}  // namespace

std::string CsvExport(const std::vector<RunRecord>& runs) {
  return WholeExport(ExportFormat::kCsv, runs);
}

std::string JsonExport(const std::vector<RunRecord>& runs) {
  return WholeExport(ExportFormat::kJson, runs);
}

}  // namespace tarnwick
