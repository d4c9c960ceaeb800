#include "journal/export.h"

#include <cmath>
#include <optional>

#include <fmt/format.h>

#include "measure/segment_plan.h"
#include "results/block_text.h"

namespace tarnwick {
namespace {


std::string Number(double value) {
  return std::isfinite(value) ? fmt::format("{}", value) : std::string();
}
std::string Number(const std::optional<double>& value) {
  return value ? Number(*value) : std::string();
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string JsonString(std::string_view text) {
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

std::string JsonNumber(const std::optional<double>& value) {
  const std::string text = Number(value);
  return text.empty() ? "null" : text;
}

const char* JsonBool(bool value) { return value ? "true" : "false"; }

}  // namespace

std::string CsvExport(const std::vector<RunRecord>& runs) {
  constexpr const char* kHeader =
      "run,started,ended,version,bench,simulated,carrier_text,ref_text,offset_text,band,"
      "averaging,carrier_mhz,ref_dbm,offset_db,outcome,message,limits,plan,dialect,segment,start_hz,stop_hz,"
      "peak_hz,peak_dbm,wait,note,limit_dbm,margin_db,verdict,line\r\n";
  std::string out = kHeader;
  for (const RunRecord& run : runs) {
    const RunSettings& s = run.settings;
    const auto plan = run.plan;
    const std::string front = fmt::format(
        "{},{},{},{},{},{},{},{},{},{},{},{},{},{},{},{},{},{},{}", run.id, run.started, run.ended,
        CsvField(run.version), CsvField(run.bench), run.simulated ? "yes" : "no",
        CsvField(s.carrierText), CsvField(s.refText), CsvField(s.offsetText),
        BandName(s.band800M ? 0 : 1), s.averaging ? "yes" : "no",
        plan ? Number(plan->carrierMHz) : "", plan ? Number(plan->refLevelDbm) : "",
        plan ? Number(plan->refOffsetDb) : "", run.OutcomeName(), CsvField(run.message),
        CsvField(run.limits), CsvField(s.plan), CsvField(s.dialect));
    if (run.segments.empty()) out += front + ",,,,,,,,,,,\r\n";
    for (const SegmentRecord& seg : run.segments) {
      const SegmentMeasurement& m = seg.m;
      out += fmt::format("{},{},{},{},{},{},{},{},{},{},{},{}\r\n", front, m.index + 1,
                         Number(m.startHz), Number(m.stopHz), Number(m.peakHz), Number(m.peakDbm),
                         WaitName(m.wait), CsvField(m.note),
                         Number(seg.verdict.limitDbm), seg.verdict.limitDbm ? Number(seg.verdict.marginDb) : "",
                         seg.verdict.Name(), CsvField(ResultLine(m)));
    }
  }
  return out;
}

std::string JsonExport(const std::vector<RunRecord>& runs) {
  std::string out = "{\"runs\": [";
  const char* runSep = "\n";
  for (const RunRecord& run : runs) {
    const RunSettings& s = run.settings;
    const auto plan = run.plan;
    out += runSep;
    runSep = ",\n";
    out += fmt::format(
        "  {{\"id\": {}, \"started\": {}, \"ended\": {}, \"version\": {}, \"bench\": {}, "
        "\"simulated\": {}, \"carrier_text\": {}, \"ref_text\": {}, \"offset_text\": {}, "
        "\"band\": {}, \"averaging\": {}, \"carrier_mhz\": {}, \"ref_dbm\": {}, "
        "\"offset_db\": {}, \"outcome\": {}, \"message\": {}, \"limits\": {}, \"plan\": {}, "
        "\"dialect\": {}, \"segments\": [",
        run.id, JsonString(run.started), JsonString(run.ended), JsonString(run.version),
        JsonString(run.bench), JsonBool(run.simulated), JsonString(s.carrierText),
        JsonString(s.refText), JsonString(s.offsetText), JsonString(BandName(s.band800M ? 0 : 1)),
        JsonBool(s.averaging), JsonNumber(plan ? std::optional(plan->carrierMHz) : std::nullopt),
        JsonNumber(plan ? std::optional(plan->refLevelDbm) : std::nullopt),
        JsonNumber(plan ? std::optional(plan->refOffsetDb) : std::nullopt),
        JsonString(run.OutcomeName()), JsonString(run.message), JsonString(run.limits),
        JsonString(s.plan), JsonString(s.dialect));
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
          JsonNumber(m.peakDbm), JsonString(WaitName(m.wait)),
          JsonString(m.note), JsonNumber(seg.verdict.limitDbm),
          JsonNumber(seg.verdict.limitDbm ? std::optional(seg.verdict.marginDb) : std::nullopt),
          JsonString(seg.verdict.Name()), JsonString(ResultLine(m)));
    }
    out += run.segments.empty() ? "]}" : "\n  ]}";
  }
  out += runs.empty() ? "]}\n" : "\n]}\n";
  return out;
}

}  // namespace tarnwick
