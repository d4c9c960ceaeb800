// Resource strings to drivers. Every way of reaching an analyser is one row
// of one table: the form of its resource string, how to read it, and the
// driver that serves it. Adding a transport adds a row.
#ifndef TARNWICK_DRIVERS_RESOURCE_H_
#define TARNWICK_DRIVERS_RESOURCE_H_

#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "bus/analyzer_address.h"
#include "bus/gpib_driver.h"
#include "bus/platform.h"

namespace tarnwick::drivers {

// What the programs use when no resource is given: today's board 0, address 8.
inline constexpr std::string_view kDefaultResource = "GPIB0::8::INSTR";
// The built-in simulated analyser; --simulate stands for it.
inline constexpr std::string_view kSimulatedResource = "SIM::INSTR";
// The port of a Prologix-style GPIB-ETHERNET adaptor.
inline constexpr int kPrologixDefaultPort = 1234;

// Which library serves the GPIB form: the NI-488.2 one, or VISA.
enum class Backend { kAuto, kVisa };

struct ResourceForm;

struct Resource {
  std::string text;                    // as given
  const ResourceForm* form = nullptr;  // the row that reads it
  // What the run opens, and the name messages give the analyser: the
  // resource as given, or none for the default and the simulator, which
  // messages call GPIB<board>::<pad>.
  AnalyzerAddress address;
  std::string host;                    // PRLGX-TCPIP, SOCKET
  int port = kPrologixDefaultPort;     // PRLGX-TCPIP, SOCKET
  std::string device;                  // PRLGX-ASRL
};

// What the factories need beyond the resource.
struct DriverSettings {
  Platform& platform;       // clocks and the stop check of every wait
  std::string gpibLibrary;  // empty: environment, then the usual names
  std::string visaLibrary;  // empty: environment, then the usual names
  std::string simScene;     // empty: the simulator's built-in scene
};

struct ResourceForm {
  std::string_view pattern;  // "PRLGX-TCPIP::host[::port]::pad::INSTR"
  std::string_view serves;   // what it reaches, for the list of forms
  // Fills resource when text has this form. Returns false when it is not this
  // form at all; throws ResourceError when it is, but a field is wrong.
  bool (*read)(std::string_view text, Resource& resource);
  // Throws sim::SceneError for a scene file the simulator cannot use.
  std::unique_ptr<GpibDriver> (*make)(const Resource& resource, const DriverSettings& settings);
  bool simulated = false;  // a simulated analyser, not a measurement
};

// A resource string no form accepts. what() says why and lists the forms.
class ResourceError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Every form, in the order they are tried.
std::span<const ResourceForm> ResourceForms();

// Reads a resource string. With Backend::kVisa every resource but the
// simulator's, the GPIB form included, goes to the VISA library.
Resource ParseResource(std::string_view text, Backend backend = Backend::kAuto);

// The driver for a parsed resource. Nothing is opened or loaded yet.
std::unique_ptr<GpibDriver> MakeDriver(const Resource& resource, const DriverSettings& settings);

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_RESOURCE_H_
