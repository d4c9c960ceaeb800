#include "app/pseudo_terminal.h"

#ifndef _WIN32
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace tarnwick {

#ifdef _WIN32
bool OpenPseudoTerminal(PseudoTerminal&, std::string& error) {
  error = "a pseudo-terminal needs a POSIX system; use --listen";
  return false;
}
void ClosePseudoTerminal(PseudoTerminal&) {}
#else
bool OpenPseudoTerminal(PseudoTerminal& t, std::string& error) {
  auto fail = [&](const char* call) {
    error = std::string(call) + ": " + std::strerror(errno);
    ClosePseudoTerminal(t);
    return false;
  };
  t.master = posix_openpt(O_RDWR | O_NOCTTY);
  if (t.master < 0) return fail("posix_openpt");
  if (grantpt(t.master) != 0) return fail("grantpt");
  if (unlockpt(t.master) != 0) return fail("unlockpt");
  const char* name = ptsname(t.master);
  if (name == nullptr) return fail("ptsname");
  t.device = name;
  t.slave = open(name, O_RDWR | O_NOCTTY);
  if (t.slave < 0) return fail("open");
  // Bytes pass untouched: no echo, no line editing, no CR/LF translation.
  termios raw{};
  if (tcgetattr(t.slave, &raw) != 0) return fail("tcgetattr");
  cfmakeraw(&raw);
  if (tcsetattr(t.slave, TCSANOW, &raw) != 0) return fail("tcsetattr");
  return true;
}

void ClosePseudoTerminal(PseudoTerminal& t) {
  if (t.slave >= 0) close(t.slave);
  if (t.master >= 0) close(t.master);
  t.slave = t.master = -1;
}
#endif

}  // namespace tarnwick
