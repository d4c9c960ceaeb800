#include "session/resources.h"

#include <array>

#include <fmt/format.h>

#include "drivers/asio_link.h"
#include "drivers/driver_library.h"
#include "drivers/prologix_driver.h"
#include "drivers/socket_driver.h"
#include "drivers/visa_driver.h"
#include "sim/scene.h"
#include "text/quote.h"

namespace tarnwick {
namespace {

using drivers::Resource;

std::unique_ptr<GpibDriver> MakeGpibLibrary(const Resource&, const DriverSettings& s) {
  return std::make_unique<DriverLibrary>(GpibLibraryCandidates(s.gpibLibrary));
}

std::unique_ptr<GpibDriver> MakePrologixTcp(const Resource& r, const DriverSettings& s) {
  return std::make_unique<drivers::PrologixDriver>(drivers::MakeTcpLink(r.host, r.port), r.text,
                                                   "TCP", s.platform);
}

std::unique_ptr<GpibDriver> MakePrologixSerial(const Resource& r, const DriverSettings& s) {
  return std::make_unique<drivers::PrologixDriver>(drivers::MakeSerialLink(r.device), r.text,
                                                   "a serial port", s.platform);
}

std::unique_ptr<GpibDriver> MakeSocket(const Resource& r, const DriverSettings& s) {
  return std::make_unique<drivers::SocketDriver>(drivers::MakeTcpLink(r.host, r.port), r.text,
                                                 s.platform);
}

std::unique_ptr<GpibDriver> MakeVisa(const Resource& r, const DriverSettings& s) {
  return std::make_unique<drivers::VisaDriver>(drivers::VisaLibraryCandidates(s.visaLibrary),
                                               r.text);
}

std::unique_ptr<GpibDriver> MakeSimulated(const Resource&, const DriverSettings& s) {
  sim::Scene scene = s.simScene.empty() ? sim::DefaultScene() : sim::LoadSceneFile(s.simScene);
  return std::make_unique<sim::SimulatedDriver>(std::move(scene), s.platform);
}

// Only the simulated row's own make gives it drivers.
void SpeakSimulated(GpibDriver& made, sim::Language language) {
  static_cast<sim::SimulatedDriver&>(made).SetLanguage(language);
}

constexpr std::array<ResourceForm, 6> kForms = {{
    {"GPIB[board]::pad[::sad]::INSTR", "the NI-488.2 driver library (default GPIB0::8::INSTR)",
     drivers::ReadGpib, MakeGpibLibrary},
    {"PRLGX-TCPIP::host[::port]::pad::INSTR", "a Prologix-style adaptor on the network (port 1234; an IPv6 host in brackets)",
     drivers::ReadPrologixTcp, MakePrologixTcp},
    {"PRLGX-ASRL::device::pad::INSTR", "a Prologix-style adaptor on a serial port (/dev/ttyUSB0, COM3)",
     drivers::ReadPrologixSerial, MakePrologixSerial},
    {"TCPIP::host::port::SOCKET", "an instrument on a raw socket, such as port 5025 (no VISA)",
     drivers::ReadSocket, MakeSocket},
    {"SIM::INSTR", "the built-in simulated analyser (--simulate; its scene with --sim-scene)",
     drivers::ReadSimulated, MakeSimulated, true, SpeakSimulated},
    {"any other VISA resource", "the VISA library (TCPIP::host::inst0::INSTR, "
     "TCPIP::host::hislip0::INSTR, USB0::...::INSTR; GPIB and SOCKET forms with --backend visa)",
     drivers::ReadVisa, MakeVisa},
}};
// What --backend visa leaves to choose from: the simulator stays one.
constexpr std::span<const ResourceForm> kVisaForms(kForms.end() - 2, 2);

std::string FormList() {
  std::string list = "Accepted forms:";
  for (const ResourceForm& form : kForms) {
    list += fmt::format("\n  {:<40} {}", form.pattern, form.serves);
  }
  return list;
}

}  // namespace

std::span<const ResourceForm> ResourceForms() { return kForms; }

ParsedResource ParseResource(std::string_view text, drivers::Backend backend) {
  ParsedResource r;
  r.fields.text = text;
  try {
    const auto forms = backend == drivers::Backend::kVisa ? kVisaForms : ResourceForms();
    for (const ResourceForm& form : forms) {
      if (form.read(text, r.fields)) {
        r.form = &form;
        if (!form.simulated && text != drivers::kDefaultResource) r.fields.address.resource = text;
        return r;
      }
    }
  } catch (const std::invalid_argument& e) {  // a ResourceError, or a host's AddressError
    throw drivers::ResourceError(fmt::format("cannot use the resource {}: {}.\n{}",
                                             QuotedForMessage(text, kQuotedPathLength), e.what(),
                                             FormList()));
  }
  throw drivers::ResourceError(fmt::format("cannot use the resource {}.\n{}",
                                           QuotedForMessage(text, kQuotedPathLength), FormList()));
}

std::unique_ptr<GpibDriver> MakeDriver(const ParsedResource& resource,
                                       const DriverSettings& settings) {
  return resource.form->make(resource.fields, settings);
}

}  // namespace tarnwick
