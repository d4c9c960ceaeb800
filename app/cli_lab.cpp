#include "app/cli_lab.h"

#include <fmt/format.h>

#include "app/journal_options.h"
#include "app/program_options.h"
#include "journal/lab_settings.h"
#include "journal/result_store.h"
#include "journal/store_table.h"
#include "lab/lab_forwarder.h"
#include "lab/lab_store.h"
#include "text/quote.h"

namespace tarnwick {

CLI::Validator LabAddressCheck() {
  return CLI::Validator([](std::string& text) { return lab::LabAddressProblem(text); }, "");
}

std::unique_ptr<lab::BackgroundForwarder> StartForwarding(
    const std::string& labGiven, const std::string& journal, lab::BackgroundForwarder::Told told,
    const std::function<void(const std::string&)>& say, std::chrono::milliseconds retry) {
  // Only a journal on this machine queues runs; a lab is read, not measured into.
  if (journal.empty() || ParseStoreAddress(journal).file.empty()) return nullptr;
  std::string lab = labGiven;
  if (lab.empty()) {
    const std::string settingsPath = LabSettingsPath();
    std::string problem;
    lab = LoadLabSettings(settingsPath, &problem).lab;
    if (!problem.empty()) say("lab: " + problem);
    // A remembered address may have been edited by hand.
    if (const std::string refused = lab.empty() ? "" : lab::LabAddressProblem(lab);
        !refused.empty()) {
      say(fmt::format("lab: {}: {}", CutForMessage(settingsPath, kQuotedPathLength), refused));
      return nullptr;
    }
  }
  if (lab.empty()) return nullptr;
  return std::make_unique<lab::BackgroundForwarder>(journal, lab, std::move(told), retry);
}

void AddLabCommands(CLI::App& app, LabCommands& c) {
  lab::InstallLabJournal();
  c.lab = app.add_subcommand("lab", "The lab journal: every bench's runs in one PostgreSQL database");
  c.lab->require_subcommand(1);
  const CLI::Validator address = LabAddressCheck();
  auto labOption = [&](CLI::App* sub, const char* help) {
    return sub->add_option("--lab", c.address, help)->option_text("CONNINFO")->check(address);
  };
  c.init = c.lab->add_subcommand("init", "Make the lab's tables, or bring them up to date");
  labOption(c.init, "The lab (postgresql://HOST/DB, service=NAME, host=... dbname=...)")->required();
  c.status = c.lab->add_subcommand("status", "Where runs go, how many wait, how the last try went");
  c.sync = c.lab->add_subcommand("sync", "Forward the waiting runs now");
  for (CLI::App* sub : {c.status, c.sync}) {
    labOption(sub, "The lab to forward to (remembered)");
    sub->add_option("--bench", c.bench, "This bench's name (remembered; default: the host's name)")
        ->option_text("NAME");
    sub->add_option("--journal", c.journal, "The bench's journal (default: where runs go)")
        ->option_text("PATH")
        ->check(JournalAddressProblem);
  }
}

std::optional<int> RunLabCommand(const LabCommands& c, const std::string& journal,
                                 const char* program) {
  if (!c.lab->parsed()) return std::nullopt;
  auto say = [program](const std::string& text) { fmt::print(stderr, "{}: lab: {}\n", program, text); };
  if (c.init->parsed()) {
    try {
      fmt::print("{}\n", lab::InitLab(c.address));
      return kExitOk;
    } catch (const JournalError& e) {
      say(e.what());
      return kExitRunStopped;
    }
  }
  // What is given is remembered for the next command, and for the window.
  const std::string settingsPath = LabSettingsPath();
  std::string problem;
  LabSettings settings = LoadLabSettings(settingsPath, &problem);
  if (!problem.empty()) say(problem);
  if (!c.address.empty() || !c.bench.empty()) {
    if (!c.address.empty()) settings.lab = c.address;
    if (!c.bench.empty()) settings.bench = c.bench;
    if (std::string saved = SaveLabSettings(settings, settingsPath); !saved.empty()) say(saved);
  }
  const std::string bench = c.journal.empty() ? (journal.empty() ? DefaultJournalPath() : journal) : c.journal;
  if (c.status->parsed()) {
    const lab::QueueState state = lab::ReadQueueState(bench);
    std::string text = fmt::format(
        "lab: {}\nbench: {}\njournal: {}\n",
        settings.lab.empty() ? "none (tarnwick-cli lab sync --lab CONNINFO remembers one)"
                             : lab::ShownLab(settings.lab),
        QuotedForMessage(BenchName("", settings)), QuotedForMessage(bench, kQuotedPathLength));
    if (!state.error.empty()) {
      say(state.error);
      fmt::print("{}", text);
      return kExitRunStopped;
    }
    text += fmt::format("waiting: {} run{}\n", state.waiting, state.waiting == 1 ? "" : "s");
    text += state.lastTried.empty()
                ? "last try: never\n"
                : fmt::format("last try: {} to {}: {}\n", state.lastTried, state.lastLab,
                              state.lastError.empty() ? "all went" : state.lastError);
    fmt::print("{}", text);
    return kExitOk;
  }
  if (settings.lab.empty()) {
    say("no lab to forward to: give --lab CONNINFO (it is remembered)");
    return kExitUsage;
  }
  // A remembered address may have been edited by hand.
  if (const std::string refused = lab::LabAddressProblem(settings.lab); !refused.empty()) {
    say(fmt::format("{}: {}", CutForMessage(settingsPath, kQuotedPathLength), refused));
    return kExitUsage;
  }
  const lab::ForwardOutcome outcome = lab::LabForwarder(bench, settings.lab).ForwardWaiting();
  fmt::print("{} run{} forwarded to {}; {} waiting\n", outcome.forwarded,
             outcome.forwarded == 1 ? "" : "s", lab::ShownLab(settings.lab), outcome.waiting);
  if (outcome.Done()) return kExitOk;
  say(outcome.error.empty() ? fmt::format("{} runs still wait", outcome.waiting) : outcome.error);
  return kExitRunStopped;
}

}  // namespace tarnwick
