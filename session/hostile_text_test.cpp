// Text from outside reaches messages in many ways; whichever it takes, no
// raw control character (C1 included) or byte that is not UTF-8 may reach
// the operator's terminal, and a huge text stays short. The adaptor's
// answers and the analyser's replies have their own rows where they are read.
#include <functional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "analyser/builtin_dialogue.h"
#include "bus/analyzer_bus.h"
#include "drivers/driver_library.h"
#include "drivers/visa_driver.h"
#include "session/resources.h"
#include "sim/scene.h"
#include "tests/support/fake_platform.h"

namespace tarnwick {
namespace {

// OSC that retitles the terminal, a clear screen in 7-bit and in 8-bit (raw
// and encoded) CSI, a byte that is never UTF-8, a line break that would
// forge a message line, and bulk.
const std::string kHostile = "\x1B]0;owned\x07\x1B[2J\x9B" "31m\xC2\x9B" "2J\xFF\r\nFORGED " +
                             std::string(100000, 'x');

template <typename E>
std::string Refusal(const std::function<void()>& act) {
  try {
    act();
  } catch (const E& e) {
    return e.what();
  }
  return "nothing was refused";
}

TEST(HostileText, NoMessageShowsARawControlByteOrGrowsWithTheText) {
  testing::FakePlatform platform;
  const std::function<std::string()> messages[] = {
      [] {
        return Refusal<drivers::ResourceError>(
            [] { ParseResource("PRLGX-TCPIP::" + kHostile + "::8::INSTR"); });
      },
      [&] {  // a serial device that cannot be opened, named by the run
        const auto resource = ParseResource("PRLGX-ASRL::/no/" + kHostile + "::8::INSTR");
        auto driver = MakeDriver(resource, {platform, {}, {}, {}});
        AnalyzerBus bus(*driver);
        bus.SetAddress(resource.fields.address);
        const Status opened = BuiltinDialogue(bus, platform).Open();
        return opened.ok() ? std::string("opened") : opened.error().message;
      },
      [] { return Refusal<sim::SceneError>([] { sim::ParseScene(kHostile, "x.scene"); }); },
      [] { return Refusal<sim::SceneError>([] { sim::ParseScene("bogus\n", kHostile); }); },
      [] { return DriverLibrary({"/no/" + kHostile}).Load().value_or("loaded"); },
      [] { return drivers::VisaDriver({"/no/" + kHostile}, "GPIB0::8").Load().value_or("loaded"); },
  };
  for (const auto& message : messages) {
    const std::string m = message();
    EXPECT_EQ(m.find_first_of("\x07\r\x1B\x9B\xFF"), std::string::npos) << m;
    EXPECT_THAT(m, ::testing::Not(::testing::HasSubstr("\nFORGED")));
    EXPECT_THAT(m, ::testing::HasSubstr("\\x1B]0;owned\\x07\\x1B[2J\\x9B31m\\u009B2J\\xFF")) << m;
    EXPECT_LT(m.size(), 2000u);
  }
}

}  // namespace
}  // namespace tarnwick
