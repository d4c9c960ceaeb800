#include "sim/simulated_driver.h"

#include <gtest/gtest.h>

#include <string>

#include "bus/analyzer_commands.h"
#include "tests/support/fake_platform.h"

namespace tarnwick::sim {
namespace {

Scene Bench(int address = 8, std::optional<long> silentAfter = {}, int registration = 0) {
  Scene scene;
  scene.tones = {{1927514500, -45.3}};
  scene.address = address;
  scene.silentAfter = silentAfter;
  scene.registration = registration;
  return scene;
}

class SimulatedDriverTest : public ::testing::Test {
 protected:
  void Use(Scene scene) { driver_.emplace(std::move(scene), platform_); }
  int Register(int32_t* words) {
    return driver_->RegisterGpibGlobalsForThread(words, words + 1, words + 2, words + 3);
  }
  int Open(int pad = 8, int sad = 0) { return driver_->ibdev(0, pad, sad, kTimeout10s, 1, 0); }
  int Write(int ud, std::string_view text) {
    return driver_->ibwrt(ud, text.data(), static_cast<long>(text.size()));
  }
  // Reads into a buffer of width bytes that starts as all '~'.
  std::string Read(int ud, std::size_t width, int& status) {
    std::string buffer(width, '~');
    status = driver_->ibrd(ud, buffer.data(), static_cast<long>(width));
    return buffer;
  }

  testing::FakePlatform platform_;
  std::optional<SimulatedDriver> driver_;
  int32_t words_[4] = {-1, -1, -1, -1};  // status, error, count, 32-bit count
  int status_ = 0;
};

TEST_F(SimulatedDriverTest, ReadsFillTheFrontOfTheBufferAndSetEndWithTheLastByte) {
  Use(Bench());
  ASSERT_EQ(Register(words_), 0);
  const int ud = Open();
  for (const char* command : {"FB 2000000000HZ", "FA 1000000000HZ", "PS", "MF?"}) {
    EXPECT_EQ(Write(ud, command), kStatusCmpl);
  }
  EXPECT_EQ(Read(ud, 16, status_), "1927514500\r\n~~~~");
  EXPECT_EQ(status_, kStatusCmpl | kStatusEnd);
  EXPECT_EQ(std::vector<int32_t>(words_, words_ + 4),
            (std::vector<int32_t>{kStatusCmpl | kStatusEnd, 0, 12, 12}));
  // A short buffer takes what fits, without END; the next read the rest.
  Write(ud, cmd::kMarkerLevel);
  EXPECT_EQ(Read(ud, 3, status_), "-45");
  EXPECT_EQ(status_, kStatusCmpl);
  EXPECT_EQ(Read(ud, 6, status_), ".3\r\n~~");
  EXPECT_EQ(status_, kStatusCmpl | kStatusEnd);
  // Nothing left, or dropped by a new write: the read fails at once, untouched.
  const double before = platform_.NowSeconds();
  EXPECT_EQ(Read(ud, 6, status_), "~~~~~~");
  Write(ud, cmd::kMarkerLevel);
  Write(ud, cmd::kPeakSearch);
  EXPECT_EQ(Read(ud, 6, status_), "~~~~~~");
  EXPECT_EQ(std::vector<int32_t>(words_, words_ + 4),
            (std::vector<int32_t>{kStatusErr | kStatusTimo, EABO, 0, 0}));
  EXPECT_EQ(platform_.NowSeconds(), before);
}

TEST_F(SimulatedDriverTest, NothingListensAtAnotherAddressButOpeningWorks) {
  Use(Bench(9));
  ASSERT_EQ(Register(words_), 0);
  const int ud = Open(8);
  ASSERT_GT(ud, 0);
  EXPECT_EQ(Write(ud, cmd::kDisplayLine), kStatusErr);
  EXPECT_EQ(words_[1], ENOL);
  Read(ud, 4, status_);
  EXPECT_EQ(status_, kStatusErr | kStatusTimo);
  // The analyser has no secondary addresses.
  EXPECT_EQ(Write(Open(9, 96), cmd::kDisplayLine), kStatusErr);
  EXPECT_EQ(Write(Open(9), cmd::kDisplayLine), kStatusCmpl);
}

TEST_F(SimulatedDriverTest, OfflineReturnsDescriptorsAndBoardZeroIsAlwaysThere) {
  Use(Bench());
  ASSERT_EQ(Register(words_), 0);
  const int first = Open();
  const int second = Open();
  EXPECT_NE(first, second);
  EXPECT_EQ(driver_->ibonl(first, 0), kStatusCmpl);
  EXPECT_EQ(Write(first, cmd::kDisplayLine), kStatusErr);
  EXPECT_EQ(words_[1], EDVR);
  EXPECT_EQ(Open(), first);  // reused, so every run gets the same
  EXPECT_EQ(driver_->ibonl(0, 0), kStatusCmpl);
  EXPECT_EQ(driver_->ibdev(1, 8, 0, kTimeout10s, 1, 0), -1);
  EXPECT_EQ(words_[1], ENEB);
  EXPECT_EQ(Open(31), -1);
  EXPECT_EQ(words_[1], EARG);
}

TEST_F(SimulatedDriverTest, RegistrationAnswersAndWhenTheWordsAreWritten) {
  Use(Bench(8, {}, 1));
  Open();
  EXPECT_EQ(words_[0], -1);  // not registered yet
  // The scene's first answer, then what a driver says.
  EXPECT_EQ(Register(words_), 1);
  EXPECT_EQ(driver_->UnregisterGpibGlobalsForThread(), 0);
  Write(Open(), "XYZ");
  EXPECT_EQ(words_[3], -1);
  EXPECT_EQ(Register(words_), 0);
  int32_t other[4] = {-1, -1, -1, -1};
  EXPECT_EQ(Register(other), 1);  // already registered: the first words stay
  Write(Open(), "XYZ");
  EXPECT_EQ(words_[3], 3);
  EXPECT_EQ(other[3], -1);

  for (const int refusal : {2, 3, 7}) {
    Use(Bench(8, {}, refusal));
    int32_t words[4] = {-1, -1, -1, -1};
    EXPECT_EQ(Register(words), refusal);
    Open();
    EXPECT_EQ(words[0], -1) << refusal;
  }
}

TEST_F(SimulatedDriverTest, SilentAfterAnswersTheFirstQueriesOnly) {
  Use(Bench(8, 2));
  const int ud = Open();
  Write(ud, cmd::kPeakSearch);  // not a query: does not count
  for (const int expected : {kStatusCmpl | kStatusEnd, kStatusCmpl | kStatusEnd,
                             kStatusErr | kStatusTimo, kStatusErr | kStatusTimo}) {
    EXPECT_EQ(Write(ud, cmd::kStatusByteQuery), kStatusCmpl);
    Read(ud, 8, status_);
    EXPECT_EQ(status_, expected);
  }
  Use(Bench(8, 0));
  const int silent = Open();
  Write(silent, cmd::kMarkerFrequency);
  Read(silent, 8, status_);
  EXPECT_EQ(status_, kStatusErr | kStatusTimo);
}

}  // namespace
}  // namespace tarnwick::sim
