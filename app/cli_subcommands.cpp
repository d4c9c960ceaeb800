#include "app/cli_subcommands.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>

#include <fmt/format.h>

#include "app/cli_rejudge.h"
#include "app/journal_options.h"
#ifdef TARNWICK_LAB
#include "app/cli_lab.h"
#endif
#include "app/program_options.h"
#include "app/stop_signals.h"
#include "text/number_text.h"
#include "text/quote.h"
#include "text/this_machine.h"
#include "journal/export.h"
#include "journal/journal_files.h"
#include "journal/lab_settings.h"
#include "journal/store_table.h"
#include "measure/segment_plan.h"
#include "results/block_text.h"

namespace tarnwick {

void AddHistoryCommands(CLI::App& app, HistoryCommands& c) {
  auto journalOption = [&c](CLI::App* sub) { AddReadingJournal(*sub, c.journal, c.lab); };
  const CLI::Validator count(CheckCount, "");
  const CLI::Validator runName(CheckRunName, "");
  c.runs = app.add_subcommand("runs", "List the journal's runs, one line each");
  c.runs->add_option("--last", c.last, "Only the newest N runs")->option_text("N")->check(count);
  AddFilterOptions(*c.runs, c.filter);
  journalOption(c.runs);

  c.show = app.add_subcommand("show", "Print a run's block as the results box had it");
  c.show->add_option("RUN", c.showRun, "The run's number (see runs) or UUID")->required()->check(runName);
  journalOption(c.show);

  c.exporter = app.add_subcommand("export", "Export runs as CSV or JSON");
  CLI::Option* ids = c.exporter->add_option("RUN", c.exportRuns, "The runs' numbers or UUIDs")->check(runName);
  CLI::Option* all = c.exporter->add_flag("--all", c.all, "Every run in the journal (or every one the filters take)");
  ids->excludes(all);
  AddFilterOptions(*c.exporter, c.filter);
  c.exporter->add_option("--format", c.format, "csv or json")
      ->check(CLI::IsMember({"csv", "json"}))
      ->capture_default_str();
  c.exporter->add_option("-o,--output", c.output, "Write to FILE instead of standard output")
      ->option_text("FILE");
  journalOption(c.exporter);

  c.backup = app.add_subcommand("backup", "Copy the journal to FILE, also while runs go on");
  c.backup->add_option("FILE", c.backupPath, "Where the copy goes")->required();
  journalOption(c.backup);
#ifdef TARNWICK_LAB
  AddLabCommands(app, c.labCommands);
#endif
  AddRejudgeCommand(app, c.rejudge);
  app.require_subcommand(0, 1);
}

std::string WriteToStdout(const std::string& text) {
  OutputFile out("");
  out.Write(text);
  return out.Finish();
}

namespace {

// One line of `runs`: id, start, carrier, band, outcome, simulated.
std::string RunsLine(const RunRecord& run) {
  const std::string carrier =
      run.plan ? fmt::format("{} MHz", run.plan->carrierMHz)
               : QuotedForMessage(run.settings.carrierText, 16);
  return fmt::format("{:>6}  {}  {:<12}  {:>14}  {:<4}  {:<11}{}\n", run.id, run.started,
                     CutForMessage(run.benchName, 12), carrier, run.settings.plan,
                     run.OutcomeName(), run.simulated ? "  simulated" : "");
}

}  // namespace

std::optional<int> RunHistoryCommand(const HistoryCommands& c, const char* program) {
#ifdef TARNWICK_LAB
  if (const std::optional<int> status = RunLabCommand(c.labCommands, c.journal, program)) return status;
#endif
  if (const std::optional<int> status = RunRejudgeCommand(c.rejudge, c.journal, program)) return status;
  const CLI::App* given = nullptr;
  for (const CLI::App* sub : {c.runs, c.show, c.exporter, c.backup}) {
    if (sub->parsed()) given = sub;
  }
  if (given == nullptr) return std::nullopt;
  auto fail = [program](int status, const std::string& text) {
    fmt::print(stderr, "{}: {}\n", program, text);
    return status;
  };
  if (given == c.exporter && !c.all && c.exportRuns.empty() && !c.filter.Given()) {
    return fail(kExitUsage, "export: name the runs to export, or --all");
  }
  if (given == c.exporter && !c.exportRuns.empty() && c.filter.Given()) {
    return fail(kExitUsage, "export: --bench, --since, --until and --verdict choose among all runs: "
                            "give them without run numbers");
  }
  const std::string outputPath =
      given == c.exporter ? c.output : given == c.backup ? c.backupPath : "";
  ReportClosedPipes();
  try {
    const StoreAddress address =
        ParseStoreAddress(ReadingJournal(c.journal, c.lab));
    if (const std::string refusal = OutputRefusal(address.file, outputPath); !refusal.empty()) {
      return fail(kExitUsage, fmt::format("{}: {}", given->get_name(), refusal));
    }
    const std::unique_ptr<ResultStore> opened = OpenStore(address, JournalAccess::kRead);
    ResultStore& store = *opened;
    // Reading goes on: what a damaged journal still holds may be all there is.
    if (const std::string damage = store.Damage(); !damage.empty()) {
      fmt::print(stderr, "{}: {}\n", program, damage);
    }
    if (given == c.backup) {
      store.BackUpTo(c.backupPath);
      return kExitOk;
    }
    std::optional<RunRecord> shown;
    if (given == c.show) {
      if (const std::optional<std::int64_t> id = FindRun(store, c.showRun)) shown = store.LoadRun(*id);
      if (!shown) return fail(kExitUsage, fmt::format("the journal holds no run {}", c.showRun));
      if (shown->simulated) {
        fmt::print(stderr, "{}: run {} was simulated: these lines are not a measurement.\n",
                   program, shown->id);
      }
    }
    // Every run named is there before anything is written.
    std::vector<std::int64_t> exportIds;
    for (const std::string& name : given == c.exporter ? c.exportRuns : std::vector<std::string>{}) {
      const std::optional<std::int64_t> id = FindRun(store, name);
      if (!id) return fail(kExitUsage, fmt::format("the journal holds no run {}", name));
      exportIds.push_back(*id);
    }
    OutputFile out(outputPath);
    if (given == c.runs) {
      const auto line = [&out](const RunRecord& run) { return out.Write(RunsLine(run)); };
      if (c.filter.Given()) {
        store.ListMatching(c.filter.Filter(), c.last, line);
      } else {
        store.ListRuns(c.last, line);
      }
    } else if (given == c.show) {
      out.Write(BlockText(*shown));
    } else {
      ExportText text(c.format == "json" ? ExportFormat::kJson : ExportFormat::kCsv);
      auto next = [&](const RunRecord& run) { return out.Write(text.Next(run)); };
      out.Write(text.Head());
      if (c.filter.Given()) {
        store.EachMatching(c.filter.Filter(), next);
      } else if (c.all) {
        store.EachRun(next);
      } else {
        for (std::int64_t id : exportIds) {
          if (!next(*store.LoadRun(id))) break;
        }
      }
      out.Write(text.Tail());
    }
    if (const std::string problem = out.Finish(); !problem.empty()) {
      return fail(kExitRunStopped, problem);
    }
  } catch (const JournalAddressError& e) {
    return fail(kExitUsage, e.what());
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

namespace {

// One line of `plans`: name, segments, carriers, and where the plan came from.
std::string PlansLine(const PlanEntry& entry) {
  const TestPlan& plan = entry.plan;
  std::string from = CutForMessage(plan.source, kQuotedPathLength);
  if (!entry.hiddenBy.empty()) {
    from += fmt::format(", hidden by {}", CutForMessage(entry.hiddenBy, kQuotedPathLength));
  }
  return fmt::format("{:<12} {:>2} segments  {:<42} {}\n", CutForMessage(plan.name),
                     plan.segments.size(), CarrierRangeText(MeasurableCarriers(plan)), from);
}

// What `plans show` prints: the plan's segments, resolved for the carrier
// when one is given, and its limits.
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

}  // namespace

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
  const std::string problem = WriteToStdout(out);
  if (!problem.empty()) {
    say(problem);
    return kExitRunStopped;
  }
  return status;
}

}  // namespace tarnwick
