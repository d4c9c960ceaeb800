// tarnwick-cli lab: init makes or brings up to date a lab's tables; status
// says where this bench forwards, under which name, how many runs wait and
// how the last try went; sync forwards the waiting runs now. --lab and
// --bench given to status or sync are remembered (lab.conf, see
// journal/lab_settings.h) for later commands and the window.
#ifndef TARNWICK_APP_CLI_LAB_H_
#define TARNWICK_APP_CLI_LAB_H_

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "lab/background_forwarder.h"

namespace tarnwick {

struct LabCommands {
  CLI::App* lab = nullptr;
  CLI::App* init = nullptr;
  CLI::App* status = nullptr;
  CLI::App* sync = nullptr;
  std::string address;  // --lab
  std::string bench;    // --bench
  std::string journal;  // --journal: the bench's journal
};

// Adds "lab init|status|sync", and makes lab addresses open for every
// command of the program.
void AddLabCommands(CLI::App& app, LabCommands& commands);

// Runs the lab command given and returns the program's status; none when
// none was given. journal is the bench's journal (empty: the default place).
std::optional<int> RunLabCommand(const LabCommands& commands, const std::string& journal,
                                 const char* program);

// The check of a --lab option: a lab's address, without a password.
CLI::Validator LabAddressCheck();

// Forwarding for a program that measures into journal: to the lab given,
// else the one remembered. Starts with a try at once. Null when there is
// nothing to forward to: no journal kept here, or no lab; a remembered lab
// that cannot be used is said through say.
std::unique_ptr<lab::BackgroundForwarder> StartForwarding(
    const std::string& labGiven, const std::string& journal, lab::BackgroundForwarder::Told told,
    const std::function<void(const std::string&)>& say,
    std::chrono::milliseconds retry = std::chrono::milliseconds(0));

}  // namespace tarnwick

#endif  // TARNWICK_APP_CLI_LAB_H_
