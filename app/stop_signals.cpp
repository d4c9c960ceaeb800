#include "app/stop_signals.h"

#include <csignal>

#include <fmt/format.h>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tarnwick {
namespace {

volatile std::sig_atomic_t g_stop_signal = 0;

extern "C" void OnStopSignal(int signal) {
#ifndef _WIN32
  // Writing the last note to a closed pipe raises SIGPIPE again: not news.
  if (g_stop_signal != 0 && signal != SIGPIPE) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
#else
  std::signal(signal, OnStopSignal);  // Windows resets the handler on delivery
#endif
  if (g_stop_signal == 0) g_stop_signal = signal;
}

}  // namespace

void CatchStopSignals() {
#ifdef _WIN32
  for (int s : {SIGINT, SIGTERM, SIGBREAK}) std::signal(s, OnStopSignal);
#else
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // driver calls finish; the run checks between them
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(s, &action, nullptr);
#endif
}

void ReportClosedPipes() {
#ifndef _WIN32
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

int StopSignal() { return g_stop_signal; }

std::string SignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
#ifdef _WIN32
    case SIGBREAK: return "SIGBREAK";
#else
    case SIGHUP: return "SIGHUP";
    case SIGPIPE: return "SIGPIPE";
#endif
    default: return fmt::format("signal {}", signal);
  }
}

bool StandardStreamsOpen() {
#ifdef _WIN32
  return _get_osfhandle(1) != -1;
#else
  bool stdoutOpen = true;
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) continue;
    if (fd == 1) stdoutOpen = false;
    // The lowest free descriptor is this one.
    open("/dev/null", O_RDWR);
  }
  return stdoutOpen;
#endif
}

}  // namespace tarnwick
