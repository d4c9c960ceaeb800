// One table run over every GpibDriver: each must answer the same calls the
// same way, with the status words written after every call. The library
// binding loads the stand-in libraries, the Prologix driver talks to the
// simulated adaptor, the raw socket to the simulated SCPI instrument, the
// VISA binding loads the simulated VISA library, and the simulator serves
// itself.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drivers/driver_library.h"
#include "drivers/prologix_driver.h"
#include "drivers/socket_driver.h"
#include "drivers/visa_driver.h"
#include "sim/scene.h"
#include "sim/simulated_driver.h"
#include "tests/support/adaptor_link.h"
#include "tests/support/fake_platform.h"
#include "text/leading_number.h"

namespace tarnwick {
namespace {

struct Subject {
  const char* name;
  std::function<std::unique_ptr<GpibDriver>(Platform&)> make;
};

void PrintTo(const Subject& s, std::ostream* os) { *os << s.name; }

class EveryDriver : public ::testing::TestWithParam<Subject> {
 protected:
  void SetUp() override {
    driver = GetParam().make(platform);
    ASSERT_EQ(driver->Load(), std::nullopt);
    ASSERT_EQ(driver->RegisterGpibGlobalsForThread(&sta, &err, &cnt, &cntl), 0);
  }
  // The status word after the last call, without the bits drivers differ in.
  int32_t Status() const { return sta & (kStatusErr | kStatusEnd); }
  std::string Read(int ud, long count) {
    std::string buffer(static_cast<std::size_t>(count), '\0');
    driver->ibrd(ud, buffer.data(), count);
    return buffer.substr(0, static_cast<std::size_t>(std::max(cntl, 0)));
  }

  testing::FakePlatform platform;
  std::unique_ptr<GpibDriver> driver;
  int32_t sta = -1, err = -1, cnt = -1, cntl = -1;
};

TEST_P(EveryDriver, AnswersTheCallsOfARunAlike) {
  // Open: a descriptor, no error, nothing counted.
  const int ud = driver->ibdev(0, 8, 0, kTimeout10s, 1, 0);
  ASSERT_GE(ud, 0);
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(cntl, 0);

  // A query: the write counts every byte, the read ends with END.
  EXPECT_EQ(driver->ibwrt(ud, "*STB?", 5) & kStatusErr, 0);
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(cntl, 5);
  EXPECT_EQ(cnt, 5);
  const std::string reply = Read(ud, 64);
  EXPECT_EQ(Status(), kStatusEnd);
  EXPECT_TRUE(LeadingNumber(reply).hasDigits) << reply;
  EXPECT_THAT(reply, ::testing::EndsWith("\n"));
  EXPECT_EQ(cntl, static_cast<int32_t>(reply.size()));

  // A short count: no END until the last byte has been read.
  driver->ibwrt(ud, "*STB?", 5);
  EXPECT_EQ(Read(ud, 1), reply.substr(0, 1));
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Read(ud, 64), reply.substr(1));
  EXPECT_EQ(Status(), kStatusEnd);

  // Nothing asked: the read fails with a timeout.
  Read(ud, 64);
  EXPECT_EQ(Status(), kStatusErr);
  EXPECT_EQ(err, EABO);
  EXPECT_EQ(cntl, 0);

  // Offline: the device and its board, then the device is gone.
  EXPECT_EQ(driver->ibonl(ud, 0) & kStatusErr, 0);
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(driver->ibonl(0, 0) & kStatusErr, 0);
  driver->ibwrt(ud, "*STB?", 5);
  EXPECT_EQ(Status(), kStatusErr);

  // Counts no driver can use fail as bad arguments; a descriptor never given
  // out fails too.
  const int again = driver->ibdev(0, 8, 0, kTimeout10s, 1, 0);
  ASSERT_GE(again, 0);
  char byte = 0;
  for (const bool write : {true, false}) {
    if (write) driver->ibwrt(again, "*STB?", -1);
    else driver->ibrd(again, &byte, -1);
    EXPECT_EQ(Status(), kStatusErr) << write;
    EXPECT_EQ(err, EARG) << write;
  }
  driver->ibwrt(again + 100, "*STB?", 5);
  EXPECT_EQ(Status(), kStatusErr);

  // Once unregistered, a call leaves the words alone.
  EXPECT_EQ(driver->UnregisterGpibGlobalsForThread(), 0);
  sta = err = cnt = cntl = -7;
  driver->ibwrt(again, "*STB?", 5);
  EXPECT_EQ(std::vector<int32_t>({sta, err, cnt, cntl}), std::vector<int32_t>(4, -7));
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, EveryDriver,
    ::testing::Values(
        Subject{"LibraryWithRegistration",
                [](Platform&) { return std::make_unique<DriverLibrary>(
                                    std::vector<std::string>{TEST_LIB_REGISTERING}); }},
        Subject{"LibraryShapedLikeLinuxGpib",
                [](Platform&) { return std::make_unique<DriverLibrary>(
                                    std::vector<std::string>{TEST_LIB_LINUX}); }},
        Subject{"LibraryShapedLikeNiOnLinux",
                [](Platform&) { return std::make_unique<DriverLibrary>(
                                    std::vector<std::string>{TEST_LIB_NI_LINUX}); }},
        Subject{"PrologixAdaptor",
                [](Platform& p) {
                  return std::make_unique<drivers::PrologixDriver>(
                      std::make_unique<testing::AdaptorLink>(sim::DefaultScene(), p),
                      "PRLGX-TCPIP::sim::8::INSTR", "TCP", p);
                }},
        Subject{"RawSocketInstrument",
                [](Platform& p) {
                  return std::make_unique<drivers::SocketDriver>(
                      std::make_unique<testing::InstrumentLink>(sim::DefaultScene(), p),
                      "TCPIP::sim::5025::SOCKET", p);
                }},
        Subject{"VisaLibrary",
                [](Platform&) { return std::make_unique<drivers::VisaDriver>(
                                    std::vector<std::string>{TEST_LIB_SIM_VISA}, "GPIB0::8::INSTR"); }},
        Subject{"Simulator",
                [](Platform& p) {
                  return std::make_unique<sim::SimulatedDriver>(sim::DefaultScene(), p);
                }}),
    [](const ::testing::TestParamInfo<Subject>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwick
