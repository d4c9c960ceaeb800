#include "app/cli_subcommands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <fmt/format.h>

#include "app/program_options.h"
#include "text/number_text.h"
#include "text/quote.h"
#include "journal/export.h"
#include "journal/sqlite_store.h"
#include "measure/segment_plan.h"
#include "results/block_text.h"

namespace tarnwick {

void AddHistoryCommands(CLI::App& app, HistoryCommands& c) {
  auto journalOption = [&c](CLI::App* sub) {
    sub->add_option("--journal", c.journal, "The journal to read (default: where runs go)")
        ->option_text("PATH");
  };
  c.runs = app.add_subcommand("runs", "List the journal's runs, one line each");
  c.runs->add_option("--last", c.last, "Only the newest N runs")->option_text("N");
  journalOption(c.runs);

  c.show = app.add_subcommand("show", "Print a run's block as the results box had it");
  c.show->add_option("RUN", c.showId, "The run's id (see runs)")->required();
  journalOption(c.show);

  c.exporter = app.add_subcommand("export", "Export runs as CSV or JSON");
  CLI::Option* ids = c.exporter->add_option("RUN", c.exportIds, "The runs' ids");
  CLI::Option* all = c.exporter->add_flag("--all", c.all, "Every run in the journal");
  ids->excludes(all);
  c.exporter->add_option("--format", c.format, "csv or json")
      ->check(CLI::IsMember({"csv", "json"}))
      ->capture_default_str();
  c.exporter->add_option("-o,--output", c.output, "Write to FILE instead of standard output")
      ->option_text("FILE");
  journalOption(c.exporter);
  app.require_subcommand(0, 1);
}

std::string WriteOutput(const std::string& path, const std::string& text) {
  const bool toStdout = path.empty() || path == "-";
  std::FILE* file = toStdout ? stdout : std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return fmt::format("cannot open {}: {}", QuotedForMessage(path, kQuotedPathLength),
                       std::strerror(errno));
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const bool flushed = toStdout ? std::fflush(file) == 0 : std::fclose(file) == 0;
  if (written && flushed) return "";
  return fmt::format("cannot write {}: {}",
                     toStdout ? std::string("standard output")
                              : QuotedForMessage(path, kQuotedPathLength),
                     std::strerror(errno));
}

std::string RunsLine(const RunRecord& run) {
  const std::string carrier =
      run.plan ? fmt::format("{} MHz", run.plan->carrierMHz)
               : QuotedForMessage(run.settings.carrierText, 16);
  return fmt::format("{:>6}  {}  {:>14}  {:<4}  {:<11}{}\n", run.id, run.started, carrier,
                     run.settings.plan, run.OutcomeName(),
                     run.simulated ? "  simulated" : "");
}

std::optional<int> RunHistoryCommand(const HistoryCommands& c, const char* program) {
  const CLI::App* given = c.runs->parsed() ? c.runs : c.show->parsed() ? c.show
                          : c.exporter->parsed() ? c.exporter : nullptr;
  if (given == nullptr) return std::nullopt;
  auto fail = [program](int status, const std::string& text) {
    fmt::print(stderr, "{}: {}\n", program, text);
    return status;
  };
  if (given == c.exporter && !c.all && c.exportIds.empty()) {
    return fail(kExitUsage, "export: name the runs to export, or --all");
  }
  const std::string path = c.journal.empty() ? DefaultJournalPath() : c.journal;
  // Reading must not leave an empty journal behind a mistyped path.
  std::error_code error;
  if (path.empty() || !std::filesystem::exists(path, error)) {
    return fail(kExitUsage,
                fmt::format("no journal at {}", QuotedForMessage(path, kQuotedPathLength)));
  }
  try {
    SqliteStore store(path);
    std::string out;
    if (given == c.runs) {
      for (const RunRecord& run : store.ListRuns(c.last)) out += RunsLine(run);
    } else if (given == c.show) {
      const std::optional<RunRecord> run = store.LoadRun(c.showId);
      if (!run) return fail(kExitUsage, fmt::format("the journal holds no run {}", c.showId));
      if (run->simulated) {
        fmt::print(stderr, "{}: run {} was simulated: these lines are not a measurement.\n",
                   program, run->id);
      }
      out = BlockText(*run);
    } else {
      std::vector<RunRecord> runs;
      for (std::int64_t id : c.all ? store.RunIds() : c.exportIds) {
        std::optional<RunRecord> run = store.LoadRun(id);
        if (!run) return fail(kExitUsage, fmt::format("the journal holds no run {}", id));
        runs.push_back(std::move(*run));
      }
      out = c.format == "json" ? JsonExport(runs) : CsvExport(runs);
    }
    const std::string problem = WriteOutput(given == c.exporter ? c.output : "", out);
    if (!problem.empty()) return fail(kExitRunStopped, problem);
  } catch (const JournalError& e) {
    return fail(kExitRunStopped, e.what());
  }
  return kExitOk;
}

void AddPlanCommands(CLI::App& app, PlanCommands& c) {
  c.plans = app.add_subcommand("plans", "List the test plans and where each came from");
  c.show = c.plans->add_subcommand("show", "Print a plan's segments and limits");
  c.show->add_option("NAME", c.name, "The plan's name, or a plan file")->required();
  c.show->add_option("--carrier", c.carrierMHz, "Resolve the segments for this carrier")
      ->option_text("MHZ");
  c.plans->require_subcommand(0, 1);
}

std::string PlansLine(const PlanEntry& entry) {
  const TestPlan& plan = entry.plan;
  std::string from = CutForMessage(plan.source, kQuotedPathLength);
  if (!entry.hiddenBy.empty()) {
    from += fmt::format(", hidden by {}", CutForMessage(entry.hiddenBy, kQuotedPathLength));
  }
  return fmt::format("{:<12} {:>2} segments  {:<42} {}\n", CutForMessage(plan.name),
                     plan.segments.size(), CarrierRangeText(MeasurableCarriers(plan)), from);
}

std::string PlanShowText(const TestPlan& plan, std::optional<double> carrierHz) {
  std::string out = fmt::format("{}: {}\nfrom {}\n", CutForMessage(plan.name),
                                CutForMessage(plan.description, kQuotedPathLength),
                                CutForMessage(plan.source, kQuotedPathLength));
  out += fmt::format("notch {} MHz either side of the carrier; {}\n",
                     GeneralNumberText(plan.notchHz / kHzPerMHz),
                     CarrierRangeText(MeasurableCarriers(plan)));
  FreqSegments resolved;
  if (carrierHz) {
    BuildSegmentPlan(resolved, *carrierHz, plan);
    out += fmt::format("segments for a carrier at {} MHz:\n",
                       GeneralNumberText(*carrierHz / kHzPerMHz));
  } else {
    out += "segments:\n";
  }
  for (std::size_t i = 0; i < plan.segments.size(); ++i) {
    const PlanSegment& s = plan.segments[i];
    out += carrierHz ? fmt::format("{:>4}  {} MHz to {} MHz\n", i + 1,
                                   GeneralNumberText(resolved[i].StartHz / kHzPerMHz),
                                   GeneralNumberText(resolved[i].StopHz / kHzPerMHz))
                     : fmt::format("{:>4}  {} to {}\n", i + 1, PlanEdgeText(s.start),
                                   PlanEdgeText(s.stop));
  }
  out += plan.limits.empty() ? "limits: none\n" : "limits:\n";
  for (const LimitRow& row : plan.limits) {
    out += fmt::format("      {} MHz to {} MHz: {} dBm\n", GeneralNumberText(row.startMHz),
                       GeneralNumberText(row.stopMHz), GeneralNumberText(row.limitDbm));
  }
  return out;
}

std::optional<int> RunPlanCommand(const PlanCommands& c, const char* program) {
  if (!c.plans->parsed()) return std::nullopt;
  std::string out;
  int status = kExitOk;
  auto say = [program](const std::string& text) { fmt::print(stderr, "{}: {}\n", program, text); };
  if (c.show->parsed()) {
    try {
      const TestPlan plan = ChoosePlan(c.name);
      const std::optional<double> carrierHz =
          c.carrierMHz ? std::optional(*c.carrierMHz * kHzPerMHz) : std::nullopt;
      out = PlanShowText(plan, carrierHz);
      FreqSegments segments;
      if (carrierHz) BuildSegmentPlan(segments, *carrierHz, plan);
      if (carrierHz && !PlanLeavesOutCarrier(segments, *carrierHz, plan.notchHz)) {
        say(CarrierRefusal(plan, *c.carrierMHz));
        status = kExitUsage;
      }
    } catch (const PlanError& e) {
      say(e.what());
      return kExitUsage;
    }
  } else {
    const PlanCatalogue catalogue = LoadPlanCatalogue();
    for (const PlanEntry& entry : catalogue.entries) out += PlansLine(entry);
    for (const std::string& problem : catalogue.problems) say(problem);
    if (!catalogue.problems.empty()) status = kExitUsage;
  }
  const std::string problem = WriteOutput("", out);
  if (!problem.empty()) {
    say(problem);
    return kExitRunStopped;
  }
  return status;
}

}  // namespace tarnwick
