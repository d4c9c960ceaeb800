// tarnwick-cli: one measurement run from the command line. Standard output
// receives exactly what the window's results box would, CR LF included.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "app/cli_report.h"
#include "app/cli_subcommands.h"
#include "app/console_io.h"
#include "app/identify_command.h"
#include "app/journal_options.h"
#include "app/program_options.h"
#include "app/stop_signals.h"
#include "bus/analyzer_bus.h"
#include "journal/export.h"
#include "journal/run_journal.h"
#include "measure/measurement_run.h"
#include "measure/plan_catalogue.h"
#include "results/block_text.h"
#include "results/recorder.h"
#include "results/verdicts.h"
#include "text/number_text.h"

namespace tarnwick {
namespace {

constexpr char kProgram[] = "tarnwick-cli";

// Standard error for messages, shared with a progress line that redraws
// itself while standard error is a terminal.
class Console {
 public:
  void Say(std::string_view text) {
    ClearProgress();
    fmt::print(stderr, "{}: {}\n", kProgram, text);
  }
  // The progress line shares standard error with messages: wipe it first.
  void ClearProgress() {
    if (progress_shown_) {
      fmt::print(stderr, "\r\033[K");
      progress_shown_ = false;
    }
  }
  void Progress(const std::string& text) {
    fmt::print(stderr, "\r\033[K{}", text);
    std::fflush(stderr);
    progress_shown_ = true;
  }

 private:
  bool progress_shown_ = false;
};

struct CliInputs {
  std::string carrier = "1940";
  std::string ref = "20";
  std::string offset = "0";
  std::string band{kBand2G};
  bool averaging = false;
  std::string plan;  // empty: the band's built-in plan
};

class ConsoleHost : public RunHost, public RunObserver {
 public:
  ConsoleHost(const CliInputs& inputs, std::optional<TestPlan> plan, Console& console,
              const DriverStack& stack, bool showProgress)
      : inputs_(inputs), plan_(std::move(plan)), console_(console), stack_(stack),
        show_progress_(showProgress) {}

  std::string CarrierText() override { return inputs_.carrier; }
  std::string RefLevelText() override { return inputs_.ref; }
  std::string RefOffsetText() override { return inputs_.offset; }
  bool Band800MSelected() override { return inputs_.band == kBand800M; }
  const TestPlan* ChosenPlan() override { return plan_ ? &*plan_ : nullptr; }
  int AveragingValue() override { return inputs_.averaging ? 1 : 0; }

  // The results box is standard output.
  void InsertResult(std::string_view text) {
    console_.ClearProgress();
    if (!output_error_.empty() || !print_lines_) return;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
      output_error_ = fmt::format("cannot write the results to standard output: {}",
                                  std::strerror(errno));
    }
  }

  // Lines that cannot be delivered, or a trace that cannot be written, end
  // the run as a signal does: measuring on would only lose the results.
  bool StopRequested() const {
    return StopSignal() != 0 || !output_error_.empty() || stack_.trace_failed();
  }
  std::string StopReason() override {
    if (StopSignal() != 0) return "ended by " + SignalName(StopSignal());
    if (!output_error_.empty()) return output_error_;
    return stack_.trace_failed() ? "cannot write the trace" : "stopped";
  }
  const std::string& output_error() const { return output_error_; }
  // Off for --format csv and json: the run is printed whole at its end.
  void PrintLines(bool on) { print_lines_ = on; }

  // Progress, while standard error is a terminal.
  void RunStarted(const RunSettings&) override {}
  void RunPlanned(const RunPlan&) override {}
  void SegmentStarting(std::size_t index, std::size_t count, double startHz,
                       double stopHz) override {
    if (!show_progress_) return;
    console_.Progress(fmt::format("Sweeping segment {} of {}: {} to {} MHz", index + 1, count,
                                  GeneralNumberText(startHz / kHzPerMHz),
                                  GeneralNumberText(stopHz / kHzPerMHz)));
  }
  void SegmentMeasured(const SegmentMeasurement&) override {}
  void RunFinished(const RunEnd&) override { console_.ClearProgress(); }

 private:
  const CliInputs& inputs_;
  std::optional<TestPlan> plan_;
  Console& console_;
  const DriverStack& stack_;
  bool show_progress_;
  bool print_lines_ = true;
  std::string output_error_;
};

int Main(int argc, char** argv) {
  CLI::App app{"Runs one spurious-emission search on a spectrum analyser over GPIB and "
               "prints its result lines.",
               kProgram};
  CliInputs inputs;
  DriverOptions driverOptions;
  app.add_option("--carrier", inputs.carrier, "Carrier frequency in MHz, passed as typed")
      ->option_text("TEXT")
      ->capture_default_str();
  app.add_option("--ref", inputs.ref, "Reference level in dBm, passed as typed")
      ->option_text("TEXT")
      ->capture_default_str();
  app.add_option("--offset", inputs.offset, "Reference offset in dB, passed as typed")
      ->option_text("TEXT")
      ->capture_default_str();
  app.add_option("--band", inputs.band, "Band, as its built-in plan")
      ->check(CLI::IsMember({std::string(kBand800M), std::string(kBand2G)}))
      ->capture_default_str()
      ->excludes(AddPlanOption(app, inputs.plan));
  app.add_flag("--avg", inputs.averaging, "Average every sweep");
  AddDriverOptions(app, driverOptions);
  JournalOptions journalOptions;
  AddJournalOptions(app, journalOptions);
  std::string format = "box";
  app.add_option("--format", format, "What standard output receives: the result lines, or the "
                                     "run as CSV or JSON")
      ->check(CLI::IsMember({"box", "csv", "json"}))
      ->capture_default_str();
  HistoryCommands history;
  AddHistoryCommands(app, history);
  PlanCommands plans;
  AddPlanCommands(app, plans);
  ReportCommand report;
  AddReportCommand(app, report);
  const CLI::App* identify = AddIdentifyCommand(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? kExitOk : kExitUsage;
  }
  // Results, exports and shown blocks leave exactly as they are, CR LF included.
  PrepareStdoutForResults();
  // "--journal PATH runs" reads the journal it names, as "runs --journal PATH" does.
  if (history.journal.empty()) history.journal = journalOptions.path;
  if (const std::optional<int> status = RunHistoryCommand(history, kProgram)) return *status;
  if (const std::optional<int> status = RunPlanCommand(plans, kProgram)) return *status;
  if (const std::optional<int> status = RunReportCommand(report, journalOptions.path, kProgram)) {
    return *status;
  }
  if (identify->parsed()) return RunIdentify(driverOptions, kProgram);
  LimitTable limits;
  std::optional<TestPlan> plan;
  try {
    limits = ChosenLimits(journalOptions);
    if (!inputs.plan.empty()) plan = ChoosePlan(inputs.plan);
  } catch (const std::runtime_error& e) {  // LimitsError, PlanError
    fmt::print(stderr, "{}: {}\n", kProgram, e.what());
    return kExitUsage;
  }

  // With standard output closed, the trace file would take its place and
  // receive the result lines.
  if (!StandardStreamsOpen()) {
    fmt::print(stderr, "{}: standard output is closed: nothing was measured.\n", kProgram);
    return kExitRunStopped;
  }

  Console console;
  SystemPlatform platform;
  std::unique_ptr<DriverStack> stack;
  try {
    stack = std::make_unique<DriverStack>(driverOptions, platform);
  } catch (const std::exception& e) {
    console.Say(e.what());
    return kExitUsage;
  }
  if (stack->simulated()) console.Say("simulated analyser: these lines are not a measurement.");

  CatchStopSignals();
  const bool showProgress = StderrIsTerminal() && !stack->traces_to_stderr();
  AnalyzerBus bus(stack->driver());
  bus.SetAddress(stack->address());
  const std::unique_ptr<Analyser> analyser = MakeDialect(driverOptions.dialect, bus, platform);
  ConsoleHost host(inputs, std::move(plan), console, *stack, showProgress);
  host.PrintLines(format == "box");
  platform.SetStopCheck([&host] { return host.StopRequested(); });
  MeasurementRun run(*analyser, host, platform);
  BlockWriter box([&host](std::string_view text) { host.InsertResult(text); });
  RunRecorder recorder;
  recorder.SetBench([&stack] { return stack->BenchText(); }, stack->simulated());
  recorder.SetLimits(std::move(limits));
  run.SetPlanCheck(
      [&recorder](const FreqSegments& plan) { return recorder.limits().MissedPlan(plan); });
  RunJournal journal(OpenJournal(JournalPath(journalOptions)),
                     [&console](const std::string& text) { console.Say(text); });
  recorder.AddListener(journal);
  run.AddObserver(host);
  run.AddObserver(box);
  run.AddObserver(recorder);
  const RunEnd end = run.OnStart();
  const RunRecord& record = recorder.record();
  if (!record.message.empty()) console.Say(record.message);
  if (end.endsProgram) {
    std::fflush(stdout);
    return kExitProgramEnded;
  }
  if (format != "box" && StopSignal() == 0) {
    const std::vector<RunRecord> runs{record};
    const std::string problem =
        WriteToStdout(format == "json" ? JsonExport(runs) : CsvExport(runs));
    if (!problem.empty()) {
      console.Say(problem);
      return kExitRunStopped;
    }
  }
  const std::string verdict = LimitsSummary(record);
  if (!verdict.empty()) console.Say("limits: " + verdict);
  const bool overLimit = record.Failures() > 0;

  if (StopSignal() != 0) return kExitSignalBase + StopSignal();
  if (!host.output_error().empty() || std::fflush(stdout) != 0) {
    fmt::print(stderr, "{}: {}\n", kProgram,
               host.output_error().empty() ? "cannot write the results to standard output"
                                           : host.output_error());
    return kExitRunStopped;
  }
  if (stack->trace_failed()) {
    fmt::print(stderr, "{}: cannot write the trace: it is incomplete.\n", kProgram);
    return kExitRunStopped;
  }
  switch (end.outcome) {
    case RunOutcome::kCompleted:
      return overLimit ? kExitOverLimit : kExitOk;
    case RunOutcome::kBlankInput:
      fmt::print(stderr, "{}: {}.\n", kProgram, kBlankFieldText);
      return kExitOk;
    case RunOutcome::kDoubtful:
      return kExitDoubtful;
    case RunOutcome::kRefused:
      return kExitUsage;
    case RunOutcome::kStopped:
    case RunOutcome::kAbandoned:
      break;
  }
  return kExitRunStopped;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) { return tarnwick::Main(argc, argv); }
