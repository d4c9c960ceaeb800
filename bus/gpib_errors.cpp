#include <fmt/format.h>

#include "bus/gpib_driver.h"

namespace tarnwick {

std::string DescribeGpibError(int32_t code) {
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
  };
  for (const Entry& e : kErrors) {
    if (e.code == code) return fmt::format("{} ({}, {})", e.name, code, e.meaning);
  }
  return fmt::format("driver error {}", code);
}

}  // namespace tarnwick
