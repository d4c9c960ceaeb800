// Resource strings as the operator writes them, read into their fields. Each
// form has a reader here; which driver serves a form is the business of the
// table that wires programs (session/resources.h).
#ifndef TARNWICK_DRIVERS_RESOURCE_H_
#define TARNWICK_DRIVERS_RESOURCE_H_

#include <stdexcept>
#include <string>
#include <string_view>

#include "bus/analyzer_address.h"

namespace tarnwick::drivers {

// What the programs use when no resource is given: today's board 0, address 8.
inline constexpr std::string_view kDefaultResource = "GPIB0::8::INSTR";
// The built-in simulated analyser; --simulate stands for it.
inline constexpr std::string_view kSimulatedResource = "SIM::INSTR";
// The port of a Prologix-style GPIB-ETHERNET adaptor.
inline constexpr int kPrologixDefaultPort = 1234;

// Which library serves the GPIB form: the NI-488.2 one, or VISA.
enum class Backend { kAuto, kVisa };

struct Resource {
  std::string text;  // as given
  // What the run opens, and the name messages give the analyser: the
  // resource as given, or none for the default and the simulator, which
  // messages call GPIB<board>::<pad>.
  AnalyzerAddress address;
  std::string host;                 // PRLGX-TCPIP, SOCKET
  int port = kPrologixDefaultPort;  // PRLGX-TCPIP, SOCKET
  std::string device;               // PRLGX-ASRL
};

// A resource string no form accepts. what() says why and lists the forms.
class ResourceError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// The readers, one a form. Each fills resource when text has its form;
// returns false when it is not that form at all; throws ResourceError (or a
// host's AddressError) when it is, but a field is wrong.
bool ReadGpib(std::string_view text, Resource& resource);            // GPIB[board]::pad[::sad]::INSTR
bool ReadPrologixTcp(std::string_view text, Resource& resource);     // PRLGX-TCPIP::host[::port]::pad::INSTR
bool ReadPrologixSerial(std::string_view text, Resource& resource);  // PRLGX-ASRL::device::pad::INSTR
bool ReadSocket(std::string_view text, Resource& resource);          // TCPIP::host::port::SOCKET
bool ReadSimulated(std::string_view text, Resource& resource);       // SIM::INSTR
bool ReadVisa(std::string_view text, Resource& resource);            // any other ...::INSTR or ::SOCKET

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_RESOURCE_H_
