#include "session/resources.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using ::testing::HasSubstr;
using drivers::Backend;

TEST(ParseResource, EachFormGoesToItsRowWithItsFields) {
  struct Case {
    const char* text;
    Backend backend;
    std::size_t row;
    int board, pad, sad;
    const char* host;
    int port;
    const char* device;
  };
  const Case cases[] = {
      {"GPIB0::8::INSTR", Backend::kAuto, 0, 0, 8, 0, "", 1234, ""},
      {"gpib::12::instr", Backend::kAuto, 0, 0, 12, 0, "", 1234, ""},
      {"GPIB2::30::5::INSTR", Backend::kAuto, 0, 2, 30, 101, "", 1234, ""},
      {"PRLGX-TCPIP::192.168.1.20::8::INSTR", Backend::kAuto, 1, 0, 8, 0, "192.168.1.20", 1234, ""},
      {"PRLGX-TCPIP::bench-gpib::5000::0::INSTR", Backend::kAuto, 1, 0, 0, 0, "bench-gpib", 5000, ""},
      {"PRLGX-TCPIP::[::1]::1234::8::INSTR", Backend::kAuto, 1, 0, 8, 0, "::1", 1234, ""},
      {"PRLGX-ASRL::/dev/ttyUSB0::8::INSTR", Backend::kAuto, 2, 0, 8, 0, "", 1234, "/dev/ttyUSB0"},
      {"PRLGX-ASRL::COM3::22::INSTR", Backend::kAuto, 2, 0, 22, 0, "", 1234, "COM3"},
      {"TCPIP0::sa.lab::5025::SOCKET", Backend::kAuto, 3, 0, 0, 0, "sa.lab", 5025, ""},
      {"tcpip::10.0.0.7::5555::socket", Backend::kAuto, 3, 0, 0, 0, "10.0.0.7", 5555, ""},
      {"SIM::INSTR", Backend::kAuto, 4, 0, 8, 0, "", 1234, ""},
      {"TCPIP::10.0.0.5::inst0::INSTR", Backend::kAuto, 5, 0, 0, 0, "", 1234, ""},
      {"USB0::0x2A8D::0x1301::MY123::INSTR", Backend::kAuto, 5, 0, 0, 0, "", 1234, ""},
      // With VISA as the backend the GPIB form keeps its address, a raw
      // socket is VISA's; the simulator stays the simulator.
      {"GPIB1::9::INSTR", Backend::kVisa, 5, 1, 9, 0, "", 1234, ""},
      {"TCPIP::sa.lab::5025::SOCKET", Backend::kVisa, 5, 0, 0, 0, "", 1234, ""},
      {"sim::instr", Backend::kVisa, 4, 0, 8, 0, "", 1234, ""},
  };
  const auto forms = ResourceForms();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const ParsedResource parsed = ParseResource(c.text, c.backend);
    const drivers::Resource& r = parsed.fields;
    EXPECT_EQ(parsed.form, &forms[c.row]);
    EXPECT_EQ(r.text, c.text);
    EXPECT_EQ(r.address.board, c.board);
    EXPECT_EQ(r.address.pad, c.pad);
    EXPECT_EQ(r.address.sad, c.sad);
    EXPECT_EQ(r.host, c.host);
    EXPECT_EQ(r.port, c.port);
    EXPECT_EQ(r.device, c.device);
    // Messages name the analyser by its resource, but for the default and the
    // simulated bus, which they call GPIB0::8.
    const bool named = c.text != drivers::kDefaultResource && !forms[c.row].simulated;
    EXPECT_EQ(r.address.resource, named ? c.text : "");
  }
}

TEST(ParseResource, RefusalSaysWhyAndListsEveryForm) {
  struct Case {
    const char* text;
    const char* why;
  };
  const Case cases[] = {
      {"GPIB0::31::INSTR", "primary address \"31\" is not a number from 0 to 30"},
      {"GPIB0::8::31::INSTR", "secondary address"},
      {"PRLGX-TCPIP::host::70000::8::INSTR", "port \"70000\""},
      {"PRLGX-TCPIP::host::INSTR", "PRLGX-TCPIP::host[::port]::pad::INSTR"},
      // A forgotten host must not make the port one: 1234 is 0.0.4.210 to some.
      {"PRLGX-TCPIP::1234::8::INSTR", "the host \"1234\" is not a DNS name, a dotted quad"},
      {"PRLGX-ASRL::/dev/ttyUSB0::x::INSTR", "primary address \"x\""},
      {"8", "cannot use the resource \"8\""},
      {"TCPIP::host::5025", "cannot use the resource"},
      {"TCPIP::host::inst0::SOCKET", "port \"inst0\""},
      {"TCPIP::5025::SOCKET", "TCPIP::host::port::SOCKET"},
      {"", "cannot use the resource \"\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      ParseResource(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const drivers::ResourceError& e) {
      EXPECT_THAT(e.what(), HasSubstr(c.why));
      for (const ResourceForm& form : ResourceForms()) EXPECT_THAT(e.what(), HasSubstr(form.pattern));
    }
  }
}

}  // namespace
}  // namespace tarnwick
