// What a program knows of the machine and the process it runs in: the host's
// name, an identity for this process that outlives a reused process id, and
// whether the process such an identity names is still running. POSIX and
// Windows calls stay behind these functions.
#ifndef TARNWICK_TEXT_THIS_MACHINE_H_
#define TARNWICK_TEXT_THIS_MACHINE_H_

#include <string>
#include <string_view>

namespace tarnwick {

// The machine's host name, or "unknown host" when the system will not say.
std::string HostName();

// This process on this machine, as text: "host pid start", where start is
// when the process began in the system's own ticks, so that another process
// given the same id later is told apart.
std::string ThisProcess();

// Whether the process ThisProcess() gave, maybe in another program, may
// still be running. True when it is, and also when that cannot be known (it
// ran on another host, or the text is not one ThisProcess() gives): a
// caller that takes a run for abandoned only on false never takes a live
// one for dead.
bool ProcessMayBeRunning(std::string_view process);

// A version 4 UUID, from the system's random source:
// "0f8e5d8a-3c1b-4f6e-9a2d-7b1c4e5f6a7b".
std::string NewUuid();

// Whether text is a UUID as NewUuid writes them, in either letter case.
bool IsUuid(std::string_view text);

}  // namespace tarnwick

#endif  // TARNWICK_TEXT_THIS_MACHINE_H_
