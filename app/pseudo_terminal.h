// A pseudo-terminal for tarnwick-sim's serial path: the program keeps the
// master side, and a client opens the device path as it would a USB adaptor's
// serial port. POSIX only; elsewhere opening one always fails.
#ifndef TARNWICK_APP_PSEUDO_TERMINAL_H_
#define TARNWICK_APP_PSEUDO_TERMINAL_H_

#include <string>

namespace tarnwick {

struct PseudoTerminal {
  int master = -1;       // read and written by the program
  int slave = -1;        // held open so the master outlives each client
  std::string device;    // "/dev/pts/7", for the client
};

// Opens one in raw mode. Returns false with error set when the system cannot.
bool OpenPseudoTerminal(PseudoTerminal& terminal, std::string& error);
void ClosePseudoTerminal(PseudoTerminal& terminal);

}  // namespace tarnwick

#endif  // TARNWICK_APP_PSEUDO_TERMINAL_H_
