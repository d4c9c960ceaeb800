#include "lab/lab_forwarder.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

#include <fmt/format.h>

#include "journal/sqlite_store.h"
#include "journal/store_table.h"
#include "lab/lab_store.h"
#include "measure/segment_plan.h"
#include "results/block_text.h"
#include "results/verdicts.h"
#include "text/quote.h"

namespace tarnwick::lab {
namespace {

// A batch goes as one statement: every column an array parameter, unnested
// into rows by the server. The runs the lab takes (those it does not hold
// yet) come back from the first insert, and only their segments are
// inserted, in the same statement: all of a batch or none of it.
constexpr const char* kForward =
    "WITH taken AS ("
    " INSERT INTO runs (run_uuid, bench_name, started, ended, version, bench, simulated,"
    "  carrier_text, ref_text, offset_text, band, averaging, carrier_mhz, ref_dbm, offset_db,"
    "  segment_count, outcome, verdict, message, end_notes, limits, plan, plan_text, dialect)"
    " SELECT * FROM unnest($1::uuid[], $2::text[], $3::timestamptz[], $4::timestamptz[],"
    "  $5::text[], $6::text[], $7::boolean[], $8::text[], $9::text[], $10::text[], $11::text[],"
    "  $12::boolean[], $13::float8[], $14::float8[], $15::float8[], $16::integer[], $17::text[],"
    "  $18::text[], $19::text[], $20::text[], $21::text[], $22::text[], $23::text[], $24::text[])"
    " ON CONFLICT (run_uuid) DO NOTHING RETURNING id, run_uuid)"
    " INSERT INTO segments (run_id, segment, start_hz, stop_hz, peak_hz, peak_dbm, wait, note,"
    "  limit_dbm, margin_db, verdict, line)"
    " SELECT taken.id, s.segment, s.start_hz, s.stop_hz, s.peak_hz, s.peak_dbm, s.wait, s.note,"
    "  s.limit_dbm, s.margin_db, s.verdict, s.line"
    " FROM unnest($25::uuid[], $26::integer[], $27::float8[], $28::float8[], $29::float8[],"
    "  $30::float8[], $31::text[], $32::text[], $33::float8[], $34::float8[], $35::text[],"
    "  $36::text[])"
    "  AS s(run_uuid, segment, start_hz, stop_hz, peak_hz, peak_dbm, wait, note, limit_dbm,"
    "  margin_db, verdict, line)"
    " JOIN taken USING (run_uuid)";
constexpr std::size_t kRunArrays = 24;
constexpr std::size_t kSegmentArrays = 12;

// One array parameter in PostgreSQL's text form, {"a","b",NULL}. Texts are
// made storable first: well-formed UTF-8 and no NUL, which a text column
// cannot hold; what they say is otherwise kept as it was, quotes and
// control characters included, as the exports keep it.
class Array {
 public:
  void Add(std::optional<std::string_view> value) {
    text_ += text_.empty() ? "{" : ",";
    if (!value) {
      text_ += "NULL";
      return;
    }
    text_ += '"';
    for (const char c : WellFormedUtf8(*value)) {
      if (c == '\0') {
        text_ += "\xEF\xBF\xBD";
        continue;
      }
      if (c == '"' || c == '\\') text_ += '\\';
      text_ += c;
    }
    text_ += '"';
  }
  void Add(const std::string& value) { Add(std::optional<std::string_view>(value)); }
  void Add(double value) { Add(std::optional<double>(value)); }
  void Add(std::optional<double> value) {
    if (!value) return Add(std::optional<std::string_view>());
    // Shortest text that reads back as the same double; NaN and infinities
    // as the server writes them.
    Add(std::isnan(*value) ? std::string("NaN")
        : std::isinf(*value) ? std::string(*value > 0 ? "Infinity" : "-Infinity")
                             : fmt::format("{}", *value));
  }
  void Add(bool value) { Add(std::string(value ? "t" : "f")); }
  std::string Take() { return text_.empty() ? "{}" : std::move(text_) + "}"; }

 private:
  std::string text_;
};

// The statement's parameters for a batch of runs.
std::vector<PgParam> BatchParams(const std::vector<RunRecord>& runs) {
  std::vector<Array> r(kRunArrays), s(kSegmentArrays);
  for (const RunRecord& run : runs) {
    const RunSettings& set = run.settings;
    const auto plan = [&run](double RunPlan::*field) {
      return run.plan ? std::optional<double>(run.plan.value().*field) : std::nullopt;
    };
    std::size_t i = 0;
    r[i++].Add(run.uuid);
    r[i++].Add(run.benchName);
    r[i++].Add(run.started);
    r[i++].Add(run.ended.empty() ? std::nullopt : std::optional<std::string_view>(run.ended));
    r[i++].Add(run.version);
    r[i++].Add(run.bench);
    r[i++].Add(run.simulated);
    r[i++].Add(set.carrierText);
    r[i++].Add(set.refText);
    r[i++].Add(set.offsetText);
    r[i++].Add(std::string(BandName(set.band800M ? 0 : 1)));
    r[i++].Add(set.averaging);
    r[i++].Add(plan(&RunPlan::carrierMHz));
    r[i++].Add(plan(&RunPlan::refLevelDbm));
    r[i++].Add(plan(&RunPlan::refOffsetDb));
    r[i++].Add(run.plan ? std::optional<std::string_view>(std::to_string(run.plan->segmentCount))
                        : std::nullopt);
    r[i++].Add(run.OutcomeName());
    r[i++].Add(VerdictOf(run).word);
    r[i++].Add(run.message);
    r[i++].Add(JoinedNotes(run.endNotes));
    r[i++].Add(run.limits);
    r[i++].Add(set.plan);
    r[i++].Add(set.planText);
    r[i++].Add(set.dialect);
    for (const SegmentRecord& seg : run.segments) {
      const SegmentMeasurement& m = seg.m;
      std::size_t j = 0;
      s[j++].Add(run.uuid);
      s[j++].Add(std::to_string(m.index + 1));
      s[j++].Add(m.startHz);
      s[j++].Add(m.stopHz);
      s[j++].Add(m.peakHz);
      s[j++].Add(m.peakDbm);
      s[j++].Add(std::string(WaitName(m.wait)));
      s[j++].Add(m.note);
      s[j++].Add(seg.verdict.limitDbm);
      s[j++].Add(seg.verdict.limitDbm ? std::optional<double>(seg.verdict.marginDb) : std::nullopt);
      s[j++].Add(std::string(seg.verdict.Name()));
      s[j++].Add(ResultLine(m));
    }
  }
  std::vector<PgParam> params;
  for (Array& a : r) params.emplace_back(a.Take());
  for (Array& a : s) params.emplace_back(a.Take());
  return params;
}

// The bench's journal; none when there is none yet, and so nothing to send.
std::unique_ptr<SqliteStore> OpenBenchJournal(const std::string& journal, JournalAccess access) {
  const StoreAddress address = ParseStoreAddress(journal);
  if (address.file.empty()) {
    throw JournalAddressError(fmt::format("{} is not a bench's journal: runs are forwarded from "
                                          "the SQLite journal they were measured into",
                                          QuotedForMessage(journal, kQuotedPathLength)));
  }
  std::error_code error;
  if (!std::filesystem::exists(address.file, error)) return nullptr;
  return std::make_unique<SqliteStore>(address.file, access);
}

}  // namespace

LabForwarder::LabForwarder(std::string journal, std::string lab, ForwardSeams seams)
    : journal_(std::move(journal)), lab_(std::move(lab)), seams_(std::move(seams)) {}

ForwardOutcome LabForwarder::ForwardWaiting(const std::function<bool()>& stop) {
  ForwardOutcome outcome;
  outcome.tried = UtcNow();
  std::unique_ptr<SqliteStore> journal;
  try {
    journal = OpenBenchJournal(journal_, JournalAccess::kWrite);
    if (!journal) return outcome;
    journal->QueueAbandonedRuns();
    if (journal->WaitingRuns(1).empty()) return outcome;
    const std::unique_ptr<PgConnection> lab = ConnectToLab(lab_);
    CheckLabSchema(*lab);
    for (std::size_t batch = 1; !(stop && stop()); ++batch) {
      const std::vector<std::int64_t> ids = journal->WaitingRuns(batch_size_);
      if (ids.empty()) break;
      std::vector<RunRecord> runs;
      for (const std::int64_t id : ids) {
        if (std::optional<RunRecord> run = journal->LoadRun(id)) runs.push_back(std::move(*run));
      }
      lab->ExecScript("begin a batch", "BEGIN");
      try {
        lab->Exec("send runs", kForward, BatchParams(runs));
        if (seams_.beforeCommit) seams_.beforeCommit(batch);
        lab->ExecScript("commit a batch", "COMMIT");
      } catch (const JournalError&) {
        try {
          lab->ExecScript("roll back", "ROLLBACK");
        } catch (const JournalError&) {
          // The first error is the one to report; the server rolls back a
          // transaction whose connection is gone.
        }
        throw;
      }
      if (seams_.afterCommit) seams_.afterCommit(batch);
      journal->MarkForwarded(ids);
      outcome.forwarded += ids.size();
    }
  } catch (const JournalError& e) {
    outcome.error = e.what();
  }
  if (journal) {
    try {
      journal->NoteLabAttempt({ShownLab(lab_), outcome.tried, outcome.error});
      outcome.waiting = journal->WaitingCount();
    } catch (const JournalError& e) {
      if (outcome.error.empty()) outcome.error = e.what();
    }
  }
  return outcome;
}

std::string WaitingLine(std::size_t waiting, const std::string& tried, const std::string& error) {
  if (waiting == 0) return {};
  std::string line = fmt::format("lab: {} run{} waiting", waiting, waiting == 1 ? "" : "s");
  int y = 0, mo = 0, d = 0, h = 0, mi = 0;
  if (std::sscanf(tried.c_str(), "%d-%d-%dT%d:%d", &y, &mo, &d, &h, &mi) == 5) {
    using namespace std::chrono;
    const sys_seconds at = sys_days(year(y) / month(static_cast<unsigned>(mo)) / day(static_cast<unsigned>(d))) +
                           hours(h) + minutes(mi);
    const std::time_t t = system_clock::to_time_t(at);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    line += fmt::format(", last try {:02}:{:02}", local.tm_hour, local.tm_min);
  }
  return error.empty() ? line : line + ": " + error;
}

QueueState ReadQueueState(const std::string& journal) {
  QueueState state;
  try {
    const std::unique_ptr<SqliteStore> store = OpenBenchJournal(journal, JournalAccess::kRead);
    if (!store) return state;
    state.waiting = store->WaitingCount();
    if (const std::optional<LabAttempt> last = store->LastLabAttempt()) {
      state.lastLab = last->lab;
      state.lastTried = last->tried;
      state.lastError = last->error;
    }
  } catch (const JournalError& e) {
    state.error = e.what();
  }
  return state;
}

}  // namespace tarnwick::lab
