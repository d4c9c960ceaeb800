// The ways a command-line run is told to stop from outside: Ctrl-C, SIGTERM,
// SIGHUP and a closed pipe. The handlers only note the signal; the run sees
// it at its next check and ends the way closing the window ends it, with the
// analyser set back and taken offline.
#ifndef TARNWICK_APP_STOP_SIGNALS_H_
#define TARNWICK_APP_STOP_SIGNALS_H_

#include <string>

namespace tarnwick {

// Installs the handlers. A second Ctrl-C, SIGTERM or SIGHUP ends the program
// at once, for an operator who cannot wait for the closing steps.
void CatchStopSignals();

// For programs that only read and print: a closed pipe makes writes fail
// (EPIPE), to be reported like any output that cannot be written, instead of
// ending the program silently.
void ReportClosedPipes();

// The first signal caught, or 0.
int StopSignal();

// "SIGINT" and the like.
std::string SignalName(int signal);

// Checks that standard input, output and error are open; a closed one is
// pointed at the null device, so no file opened later can take its place
// and receive what was meant for it. False when standard output was closed.
bool StandardStreamsOpen();

}  // namespace tarnwick

#endif  // TARNWICK_APP_STOP_SIGNALS_H_
