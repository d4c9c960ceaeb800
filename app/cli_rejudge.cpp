#include "app/cli_rejudge.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <fmt/format.h>

#include "app/journal_options.h"
#include "app/program_options.h"
#include "app/stop_signals.h"
#include "journal/export.h"
#include "journal/store_table.h"
#include "results/block_text.h"
#include "results/verdicts.h"
#include "text/quote.h"

namespace tarnwick {

void AddRejudgeCommand(CLI::App& app, RejudgeCommand& c) {
  c.command = app.add_subcommand(
      "rejudge", "Judge stored runs again against other limits, beside their stored verdicts; "
                 "nothing stored changes");
  CLI::Option* runs = c.command->add_option("RUN", c.runs, "The runs' numbers or UUIDs")
                          ->check(CLI::Validator(CheckRunName, ""));
  runs->excludes(c.command->add_flag("--all", c.all, "Every run (or every one the filters take)"));
  AddFilterOptions(*c.command, c.filter);
  AddLimitOptions(*c.command, c.limitDbm, c.limitsFile);
  c.command->add_option("--format", c.format, "text, csv (a row a segment) or json")
      ->check(CLI::IsMember({"text", "csv", "json"}))
      ->capture_default_str();
  AddReadingJournal(*c.command, c.journal, c.lab);
}

namespace {

// run judged against limits: its stored record with every verdict replaced.
RunRecord Rejudged(const RunRecord& run, const LimitTable& limits) {
  RunRecord again = run;
  again.limits = limits.source();
  for (SegmentRecord& s : again.segments) s.verdict = Judge(limits, s.m);
  return again;
}

class Rows {
 public:
  explicit Rows(const std::string& format) : format_(format) {}

  std::string Head() const {
    if (format_ == "json") return "{\"runs\": [";
    if (format_ == "csv") {
      return "run,run_uuid,bench_name,started,stored_limits,limits,stored_verdict,verdict,segment,"
             "peak_hz,peak_dbm,stored_limit_dbm,stored_margin_db,stored_segment_verdict,limit_dbm,"
             "margin_db,segment_verdict\r\n";
    }
    return "";
  }
  std::string Tail() const {
    if (format_ == "json") return runs_ == 0 ? "]}\n" : "\n]}\n";
    return "";
  }

  std::string Next(const RunRecord& stored, const RunRecord& again) {
    const RunVerdict was = VerdictOf(stored), now = VerdictOf(again);
    std::string out;
    if (format_ == "text") {
      return fmt::format("{:>6}  {}  {:<12}  stored {:<8}  now {:<8}  {}\n", stored.id, stored.started,
                         CutForMessage(stored.benchName, 12), was.word, now.word, now.detail);
    }
    if (format_ == "csv") {
      const std::string front =
          fmt::format("{},{},{},{},{},{},{},{}", stored.id, CsvField(stored.uuid),
                      CsvField(stored.benchName, Cell::kOperator), CsvField(stored.started),
                      CsvField(stored.limits, Cell::kOperator), CsvField(again.limits, Cell::kOperator),
                      was.word, now.word);
      if (stored.segments.empty()) return front + ",,,,,,,,,\r\n";
      for (std::size_t i = 0; i < stored.segments.size(); ++i) {
        const SegmentRecord &s = stored.segments[i], &a = again.segments[i];
        out += fmt::format("{},{},{},{},{},{},{},{},{},{}\r\n", front, s.m.index + 1,
                           Number(s.m.peakHz), Number(s.m.peakDbm), Number(s.verdict.limitDbm),
                           s.verdict.limitDbm ? Number(s.verdict.marginDb) : "", s.verdict.Name(),
                           Number(a.verdict.limitDbm),
                           a.verdict.limitDbm ? Number(a.verdict.marginDb) : "", a.verdict.Name());
      }
      return out;
    }
    out += runs_++ == 0 ? "\n" : ",\n";
    out += fmt::format(
        "  {{\"id\": {}, \"run_uuid\": {}, \"bench_name\": {}, \"started\": {}, "
        "\"stored\": {{\"limits\": {}, \"verdict\": {}, \"detail\": {}}}, "
        "\"now\": {{\"limits\": {}, \"verdict\": {}, \"detail\": {}}}, \"segments\": [",
        stored.id, JsonString(stored.uuid), JsonString(stored.benchName), JsonString(stored.started),
        JsonString(stored.limits), JsonString(was.word), JsonString(was.detail),
        JsonString(again.limits), JsonString(now.word), JsonString(now.detail));
    auto number = [](const std::optional<double>& v) {
      const std::string text = Number(v);
      return text.empty() ? std::string("null") : text;
    };
    for (std::size_t i = 0; i < stored.segments.size(); ++i) {
      const SegmentRecord &s = stored.segments[i], &a = again.segments[i];
      out += fmt::format(
          "{}\n    {{\"segment\": {}, \"peak_hz\": {}, \"peak_dbm\": {}, \"stored_limit_dbm\": {}, "
          "\"stored_verdict\": {}, \"limit_dbm\": {}, \"margin_db\": {}, \"verdict\": {}}}",
          i == 0 ? "" : ",", s.m.index + 1, number(s.m.peakHz), number(s.m.peakDbm),
          number(s.verdict.limitDbm), JsonString(s.verdict.Name()), number(a.verdict.limitDbm),
          number(a.verdict.limitDbm ? std::optional(a.verdict.marginDb) : std::nullopt),
          JsonString(a.verdict.Name()));
    }
    return out + (stored.segments.empty() ? "]}" : "\n  ]}");
  }

 private:
  std::string format_;
  std::size_t runs_ = 0;
};

}  // namespace

std::optional<int> RunRejudgeCommand(const RejudgeCommand& c, const std::string& journal,
                                     const char* program) {
  if (!c.command->parsed()) return std::nullopt;
  auto fail = [program](int status, const std::string& text) {
    fmt::print(stderr, "{}: rejudge: {}\n", program, text);
    return status;
  };
  if (c.runs.empty() && !c.all && !c.filter.Given()) {
    return fail(kExitUsage, "name the runs to judge again, or --all, or choose them with "
                            "--bench, --since, --until or --verdict");
  }
  if (!c.runs.empty() && c.filter.Given()) {
    return fail(kExitUsage, "--bench, --since, --until and --verdict choose among all runs: "
                            "give them without run numbers");
  }
  if (!c.limitDbm && c.limitsFile.empty()) return fail(kExitUsage, "give the limits: --limits FILE or --limit DBM");
  LimitTable limits;
  try {
    limits = c.limitDbm ? LimitTable::Everywhere(*c.limitDbm) : LimitTable::Load(c.limitsFile);
  } catch (const LimitsError& e) {
    return fail(kExitUsage, e.what());
  }
  ReportClosedPipes();
  Rows rows(c.format);
  bool anyFails = false;
  std::string problem;
  auto write = [&problem](const std::string& text) {
    if (problem.empty() && std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
      problem = fmt::format("cannot write standard output: {}", std::strerror(errno));
    }
    return problem.empty();
  };
  try {
    const std::unique_ptr<ResultStore> store =
        OpenStore(ParseStoreAddress(ReadingJournal(c.journal.empty() ? journal : c.journal, c.lab)),
                  JournalAccess::kRead);
    std::vector<std::int64_t> ids;
    for (const std::string& name : c.runs) {
      const std::optional<std::int64_t> id = FindRun(*store, name);
      if (!id) return fail(kExitUsage, fmt::format("the journal holds no run {}", name));
      ids.push_back(*id);
    }
    auto next = [&](const RunRecord& run) {
      const RunRecord again = Rejudged(run, limits);
      anyFails |= again.Failures() > 0;
      return write(rows.Next(run, again));
    };
    write(rows.Head());
    if (c.filter.Given()) {
      store->EachMatching(c.filter.Filter(), next);
    } else if (c.all) {
      store->EachRun(next);
    } else {
      for (const std::int64_t id : ids) {
        if (!next(*store->LoadRun(id))) break;
      }
    }
    write(rows.Tail());
  } catch (const JournalAddressError& e) {
    return fail(kExitUsage, e.what());
  } catch (const JournalError& e) {
    return fail(kExitRunStopped, e.what());
  }
  if (problem.empty() && std::fflush(stdout) != 0) problem = "cannot write standard output";
  if (!problem.empty()) return fail(kExitRunStopped, problem);
  return anyFails ? kExitOverLimit : kExitOk;
}

}  // namespace tarnwick
