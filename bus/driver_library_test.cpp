#include "bus/driver_library.h"

#include <cstdlib>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "bus/analyzer_bus.h"
#include "tests/support/fake_platform.h"

namespace tarnwick {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::FakePlatform;
using testing::ProgramEnded;

// The same dialogue through both shapes of library: with registration, and
// with only a per-thread status that the binding copies into the words.
class BothShapes : public ::testing::TestWithParam<const char*> {};

TEST_P(BothShapes, QueryAndStatusWordsGoThroughTheLibrary) {
  FakePlatform platform;
  DriverLibrary library({GetParam()}, platform);
  AnalyzerBus bus(library, platform);
  bus.Analyzer = bus.OpenDevice(0, 8, 0, 13, 1, 0);
  EXPECT_EQ(bus.Analyzer, 24);
  EXPECT_EQ(bus.GlobalsRegistered(), 1);

  std::string buffer(50, '\0');
  EXPECT_EQ(bus.QueryValue("MF?", buffer), 1234567890);
  EXPECT_EQ(bus.globals().ibcnt, 12);
  EXPECT_EQ(bus.globals().ibcntl, 12);
  EXPECT_EQ(bus.globals().LongStatus & kStatusEnd, kStatusEnd);
  EXPECT_EQ(bus.QueryValue("ML?", buffer), -45.3);

  // Nothing listens at 9: the error reaches the status words.
  const int16_t other = bus.OpenDevice(0, 9, 0, 13, 1, 0);
  bus.WriteText(other, "SI");
  EXPECT_EQ(bus.globals().LongStatus & kStatusErr, kStatusErr);
  EXPECT_EQ(bus.globals().iberr, ENOL);
  bus.SetFaultChecks(true);
  EXPECT_THROW(bus.WriteText(other, "SI"), BusFault);
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(library.loaded_path(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(DriverLibrary, BothShapes,
                         ::testing::Values(TEST_LIB_REGISTERING, TEST_LIB_LINUX));

TEST(DriverLibrary, LoadsAtTheFirstCallNotBefore) {
  FakePlatform platform;
  DriverLibrary library({"/nonexistent/libgpib.so.0"}, platform);
  EXPECT_TRUE(platform.messages.empty());
  int32_t w[4] = {};
  EXPECT_THROW(library.RegisterGpibGlobalsForThread(&w[0], &w[1], &w[2], &w[3]), ProgramEnded);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_THAT(platform.messages[0],
              HasSubstr("Cannot load the GPIB driver library /nonexistent/libgpib.so.0: "));
}

TEST(DriverLibrary, FallsThroughTheCandidatesAndNamesThemWhenAllFail) {
  FakePlatform platform;
  DriverLibrary library({"/nonexistent/a.so", TEST_LIB_LINUX}, platform);
  EXPECT_GE(library.ibdev(0, 8, 0, 13, 1, 0), 0);
  EXPECT_EQ(library.loaded_path(), TEST_LIB_LINUX);

  DriverLibrary none({"/nonexistent/a.so", "/nonexistent/b.so"}, platform);
  EXPECT_THROW(none.ibonl(0, 0), ProgramEnded);
  EXPECT_THAT(platform.messages.at(0), HasSubstr("also tried /nonexistent/b.so"));
}

TEST(DriverLibrary, MissingFunctionIsNamed) {
  FakePlatform platform;
  DriverLibrary library({TEST_LIB_INCOMPLETE}, platform);
  EXPECT_THROW(library.ibdev(0, 8, 0, 13, 1, 0), ProgramEnded);
  EXPECT_THAT(platform.messages.at(0), HasSubstr("it has no function ibrd"));
}

TEST(DriverLibrary, CandidatesComeFromOptionThenEnvironmentThenUsualNames) {
  ::setenv(kGpibLibraryEnv, "/opt/env/libgpib.so", 1);
  EXPECT_THAT(GpibLibraryCandidates("/opt/x.so"), ElementsAre("/opt/x.so"));
  EXPECT_THAT(GpibLibraryCandidates(""), ElementsAre("/opt/env/libgpib.so"));
  ::unsetenv(kGpibLibraryEnv);
  EXPECT_THAT(GpibLibraryCandidates(""),
              ElementsAre("libgpib.so.0", "libni4882.so", "libgpibapi.so"));
}

}  // namespace
}  // namespace tarnwick
