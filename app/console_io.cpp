#include "app/console_io.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tarnwick {

#ifdef _WIN32

bool StderrIsTerminal() {
  if (_isatty(_fileno(stderr)) == 0) return false;
  HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) return false;
  if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) return true;
  // Consoles before Windows 10 refuse the mode: they would print the escapes.
  return SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void PrepareStdoutForResults() {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}

#else

bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void PrepareStdoutForResults() {}

#endif

}  // namespace tarnwick
