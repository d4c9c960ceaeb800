// tarnwick-cli identify: what answers at the resource, and the dialect that
// fits it.
#ifndef TARNWICK_APP_IDENTIFY_COMMAND_H_
#define TARNWICK_APP_IDENTIFY_COMMAND_H_

#include <CLI/CLI.hpp>

#include "app/program_options.h"

namespace tarnwick {

// Adds the subcommand; the driver options (--resource and the rest) may
// stand after it too.
CLI::App* AddIdentifyCommand(CLI::App& app);

// Asks what answers where options say and prints it on standard output.
// Returns 0 when something answered, 1 when nothing did or it could not be
// reached, 2 for a resource no driver serves, 3 when the driver cannot serve.
int RunIdentify(const DriverOptions& options, const char* program);

}  // namespace tarnwick

#endif  // TARNWICK_APP_IDENTIFY_COMMAND_H_
