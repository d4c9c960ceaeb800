#include "drivers/driver_library.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "bus/analyzer_bus.h"
#include "bus/driver_trace.h"
#include "drivers/visa_driver.h"
#include "tests/support/fake_platform.h"
#include "tests/support/process.h"

namespace tarnwick {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::FakePlatform;

struct Shape {
  const char* path;
  const char* traceHeader;  // how the trace's first line describes it
};

// Every shape of library says in the trace's first line what it is and how
// its status words arrive; the calls themselves are the conformance table's.
class EveryShape : public ::testing::TestWithParam<Shape> {};

TEST_P(EveryShape, TheTraceNamesTheLibraryAndHowItsWordsArrive) {
  FakePlatform platform;
  DriverLibrary library({GetParam().path});
  std::FILE* traceOut = std::tmpfile();
  ASSERT_NE(traceOut, nullptr);
  DriverTrace trace(library, platform, traceOut);
  AnalyzerBus bus(trace);
  ASSERT_TRUE(bus.OpenDevice(0, 8, 0, 13, 1, 0).ok());
  EXPECT_EQ(bus.GlobalsRegistered(), 1);
  EXPECT_EQ(library.loaded_path(), GetParam().path);
  const std::vector<std::string> lines = testing::ReadLines(traceOut);
  std::fclose(traceOut);
  ASSERT_EQ(lines.size(), 3u);  // the library named once, then Register and ibdev
  EXPECT_EQ(lines[0], fmt::format("# GPIB driver library {}{}", GetParam().path,
                                  GetParam().traceHeader));
  EXPECT_THAT(lines[1], HasSubstr("RegisterGpibGlobalsForThread() -> 0"));
}

INSTANTIATE_TEST_SUITE_P(
    DriverLibrary, EveryShape,
    ::testing::Values(
        Shape{TEST_LIB_REGISTERING, ""},
        Shape{TEST_LIB_LINUX,
              ", registration emulated (no RegisterGpibGlobalsForThread; status read from "
              "ThreadIbsta, ThreadIberr, ThreadIbcntl after every call)"},
        Shape{TEST_LIB_NI_LINUX,
              ", registration emulated (no RegisterGpibGlobalsForThread; status read from "
              "ThreadIbsta, ThreadIberr, ThreadIbcnt after every call)"}));

TEST(DriverLibrary, FallsThroughTheCandidatesAndNamesEachWithItsReasonWhenAllFail) {
  DriverLibrary library({"/nonexistent/a.so", TEST_LIB_INCOMPLETE, TEST_LIB_LINUX});
  EXPECT_GE(library.ibdev(0, 8, 0, 13, 1, 0), 0);
  EXPECT_EQ(library.loaded_path(), TEST_LIB_LINUX);

  DriverLibrary none({"/nonexistent/a.so", TEST_LIB_INCOMPLETE});
  const std::optional<std::string> reason = none.Load();
  ASSERT_TRUE(reason.has_value());
  const std::string& message = *reason;
  // A call after the failed load fails with the same words.
  EXPECT_EQ(none.ibonl(0, 0) & kStatusErr, kStatusErr);
  EXPECT_EQ(none.LastErrorText(), message);
#ifdef _WIN32
  // The system's words before the error number, not the number alone.
  EXPECT_THAT(message, HasSubstr(" (Windows error 126)\n"));
  EXPECT_THAT(message, Not(HasSubstr("a.so: Windows error")));
#else
  EXPECT_THAT(message, HasSubstr("\n  /nonexistent/a.so: cannot open shared object file"));
#endif
  EXPECT_THAT(message,
              HasSubstr(fmt::format("\n  {}: it has no function ibrd\n", TEST_LIB_INCOMPLETE)));
  // The ways out, for the VISA library as for the GPIB one.
  for (const char* way : {"--gpib-library", kGpibLibraryEnv, "--simulate"}) {
    EXPECT_THAT(message, HasSubstr(way));
  }
  const std::optional<std::string> visa =
      drivers::VisaDriver({"/nonexistent/libvisa.so"}, "GPIB0::8::INSTR").Load();
  ASSERT_TRUE(visa.has_value());
  for (const char* way : {"--visa-library", drivers::kVisaLibraryEnv, "--simulate"}) {
    EXPECT_THAT(*visa, HasSubstr(way));
  }
}

// linux-gpib leaves errno in the count of a failed set-up; say what is missing.
TEST(DriverLibrary, LinuxGpibSetUpErrorsSayWhatIsMissing) {
#ifndef _WIN32
  // The library under linux-gpib's name, with the file IB_CONFIG names missing.
  const std::string config = (testing::TestDir() / "gpib.conf").string();
  setenv("IB_CONFIG", config.c_str(), 1);
  DriverLibrary library({TEST_LIB_LINUX_GPIB});
  int32_t sta = 0, err = 0, cnt = 0, cntl = 0;
  ASSERT_EQ(library.RegisterGpibGlobalsForThread(&sta, &err, &cnt, &cntl), 0);
  EXPECT_LT(library.ibdev(3, 8, 0, kTimeout10s, 1, 0), 0);
  EXPECT_EQ(library.LastErrorText(), "linux-gpib has no configuration file " + config +
                                         ": write it for the board, or name another with IB_CONFIG");
#endif
  // With the file there, or without a driver: the board's device file.
  for (const int32_t errnoValue : {ENOENT, EBADF}) {
    EXPECT_EQ(LinuxGpibAdvice(errnoValue, 2, "/etc/gpib.conf", true),
              "linux-gpib cannot use the board's device file /dev/gpib2: load the board's kernel "
              "driver and run gpib_config");
  }
  EXPECT_EQ(LinuxGpibAdvice(EIO, 2, "/etc/gpib.conf", true), "");
}

}  // namespace
}  // namespace tarnwick
