#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drivers/network_address.h"
#include "drivers/prologix_protocol.h"

namespace tarnwick::drivers {
namespace {

// What a host and port may be, for resources and --listen alike; nothing
// here is looked up.
TEST(ReadHostPort, TakesNamesDottedQuadsAndBracketedIPv6Only) {
  struct Case {
    const char* text;
    const char* host;  // nullptr: refused
    int port;
  };
  const Case cases[] = {
      {"127.0.0.1:1234", "127.0.0.1", 1234}, {"[::1]:1234", "::1", 1234},
      {"bench-gpib.lab.:80", "bench-gpib.lab.", 80}, {"localhost:0", "localhost", 0},
      {"1234:80", nullptr, 0},       {"127.1:80", nullptr, 0},      {"0x7f.1:80", nullptr, 0},
      {"2130706433:80", nullptr, 0}, {"010.0.0.1:80", nullptr, 0},  {"1.2.3.256:80", nullptr, 0},
      {"::1:80", nullptr, 0},        {"[::1:80", nullptr, 0},       {"under_score:80", nullptr, 0},
      {"-lead:80", nullptr, 0},      {"127.0.0.1:0x", nullptr, 0},  {"127.0.0.1:+80", nullptr, 0},
      {"127.0.0.1:65536", nullptr, 0}, {"127.0.0.1", nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.host == nullptr) {
      EXPECT_THROW(ReadHostPort(c.text, 0), AddressError);
      continue;
    }
    const HostPort at = ReadHostPort(c.text, 0);
    EXPECT_EQ(at.host, c.host);
    EXPECT_EQ(at.port, c.port);
  }
  EXPECT_THROW(ReadPort("0"), AddressError);  // a resource's port is never "any"
}

TEST(PrologixProtocol, DataLinesEscapeWhatTheAdaptorWouldTakeForItsOwn) {
  EXPECT_EQ(prologix::DataLine("FA 30000000HZ"), "FA 30000000HZ\n");
  EXPECT_EQ(prologix::DataLine("++ver\r\n\x1B"), "\x1B+\x1B+ver\x1B\r\x1B\n\x1B\x1B\n");
  EXPECT_EQ(prologix::CommandLine(prologix::kAddress, "8"), "++addr 8\n");
}

}  // namespace
}  // namespace tarnwick::drivers
