#include <cstring>

#include <fmt/format.h>

#include "bus/gpib_driver.h"

namespace tarnwick {

std::string DescribeGpibError(int32_t code, int32_t count) {
  struct Entry {
    int32_t code;
    const char* name;
    const char* meaning;
  };
  static constexpr Entry kErrors[] = {
      {EDVR, "EDVR", "system error"},
      {ECIC, "ECIC", "not controller-in-charge"},
      {ENOL, "ENOL", "no listener"},
      {EADR, "EADR", "board not addressed correctly"},
      {EARG, "EARG", "invalid argument"},
      {ESAC, "ESAC", "board not system controller"},
      {EABO, "EABO", "timeout or aborted"},
      {ENEB, "ENEB", "no such board"},
      {EDMA, "EDMA", "DMA error"},
      {EOIP, "EOIP", "asynchronous I/O in progress"},
      {ECAP, "ECAP", "no capability"},
      {EFSO, "EFSO", "file system error"},
      {EBUS, "EBUS", "bus error"},
      {ESTB, "ESTB", "status byte queue overflow"},
      {ESRQ, "ESRQ", "SRQ line stuck on"},
      {ETAB, "ETAB", "table problem"},
      {ELCK, "ELCK", "interface or device locked"},
      {EARM, "EARM", "ibnotify callback failed to rearm"},
      {EHDL, "EHDL", "invalid descriptor"},
      {ECFG, "ECFG", "board configuration problem"},
      {EWIP, "EWIP", "wait already in progress"},
      {ERST, "ERST", "event notification cancelled by a reset"},
      {EPWR, "EPWR", "interface lost power"},
  };
  for (const Entry& e : kErrors) {
    if (e.code != code) continue;
    // The driver leaves the system's error number in the count word.
    if (code == EDVR && count != 0) {
      return fmt::format("{} ({}, {}; errno {}, {})", e.name, code, e.meaning, count,
                         std::strerror(count));
    }
    return fmt::format("{} ({}, {})", e.name, code, e.meaning);
  }
  return fmt::format("driver error {}", code);
}

}  // namespace tarnwick
