#include "sim/prologix_adaptor.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "drivers/prologix_protocol.h"
#include "sim/scene.h"
#include "tests/support/fake_platform.h"

namespace tarnwick::sim {
namespace {

// What the adaptor sends back for the bytes a host sends, in the pieces given,
// by the time given.
TEST(PrologixAdaptor, AnswersWhatAHostSends) {
  struct Case {
    const char* what;
    std::vector<std::string> pieces;
    std::string reply;
    std::string_view personality = "prologix";
    double seconds = 0;
  };
  const std::string query = "++addr 8\n" + prologix::DataLine("FA 900000000HZ") +
                            prologix::DataLine("FB 1000000000HZ") + "PS\nMF?\n++read eoi\n";
  const Case cases[] = {
      {"address asked", {"++addr 12\n++addr\n"}, "12\r\n"},
      {"marker read", {query}, "970000000\r\n"},
      {"bytes in pieces, CR LF line ends", {"++ad", "dr 8\r", "\nML", "?\r\n++read", " eoi\r\n"},
       "-90\r\n"},
      {"nothing to read until asked", {"++addr 8\nMF?\n"}, ""},
      {"escaped '+' is data for the analyser, not a command", {"\x1B+\x1B+ver\n"}, ""},
      {"auto read after every message", {"++addr 8\n++auto 1\n*STB?\n"}, "0\r\n"},
      {"nobody at the address: no reply", {"++addr 9\nMF?\n++read eoi\n"}, ""},
      {"a read timeout past its range is not taken", {"++read_tmo_ms 3001\n++read_tmo_ms\n"},
       "500\r\n"},
      {"no \"++savecfg\"", {"++savecfg 0\n"}, "Unrecognized command\r\n", "no-savecfg"},
      {"EOT stored", {"++addr 8\n*STB?\n++read eoi\n"}, "0\r\n\n", "eot-stored"},
      {"a slow version holds what follows", {"++ver\n++addr\n"}, "", "slow-ver", 0.29},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::FakePlatform platform;
    PrologixAdaptor adaptor(DefaultScene(), platform, *FindAdaptorPersonality(c.personality));
    std::string reply;
    for (const std::string& piece : c.pieces) reply += adaptor.Receive(piece);
    platform.Advance(c.seconds);
    reply += adaptor.Due();
    EXPECT_EQ(reply, c.reply);
  }
}

}  // namespace
}  // namespace tarnwick::sim
