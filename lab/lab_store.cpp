#include "lab/lab_store.h"

#include <charconv>
#include <cstdlib>

#include <fmt/format.h>
#include "lab/libpq.h"

#include "journal/store_table.h"
#include "text/quote.h"
#include "text/this_machine.h"

namespace tarnwick::lab {
namespace {

// Step n brings a lab from schema n to n + 1; never edited once released.
// runs.bench is the exports' column (the resource and its driver);
// bench_name is the bench's own name.
constexpr const char* kLabSteps[kLabSchemaVersion] = {
    "CREATE TABLE tarnwick_lab_schema (version integer NOT NULL);"
    "INSERT INTO tarnwick_lab_schema VALUES (0);"
    "CREATE TABLE runs ("
    " id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
    " run_uuid uuid NOT NULL UNIQUE, bench_name text NOT NULL,"
    " received_at timestamptz NOT NULL DEFAULT now(),"
    " started timestamptz NOT NULL, ended timestamptz, version text NOT NULL,"
    " bench text NOT NULL, simulated boolean NOT NULL,"
    " carrier_text text NOT NULL, ref_text text NOT NULL, offset_text text NOT NULL,"
    " band text NOT NULL, averaging boolean NOT NULL,"
    " carrier_mhz double precision, ref_dbm double precision, offset_db double precision,"
    " segment_count integer, outcome text NOT NULL, verdict text NOT NULL,"
    " message text NOT NULL, end_notes text NOT NULL, limits text NOT NULL,"
    " plan text NOT NULL, plan_text text NOT NULL, dialect text NOT NULL);"
    "CREATE INDEX runs_started ON runs (started);"
    "CREATE INDEX runs_bench_name ON runs (bench_name, started);"
    "CREATE TABLE segments ("
    " run_id bigint NOT NULL REFERENCES runs (id), segment integer NOT NULL,"
    " start_hz double precision NOT NULL, stop_hz double precision NOT NULL,"
    " peak_hz double precision NOT NULL, peak_dbm double precision NOT NULL,"
    " wait text NOT NULL, note text NOT NULL, limit_dbm double precision,"
    " margin_db double precision, verdict text NOT NULL, line text NOT NULL,"
    " PRIMARY KEY (run_id, segment));",
};

constexpr const char* kUtc = "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'";

// The columns of a run in the order RunFromRow reads them; a listing leaves
// the long texts out.
std::string RunColumns(bool whole) {
  const char* longText = whole ? "r.version, r.bench, r.limits" : "'', '', ''";
  return fmt::format(
      "r.id, to_char(r.started AT TIME ZONE 'UTC', {0}), "
      "coalesce(to_char(r.ended AT TIME ZONE 'UTC', {0}), ''), {1}, r.simulated, "
      "r.carrier_text, r.ref_text, r.offset_text, r.band, r.averaging, r.carrier_mhz, r.ref_dbm, "
      "r.offset_db, r.segment_count, r.outcome, {2}, r.plan, {3}, r.dialect, r.run_uuid, "
      "r.bench_name, to_char(r.received_at AT TIME ZONE 'UTC', {0})",
      kUtc, longText, whole ? "r.message, r.end_notes" : "'', ''", whole ? "r.plan_text" : "''");
}
constexpr int kRunColumnCount = 25;

// Each field left empty takes every run.
constexpr const char* kFilter =
    "($1 = '' OR r.bench_name = $1)"
    " AND r.started >= coalesce(nullif($2, '')::timestamptz, '-infinity')"
    " AND r.started < coalesce(nullif($3, '')::timestamptz, 'infinity')"
    " AND ($4 = '' OR r.verdict = $4)";

std::vector<PgParam> FilterParams(const RunFilter& f) {
  return {f.benchName, f.since, f.before, f.verdict};
}

double Real(const PgResult& r, int column) {
  const std::string text = r.Text(0, column);
  return std::strtod(text.c_str(), nullptr);  // also NaN and Infinity
}

bool Bool(const PgResult& r, int column) { return r.Text(0, column) == "t"; }

RunRecord RunFromRow(const PgResult& r) {
  RunRecord run;
  run.id = std::strtoll(r.Text(0, 0).c_str(), nullptr, 10);
  run.started = r.Text(0, 1);
  run.ended = r.Text(0, 2);
  run.version = r.Text(0, 3);
  run.bench = r.Text(0, 4);
  run.limits = r.Text(0, 5);
  run.simulated = Bool(r, 6);
  run.settings = {r.Text(0, 7), r.Text(0, 8), r.Text(0, 9), r.Text(0, 10) == "800M", Bool(r, 11),
                  r.Text(0, 19), r.Text(0, 20), r.Text(0, 21), {}};
  if (!r.IsNull(0, 15)) {
    run.plan = RunPlan{Real(r, 12), Real(r, 13), Real(r, 14),
                       static_cast<std::size_t>(std::strtoull(r.Text(0, 15).c_str(), nullptr, 10))};
  }
  run.outcome = r.Text(0, 16);
  // As the bench's journal has it: a run that never finished has no outcome.
  if (run.outcome == "interrupted") run.outcome.clear();
  run.message = r.Text(0, 17);
  run.endNotes = SplitNotes(r.Text(0, 18));
  run.uuid = r.Text(0, 22);
  run.benchName = r.Text(0, 23);
  run.received = r.Text(0, 24);
  return run;
}

constexpr const char* kSegmentColumns =
    "s.segment, s.start_hz, s.stop_hz, s.peak_hz, s.peak_dbm, s.wait, s.note, s.limit_dbm, "
    "s.margin_db";

SegmentRecord SegmentFromRow(const PgResult& r) {
  constexpr int at = kRunColumnCount;
  SegmentRecord seg;
  seg.m = {static_cast<std::size_t>(std::strtoull(r.Text(0, at).c_str(), nullptr, 10) - 1),
           Real(r, at + 1), Real(r, at + 2), Real(r, at + 3), Real(r, at + 4),
           WaitFromName(r.Text(0, at + 5)), r.Text(0, at + 6)};
  if (!r.IsNull(0, at + 7)) {
    seg.verdict.limitDbm = Real(r, at + 7);
    seg.verdict.marginDb = Real(r, at + 8);
  }
  return seg;
}

std::string ConninfoProblem(std::string_view text, PQconninfoOption*& options) {
  char* error = nullptr;
  options = Pq().PQconninfoParse(std::string(text).c_str(), &error);
  if (options == nullptr) {
    std::string why = error != nullptr ? error : "out of memory";
    Pq().PQfreemem(error);
    while (!why.empty() && why.back() == '\n') why.pop_back();
    return fmt::format("cannot read the lab's address {}: {}", ShownLab(text), CutForMessage(why, 200));
  }
  return {};
}

std::unique_ptr<ResultStore> OpenLabStore(const StoreAddress& address, JournalAccess access) {
  if (access == JournalAccess::kWrite) {
    throw JournalAddressError(fmt::format(
        "the lab {} is only read here: runs are measured into the bench's own journal and "
        "reach the lab from there (tarnwick-cli lab sync)",
        ShownLab(address.text)));
  }
  return std::make_unique<LabStore>(address.text);
}

}  // namespace

std::string ShownLab(std::string_view text) { return QuotedForMessage(text, kQuotedPathLength); }

std::string LabAddressProblem(std::string_view text) {
  PQconninfoOption* options = nullptr;
  std::string problem;
  try {
    problem = ConninfoProblem(text, options);
  } catch (const JournalError& e) {  // no libpq to read it with
    return e.what();
  }
  for (PQconninfoOption* o = options; o != nullptr && o->keyword != nullptr; ++o) {
    if (std::string_view(o->keyword) == "password" && o->val != nullptr && *o->val != '\0') {
      problem = fmt::format(
          "the lab's address holds a password, which every user of this machine could read "
          "(command lines and settings files are not secret): leave it out, and put it in "
          "~/.pgpass (or the file PGPASSFILE names), in the service file with service=NAME, or "
          "in the environment (PGPASSWORD)");
    }
  }
  Pq().PQconninfoFree(options);
  return problem;
}

std::unique_ptr<PgConnection> ConnectToLab(const std::string& text) {
  PQconninfoOption* options = nullptr;
  if (std::string problem = ConninfoProblem(text, options); !problem.empty()) {
    throw JournalError(problem);
  }
  bool timeoutGiven = false;
  for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
    timeoutGiven |= std::string_view(o->keyword) == "connect_timeout" && o->val != nullptr && *o->val != '\0';
  }
  Pq().PQconninfoFree(options);
  // An unreachable lab is told within 3 s; the environment's
  // PGCONNECT_TIMEOUT, or the address's own, rules when given.
  std::string conninfo = text;
  if (!timeoutGiven && std::getenv("PGCONNECT_TIMEOUT") == nullptr) {
    const bool uri = text.rfind("postgres", 0) == 0 && text.find("://") != std::string::npos;
    conninfo += uri ? (text.find('?') == std::string::npos ? "?connect_timeout=3" : "&connect_timeout=3")
                    : " connect_timeout=3";
  }
  return std::make_unique<PgConnection>(conninfo, ShownLab(text));
}

namespace {

// The lab's schema version; 0 when it holds no Tarnwick tables.
int SchemaVersion(PgConnection& lab) {
  const PgResult exists =
      lab.Exec("read the schema version", "SELECT to_regclass('tarnwick_lab_schema') IS NOT NULL");
  if (exists.Text(0, 0) != "t") return 0;
  const PgResult version =
      lab.Exec("read the schema version", "SELECT max(version) FROM tarnwick_lab_schema");
  return std::atoi(version.Text(0, 0).c_str());
}

std::string NewerLab(const PgConnection& lab, int version) {
  return fmt::format("the lab {} was made by a newer Tarnwick (schema {}, this one knows {}): "
                     "it is left alone",
                     lab.shown(), version, kLabSchemaVersion);
}

}  // namespace

void CheckLabSchema(PgConnection& lab) {
  const int version = SchemaVersion(lab);
  if (version > kLabSchemaVersion) throw JournalError(NewerLab(lab, version));
  if (version == 0) {
    throw JournalError(fmt::format(
        "the lab {} holds no Tarnwick tables: make them with tarnwick-cli lab init", lab.shown()));
  }
  if (version < kLabSchemaVersion) {
    throw JournalError(fmt::format(
        "the lab {} is at schema {}, older than this Tarnwick's {}: bring it up to date with "
        "tarnwick-cli lab init",
        lab.shown(), version, kLabSchemaVersion));
  }
}

std::string InitLab(const std::string& text) {
  const std::unique_ptr<PgConnection> lab = ConnectToLab(text);
  lab->ExecScript("begin", "BEGIN");
  try {
    // Two inits at once wait for each other rather than both create.
    lab->Exec("lock the schema", "SELECT pg_advisory_xact_lock(7263000025)");
    int version = SchemaVersion(*lab);
    const int was = version;
    if (version > kLabSchemaVersion) throw JournalError(NewerLab(*lab, version));
    for (; version < kLabSchemaVersion; ++version) lab->ExecScript("make the tables", kLabSteps[version]);
    lab->Exec("record the schema version", "UPDATE tarnwick_lab_schema SET version = $1",
              {std::to_string(kLabSchemaVersion)});
    lab->ExecScript("commit", "COMMIT");
    if (was == kLabSchemaVersion) return fmt::format("the lab {} is up to date (schema {})", lab->shown(), was);
    return fmt::format("the lab {} is at schema {} (it was at {})", lab->shown(), kLabSchemaVersion, was);
  } catch (...) {
    try {
      lab->ExecScript("roll back", "ROLLBACK");
    } catch (const JournalError&) {
      // The first error is the one to report.
    }
    throw;
  }
}

void InstallLabJournal() {
  InstallLabStore({[](std::string_view text) { return LabAddressProblem(text); }, OpenLabStore});
}

LabStore::LabStore(const std::string& text) : lab_(ConnectToLab(text)) { CheckLabSchema(*lab_); }

namespace {

[[noreturn]] void OnlyRead() {
  throw JournalError("the lab journal is only read here: runs reach it from each bench's journal");
}

}  // namespace

std::int64_t LabStore::BeginRun(const RunRecord&) { OnlyRead(); }
void LabStore::PlanRun(std::int64_t, const RunPlan&) { OnlyRead(); }
void LabStore::AddSegment(std::int64_t, const SegmentRecord&) { OnlyRead(); }
void LabStore::FinishRun(std::int64_t, const RunRecord&) { OnlyRead(); }

void LabStore::ListRuns(std::size_t last, const RunVisitor& visit) { ListMatching({}, last, visit); }
void LabStore::EachRun(const RunVisitor& visit) { EachMatching({}, visit); }

void LabStore::ListMatching(const RunFilter& filter, std::size_t last, const RunVisitor& visit) {
  static const std::string sql = fmt::format(
      "SELECT * FROM (SELECT {} FROM runs r WHERE {} ORDER BY r.id DESC LIMIT $5) x ORDER BY 1",
      RunColumns(false), kFilter);
  std::vector<PgParam> params = FilterParams(filter);
  params.push_back(last == 0 ? PgParam() : PgParam(std::to_string(last)));
  lab_->EachRow("list the runs", sql.c_str(), params,
                [&](const PgResult& row) { return visit(RunFromRow(row)); });
}

void LabStore::EachWhole(const char* sql, const std::vector<PgParam>& params, const RunVisitor& visit) {
  std::optional<RunRecord> run;
  bool more = true;
  lab_->EachRow("read the runs", sql, params, [&](const PgResult& row) {
    const std::int64_t id = std::strtoll(row.Text(0, 0).c_str(), nullptr, 10);
    if (run && run->id != id) {
      more = visit(*run);
      run.reset();
      if (!more) return false;
    }
    if (!run) run = RunFromRow(row);
    if (!row.IsNull(0, kRunColumnCount)) run->segments.push_back(SegmentFromRow(row));
    return true;
  });
  if (run && more) visit(*run);
}

void LabStore::EachMatching(const RunFilter& filter, const RunVisitor& visit) {
  static const std::string sql = fmt::format(
      "SELECT {}, {} FROM runs r LEFT JOIN segments s ON s.run_id = r.id WHERE {}"
      " ORDER BY r.id, s.segment",
      RunColumns(true), kSegmentColumns, kFilter);
  EachWhole(sql.c_str(), FilterParams(filter), visit);
}

std::optional<RunRecord> LabStore::LoadRun(std::int64_t id) {
  static const std::string sql = fmt::format(
      "SELECT {}, {} FROM runs r LEFT JOIN segments s ON s.run_id = r.id WHERE r.id = $1"
      " ORDER BY s.segment",
      RunColumns(true), kSegmentColumns);
  std::optional<RunRecord> found;
  EachWhole(sql.c_str(), {std::to_string(id)}, [&found](const RunRecord& run) {
    found = run;
    return false;
  });
  return found;
}

std::optional<std::int64_t> LabStore::RunIdOf(const std::string& uuid) {
  if (!IsUuid(uuid)) return std::nullopt;  // rather than the server's refusal
  const PgResult r = lab_->Exec("find a run", "SELECT id FROM runs WHERE run_uuid = $1::uuid", {uuid});
  if (r.Rows() == 0) return std::nullopt;
  return std::strtoll(r.Text(0, 0).c_str(), nullptr, 10);
}

}  // namespace tarnwick::lab
