// tarnwick-cli: one measurement run from the command line. Standard output
// receives exactly what the window's results box would, CR LF included.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#ifdef TARNWICK_LAB
#include "app/cli_lab.h"
#endif
#include "app/cli_report.h"
#include "app/cli_subcommands.h"
#include "app/console_io.h"
#include "app/identify_command.h"
#include "app/journal_options.h"
#include "app/program_options.h"
#include "app/stop_signals.h"
#include "journal/export.h"
#include "measure/plan_catalogue.h"
#include "results/block_text.h"
#include "results/verdicts.h"
#include "session/run_session.h"
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

// Standard output as the results box, standard error for progress, and
// what stops a run: a signal, or lines that cannot be delivered.
class ConsoleHost : public LiveInputs, public RunObserver {
 public:
  ConsoleHost(bool averaging, Console& console, bool showProgress, bool printLines)
      : averaging_(averaging), console_(console), show_progress_(showProgress),
        print_lines_(printLines) {}

  bool Averaging() override { return averaging_; }
  // Lines that cannot be delivered end the run as a signal does: measuring
  // on would only lose the results.
  bool StopRequested() override { return StopSignal() != 0 || !output_error_.empty(); }
  std::string StopNote() override {
    return InterruptedNote(StopSignal() != 0 ? "ended by " + SignalName(StopSignal())
                                             : output_error_);
  }

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
  const std::string& output_error() const { return output_error_; }

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
  bool averaging_;
  Console& console_;
  bool show_progress_;
  bool print_lines_;  // off for --format csv and json: the run is printed whole at its end
  std::string output_error_;
};

// Everything tarnwick-cli's command line sets.
struct CliOptions {
  CliInputs inputs;
  DriverOptions driver;
  JournalOptions journal;
  std::string format = "box";
  HistoryCommands history;
  PlanCommands plans;
  ReportCommand report;
  const CLI::App* identify = nullptr;
};

void DefineOptions(CLI::App& app, CliOptions& o) {
  app.add_option("--carrier", o.inputs.carrier, "Carrier frequency in MHz, passed as typed")
      ->option_text("TEXT")
      ->capture_default_str();
  app.add_option("--ref", o.inputs.ref, "Reference level in dBm, passed as typed")
      ->option_text("TEXT")
      ->capture_default_str();
  app.add_option("--offset", o.inputs.offset, "Reference offset in dB, passed as typed")
      ->option_text("TEXT")
      ->capture_default_str();
  app.add_option("--band", o.inputs.band, "Band, as its built-in plan")
      ->check(CLI::IsMember({std::string(kBand800M), std::string(kBand2G)}))
      ->capture_default_str()
      ->excludes(AddPlanOption(app, o.inputs.plan));
  app.add_flag("--avg", o.inputs.averaging, "Average every sweep");
  AddDriverOptions(app, o.driver);
  AddJournalOptions(app, o.journal);
  app.add_option("--format", o.format, "What standard output receives: the result lines, or the "
                                       "run as CSV or JSON")
      ->check(CLI::IsMember({"box", "csv", "json"}))
      ->capture_default_str();
  AddHistoryCommands(app, o.history);
  AddPlanCommands(app, o.plans);
  AddReportCommand(app, o.report);
  o.identify = AddIdentifyCommand(app);
}

// The subcommand that was given, run; none when the command line measures.
std::optional<int> RunSubcommand(CliOptions& o) {
  // "--journal PATH runs" reads the journal it names, as "runs --journal PATH" does.
  if (o.history.journal.empty()) o.history.journal = o.journal.path;
  if (o.report.journal.empty()) o.report.journal = o.journal.path;
  if (const std::optional<int> status = RunHistoryCommand(o.history, kProgram)) return status;
  if (const std::optional<int> status = RunPlanCommand(o.plans, kProgram)) return status;
  if (const std::optional<int> status = RunReportCommand(o.report, kProgram)) return status;
  if (o.identify->parsed()) return RunIdentify(o.driver, kProgram);
  return std::nullopt;
}

// The status of a run that ended as outcome, once nothing went wrong around it.
int OutcomeStatus(RunOutcome outcome, bool overLimit) {
  switch (outcome) {
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

// What the command line asks a run to do.
RunRequest RequestFrom(const CliOptions& o, LimitTable limits, std::optional<TestPlan> plan) {
  RunRequest request;
  request.inputs = {o.inputs.carrier, o.inputs.ref,       o.inputs.offset,
                    o.inputs.band == kBand800M, o.inputs.averaging, std::move(plan)};
  request.driver = o.driver;
  request.limits = std::move(limits);
  request.journal = JournalPath(o.journal);
  request.benchName = ChosenBenchName(o.journal);
  return request;
}

// The session's run with the options' inputs, printed as they ask; the
// program's status.
int RunAndReport(const CliOptions& o, const RunRequest& request, RunSession& session,
                 Console& console) {
  DriverStack& stack = session.stack();
  if (stack.simulated()) console.Say("simulated analyser: these lines are not a measurement.");

  ConsoleHost host(request.inputs.averaging, console,
                   StderrIsTerminal() && !stack.traces_to_stderr(), o.format == "box");
  BlockWriter box([&host](std::string_view text) { host.InsertResult(text); });
  session.SetLiveInputs(host);
  session.SetJournalWarning([&console](const std::string& text) { console.Say(text); });
  session.AddObserver(host);
  session.AddObserver(box);
  const RunEnd end = session.Run(request);
  const RunRecord& record = session.record();
  if (!record.message.empty()) console.Say(record.message);
  if (end.endsProgram) {
    std::fflush(stdout);
    return kExitProgramEnded;
  }
  if (o.format != "box" && StopSignal() == 0) {
    const std::vector<RunRecord> runs{record};
    const std::string problem =
        WriteToStdout(o.format == "json" ? JsonExport(runs) : CsvExport(runs));
    if (!problem.empty()) {
      console.Say(problem);
      return kExitRunStopped;
    }
  }
  const std::string verdict = LimitsSummary(record);
  if (!verdict.empty()) console.Say("limits: " + verdict);

  if (StopSignal() != 0) return kExitSignalBase + StopSignal();
  if (!host.output_error().empty() || std::fflush(stdout) != 0) {
    console.Say(host.output_error().empty() ? "cannot write the results to standard output"
                                            : host.output_error());
    return kExitRunStopped;
  }
  if (stack.trace_failed()) {
    console.Say("cannot write the trace: it is incomplete.");
    return kExitRunStopped;
  }
  return OutcomeStatus(end.outcome, record.Failures() > 0);
}

// One measurement run with the options' inputs; the program's status.
int Measure(const CliOptions& o, const RunRequest& request) {
  Console console;
  // Caught before the journal is opened, which may take a while: a signal
  // from then on ends the run cleanly.
  CatchStopSignals();
  SystemPlatform platform;
  std::unique_ptr<RunSession> session;
  try {
    session = std::make_unique<RunSession>(request, platform);
  } catch (const std::exception& e) {
    console.Say(e.what());
    return kExitUsage;
  }
#ifdef TARNWICK_LAB
  // Finished runs go to the lab from a thread of their own, which begins
  // with the runs earlier programs left waiting: no run waits for the lab,
  // and its status never depends on it.
  std::mutex labMutex;
  std::string labNote;  // an unreachable lab, said once the run is over
  bool labFailed = false;
  const std::unique_ptr<lab::BackgroundForwarder> forwarder = StartForwarding(
      o.journal.lab, request.journal,
      [&](const lab::ForwardOutcome& outcome, bool firstFailure) {
        const std::lock_guard<std::mutex> lock(labMutex);
        labFailed = labFailed || !outcome.error.empty();
        if (firstFailure) labNote = lab::WaitingLine(outcome.waiting, outcome.tried, outcome.error);
      },
      [&console](const std::string& text) { console.Say(text); });
#endif
  const int status = RunAndReport(o, request, *session, console);
#ifdef TARNWICK_LAB
  if (forwarder) {
    // This run, too, once the try at start is over, unless that try could
    // not reach the lab: then the run waits with the others for the next
    // program's try, rather than keeping this one a second connect timeout.
    const auto signalled = [] { return StopSignal() != 0; };
    forwarder->Finish(signalled);
    bool failed = false;
    {
      const std::lock_guard<std::mutex> lock(labMutex);
      failed = labFailed;
    }
    if (!failed && !signalled()) {
      forwarder->Poke();
      forwarder->Finish(signalled);
    }
    const std::lock_guard<std::mutex> lock(labMutex);
    if (!labNote.empty()) console.Say(labNote);
  }
#endif
  return status;
}

int Main(int argc, char** argv) {
  CLI::App app{"Runs one spurious-emission search on a spectrum analyser over GPIB and "
               "prints its result lines.",
               kProgram};
  CliOptions options;
  DefineOptions(app, options);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? kExitOk : kExitUsage;
  }
  // Results, exports and shown blocks leave exactly as they are, CR LF included.
  PrepareStdoutForResults();
  if (const std::optional<int> status = RunSubcommand(options)) return *status;
  LimitTable limits;
  std::optional<TestPlan> plan;
  try {
    limits = ChosenLimits(options.journal);
    if (!options.inputs.plan.empty()) plan = ChoosePlan(options.inputs.plan);
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
  return Measure(options, RequestFrom(options, std::move(limits), std::move(plan)));
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) { return tarnwick::Main(argc, argv); }
