#include "sim/simulated_driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analyser/builtin_commands.h"
#include "tests/support/fake_platform.h"

namespace tarnwick::sim {
namespace {

// What whole runs cannot reach: partial reads, and every way a call fails.
struct Sim {
  explicit Sim(int address = 8) {
    Scene scene;
    scene.tones = {{1927514500, -45.3}};
    scene.address = address;
    driver.emplace(std::move(scene), platform);
    driver->RegisterGpibGlobalsForThread(words, words + 1, words + 2, words + 3);
  }
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

  testing::FakePlatform platform;
  std::optional<SimulatedDriver> driver;
  int32_t words[4] = {-1, -1, -1, -1};  // status, error, count, 32-bit count
  int status = 0;
};

// The conformance table covers reads, END and timeouts; this is the
// simulator's own: a new message drops what was left of the last reply.
TEST(SimulatedDriver, ANewWriteDropsTheUnreadReply) {
  Sim s;
  const int ud = s.Open();
  s.Write(ud, cmd::kMarkerLevel);
  EXPECT_EQ(s.Read(ud, 3), "-90");
  s.Write(ud, cmd::kPeakSearch);
  EXPECT_EQ(s.Read(ud, 6), "~~~~~~");
  EXPECT_EQ(s.status, kStatusErr | kStatusTimo);
  EXPECT_EQ(s.words[1], EABO);
}

TEST(SimulatedDriver, EachFailureReportsItsError) {
  // Silence after some answers is a whole run's matter (sim_run_test.cpp).
  Sim s(9);
  // Nobody listens at 8, and the analyser at 9 has no secondary addresses.
  for (const int ud : {s.Open(8), s.Open(9, 96)}) {
    EXPECT_EQ(s.Write(ud, cmd::kDisplayLine), kStatusErr) << ud;
    EXPECT_EQ(s.words[1], ENOL) << ud;
  }
  EXPECT_EQ(s.Open(8, 0, 1), -1);
  EXPECT_EQ(s.words[1], ENEB);
  EXPECT_EQ(s.Open(31), -1);
  EXPECT_EQ(s.words[1], EARG);
  EXPECT_GT(s.driver->ibdev(0, 0, 0, 0, 1, 0), 0);  // address 0, no timeout: fine
}

}  // namespace
}  // namespace tarnwick::sim
