// Resource strings to drivers. Every way of reaching an analyser is one row
// of one table: the form of its resource string, the reader of its fields,
// and the driver that serves it. Adding a transport adds a row. The table
// lives here, with the programs' wiring, because one of its rows is the
// simulator.
#ifndef TARNWICK_SESSION_RESOURCES_H_
#define TARNWICK_SESSION_RESOURCES_H_

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "bus/gpib_driver.h"
#include "bus/platform.h"
#include "drivers/resource.h"
#include "sim/simulated_driver.h"

namespace tarnwick {

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
  bool (*read)(std::string_view text, drivers::Resource& resource);
  // Throws sim::SceneError for a scene file the simulator cannot use.
  std::unique_ptr<GpibDriver> (*make)(const drivers::Resource& resource,
                                      const DriverSettings& settings);
  bool simulated = false;  // a simulated analyser, not a measurement
  // Has the driver this row made speak language from now on; null where a
  // real analyser answers, which speaks what it speaks.
  void (*speak)(GpibDriver& made, sim::Language language) = nullptr;
};

// A resource as the table read it: its fields and the row that reads it.
struct ParsedResource {
  drivers::Resource fields;
  const ResourceForm* form = nullptr;
};

// Every form, in the order they are tried.
std::span<const ResourceForm> ResourceForms();

// Reads a resource string; throws drivers::ResourceError, which says why and
// lists the forms. With Backend::kVisa every resource but the simulator's,
// the GPIB form included, goes to the VISA library.
ParsedResource ParseResource(std::string_view text,
                             drivers::Backend backend = drivers::Backend::kAuto);

// The driver for a parsed resource. Nothing is opened or loaded yet.
std::unique_ptr<GpibDriver> MakeDriver(const ParsedResource& resource,
                                       const DriverSettings& settings);

}  // namespace tarnwick

#endif  // TARNWICK_SESSION_RESOURCES_H_
