// Text from outside reaches messages in many ways; whichever it takes, no
// raw control character, C1 included, and no byte that is not UTF-8 may
// reach the operator's terminal, and a huge text stays short.
#include <functional>
#include <memory>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "analyser/builtin_dialogue.h"
#include "analyser/query.h"
#include "bus/analyzer_bus.h"
#include "drivers/driver_library.h"
#include "drivers/prologix_driver.h"
#include "drivers/resource.h"
#include "drivers/visa_driver.h"
#include "sim/scene.h"
#include "tests/support/fake_platform.h"
#include "tests/support/scripted_driver.h"

namespace tarnwick {
namespace {

// OSC that retitles the terminal, a clear screen in 7-bit and in 8-bit (raw
// and encoded) CSI, a byte that is never UTF-8, a line break that would
// forge a message line, and bulk.
const std::string kHostile = "\x1B]0;owned\x07\x1B[2J\x9B" "31m\xC2\x9B" "2J\xFF\r\nFORGED " +
                             std::string(100000, 'x');

// Why text is unfit to show: a control character other than the message's
// own line breaks, a C1 control, or a byte that is not UTF-8.
std::string Unfit(const std::string& text) {
  if (text.find("\nFORGED") != std::string::npos) return "a forged line";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n') || c == 0x7F) return "control byte " + std::to_string(c);
    if (c < 0x80) continue;
    const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (length == 0 || i + length > text.size()) return "not UTF-8 at " + std::to_string(i);
    if (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) return "a C1 control";
    i += length - 1;
  }
  return {};
}

// A link that answers the first question with the hostile text.
struct HostileLink : drivers::ByteLink {
  bool open = false, asked = false, sent = false;
  drivers::LinkResult Open(double) override { return open = true, std::nullopt; }
  drivers::LinkResult Write(std::string_view, double) override { return asked = true, std::nullopt; }
  drivers::LinkResult ReadSome(std::string& out, std::size_t max, double) override {
    if (asked && !sent) out += kHostile.substr(0, max);
    sent = asked;
    return std::nullopt;
  }
  void Close() override { open = false; }
  bool IsOpen() const override { return open; }
};

template <typename E>
std::string WhatOf(const std::function<void()>& act) {
  try {
    act();
  } catch (const E& e) {
    return e.what();
  }
  return "nothing was refused";
}

TEST(HostileText, NoMessageShowsARawControlByteOrGrowsWithTheText) {
  testing::FakePlatform platform;
  struct Case {
    const char* where;
    std::function<std::string()> message;
  };
  const Case cases[] = {
      {"a resource refused", [] {
         return WhatOf<drivers::ResourceError>(
             [] { drivers::ParseResource("PRLGX-TCPIP::" + kHostile + "::8::INSTR"); });
       }},
      {"a serial device that cannot be opened, named by the run", [&] {
         const auto resource = drivers::ParseResource("PRLGX-ASRL::/no/" + kHostile + "::8::INSTR");
         auto driver = drivers::MakeDriver(resource, {platform, {}, {}, {}});
         AnalyzerBus bus(*driver);
         bus.SetAddress(resource.address);
         BuiltinDialogue analyser(bus, platform);
         const Status opened = analyser.Open();
         return opened.ok() ? std::string("opened") : opened.error().message;
       }},
      {"the adaptor's \"++ver\" answer", [&] {
         drivers::PrologixDriver driver(std::make_unique<HostileLink>(), "PRLGX-TCPIP::h::8::INSTR",
                                        "TCP", platform);
         driver.ibdev(0, 8, 0, kTimeout10s, 1, 0);
         return driver.LastErrorText();
       }},
      {"an analyser's reply", [] {
         testing::ScriptedDriver driver;
         driver.responder = [](std::string_view) { return std::optional(kHostile); };
         AnalyzerBus bus(driver);
         bus.Analyzer = bus.OpenDevice(0, 8, 0, kTimeout10s, 1, 0).value();
         std::string buffer(50, '\0');
         const Result<double> value = QueryValue(bus, "MF?", buffer);
         return value.ok() ? std::string("read") : value.error().message;
       }},
      {"a scene line", [] {
         return WhatOf<sim::SceneError>([] { sim::ParseScene(kHostile, "x.scene"); });
       }},
      {"a scene file's name", [] {
         return WhatOf<sim::SceneError>([] { sim::ParseScene("bogus\n", kHostile); });
       }},
      {"a GPIB driver library's path", [] {
         return DriverLibrary({"/no/" + kHostile}).Load().value_or("loaded");
       }},
      {"a VISA library's path", [] {
         return drivers::VisaDriver({"/no/" + kHostile}, "GPIB0::8::INSTR").Load().value_or("loaded");
       }},
  };
  for (const Case& c : cases) {
    const std::string message = c.message();
    EXPECT_EQ(Unfit(message), "") << c.where << ": " << message;
    EXPECT_THAT(message, ::testing::HasSubstr("\\x1B]0;owned")) << c.where;
    EXPECT_LT(message.size(), 2000u) << c.where;
  }
}

}  // namespace
}  // namespace tarnwick
