#include "sim/simulated_driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bus/analyzer_commands.h"
#include "tests/support/fake_platform.h"

namespace tarnwick::sim {
namespace {

// A registered driver on one scene, and helpers that speak to it.
struct Sim {
  explicit Sim(int address = 8, std::optional<long> silentAfter = {}, int registration = 0) {
    Scene scene;
    scene.tones = {{1927514500, -45.3}};
    scene.address = address;
    scene.silentAfter = silentAfter;
    scene.registration = registration;
    driver.emplace(std::move(scene), platform);
  }
  int Register(int32_t* w) { return driver->RegisterGpibGlobalsForThread(w, w + 1, w + 2, w + 3); }
  int Open(int pad = 8, int sad = 0, int board = 0) {
    return driver->ibdev(board, pad, sad, kTimeout10s, 1, 0);
  }
  int Write(int ud, std::string_view text) {
    return driver->ibwrt(ud, text.data(), static_cast<long>(text.size()));
  }
  // Reads into a buffer of width bytes that starts as all '~'.
  std::string Read(int ud, std::size_t width) {
    std::string buffer(width, '~');
    status = driver->ibrd(ud, buffer.data(), static_cast<long>(width));
    return buffer;
  }
  std::vector<int32_t> Words() const { return {words, words + 4}; }

  testing::FakePlatform platform;
  std::optional<SimulatedDriver> driver;
  int32_t words[4] = {-1, -1, -1, -1};  // status, error, count, 32-bit count
  int status = 0;
};

TEST(SimulatedDriver, ReadsFillTheFrontOfTheBufferAndSetEndWithTheLastByte) {
  Sim s;
  ASSERT_EQ(s.Register(s.words), 0);
  const int ud = s.Open();
  for (const char* command : {"FB 2000000000HZ", "FA 1000000000HZ", "PS", "MF?"}) {
    EXPECT_EQ(s.Write(ud, command), kStatusCmpl);
  }
  EXPECT_EQ(s.Read(ud, 16), "1927514500\r\n~~~~");
  EXPECT_EQ(s.Words(), (std::vector<int32_t>{kStatusCmpl | kStatusEnd, 0, 12, 12}));
  // A short buffer takes what fits, without END; the next read the rest.
  s.Write(ud, cmd::kMarkerLevel);
  EXPECT_EQ(s.Read(ud, 3), "-45");
  EXPECT_EQ(s.status, kStatusCmpl);
  EXPECT_EQ(s.Read(ud, 6), ".3\r\n~~");
  EXPECT_EQ(s.status, kStatusCmpl | kStatusEnd);
  // Nothing left, or dropped by a new write: the read fails at once, untouched.
  const double before = s.platform.NowSeconds();
  EXPECT_EQ(s.Read(ud, 6), "~~~~~~");
  s.Write(ud, cmd::kMarkerLevel);
  s.Write(ud, cmd::kPeakSearch);
  EXPECT_EQ(s.Read(ud, 6), "~~~~~~");
  EXPECT_EQ(s.Words(), (std::vector<int32_t>{kStatusErr | kStatusTimo, EABO, 0, 0}));
  EXPECT_EQ(s.platform.NowSeconds(), before);
}

TEST(SimulatedDriver, DescriptorsAddressesAndBoards) {
  Sim s(9);
  ASSERT_EQ(s.Register(s.words), 0);
  const int at8 = s.Open(8);
  ASSERT_GT(at8, 0);  // opening works; nobody listens there
  EXPECT_EQ(s.Write(at8, cmd::kDisplayLine), kStatusErr);
  EXPECT_EQ(s.words[1], ENOL);
  EXPECT_EQ(s.Write(s.Open(9, 96), cmd::kDisplayLine), kStatusErr);  // no secondary addresses
  const int at9 = s.Open(9);
  EXPECT_EQ(s.Write(at9, cmd::kDisplayLine), kStatusCmpl);
  // Offline frees a descriptor for the next open; board 0 is always there.
  EXPECT_EQ(s.driver->ibonl(at9, 0), kStatusCmpl);
  EXPECT_EQ(s.Write(at9, cmd::kDisplayLine), kStatusErr);
  EXPECT_EQ(s.words[1], EDVR);
  EXPECT_EQ(s.Open(9), at9);
  EXPECT_EQ(s.driver->ibonl(0, 0), kStatusCmpl);
  EXPECT_EQ(s.Open(8, 0, 1), -1);
  EXPECT_EQ(s.words[1], ENEB);
  EXPECT_EQ(s.Open(31), -1);
  EXPECT_EQ(s.words[1], EARG);
}

TEST(SimulatedDriver, RegistrationAnswersAndWhenTheWordsAreWritten) {
  Sim s(8, {}, 1);
  s.Open();
  EXPECT_EQ(s.words[0], -1);  // not registered yet
  EXPECT_EQ(s.Register(s.words), 1);  // the scene's first answer
  s.driver->UnregisterGpibGlobalsForThread();
  EXPECT_EQ(s.Register(s.words), 0);  // then what a driver says
  int32_t other[4] = {-1, -1, -1, -1};
  EXPECT_EQ(s.Register(other), 1);  // already registered: the first words stay
  s.Write(s.Open(), "XYZ");
  EXPECT_EQ(s.words[3], 3);
  EXPECT_EQ(other[3], -1);
  for (const int refusal : {2, 3, 7}) {
    Sim r(8, {}, refusal);
    EXPECT_EQ(r.Register(r.words), refusal);
    r.Open();
    EXPECT_EQ(r.words[0], -1) << refusal;
  }
}

TEST(SimulatedDriver, SilentAfterAnswersTheFirstQueriesOnly) {
  Sim s(8, 2);
  const int ud = s.Open();
  s.Write(ud, cmd::kPeakSearch);  // not a query: does not count
  for (const int expected : {kStatusCmpl | kStatusEnd, kStatusCmpl | kStatusEnd,
                             kStatusErr | kStatusTimo}) {
    s.Write(ud, cmd::kStatusByteQuery);
    s.Read(ud, 8);
    EXPECT_EQ(s.status, expected);
  }
}

}  // namespace
}  // namespace tarnwick::sim
