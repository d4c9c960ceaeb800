#include "sim/scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/process.h"

namespace tarnwick::sim {
namespace {

const std::string kScenesDir = TARNWICK_SCENES_DIR;

template <typename Load>
std::string ErrorOf(Load load) {
  try {
    load();
  } catch (const SceneError& error) {
    return error.what();
  }
  return "(no error)";
}

std::string ParseErrorOf(std::string_view text) {
  return ErrorOf([&] { ParseScene(text, "bad.scene"); });
}

TEST(ParseScene, ReadsEveryDirectiveWithCommentsBlanksTabsAndCrLf) {
  const Scene scene = ParseScene(
      "# a transmitter\r\n\r\n"
      "tone 1940000000 20   # the carrier\r\n"
      "\ttone\t3.88e9\t-38.4\r\n"
      "floor -95.5\r\naddress 12\r\naveraging-ms 50\r\nsweep-ms 40\r\nreply-end lf\r\n"
      "silent-after 0\r\nscpi-error :init -221  Settings conflict\r\n"
      "registration -7",  // no line end on the last line
      "test.scene");
  ASSERT_EQ(scene.tones.size(), 2u);
  EXPECT_EQ(scene.tones[1].frequencyHz, 3880000000);
  EXPECT_EQ(scene.tones[1].levelDbm, -38.4);
  EXPECT_EQ(scene.floorDbm, -95.5);
  EXPECT_EQ(scene.address, 12);
  EXPECT_EQ(scene.averagingMs, 50);
  EXPECT_EQ(scene.sweepMs, 40);
  EXPECT_EQ(scene.replyEnd, ReplyEnd::kLf);
  EXPECT_EQ(scene.silentAfter, 0);
  EXPECT_EQ(scene.registration, -7);
  ASSERT_EQ(scene.scpiFaults.size(), 1u);
  EXPECT_EQ(scene.scpiFaults[0].code, -221);
  EXPECT_EQ(scene.scpiFaults[0].text, "Settings conflict");
}

TEST(ParseScene, ABadLineNamesTheFileAndItsLineNumber) {
  EXPECT_EQ(ParseErrorOf("tone 1e9 -40\n# fine so far\nfoo 3\n"),
            "bad.scene:3: unknown directive \"foo\"");
  EXPECT_EQ(ParseErrorOf("\r\n\r\n\r\nfloor\r\n"), "bad.scene:4: floor takes 1 value, not 0");
  EXPECT_EQ(ParseErrorOf("tone 1940MHz 20\n"), "bad.scene:1: frequency \"1940MHz\" is not a number");
  EXPECT_EQ(ParseErrorOf("tone -5 20\n"), "bad.scene:1: a tone's frequency cannot be negative");
  EXPECT_EQ(ParseErrorOf("address 31\n"), "bad.scene:1: \"31\" is not a whole number from 0 to 30");
  EXPECT_EQ(ParseErrorOf("averaging-ms 2.5\n"),
            "bad.scene:1: \"2.5\" is not a whole number from 0 to 2147483647");
  EXPECT_EQ(ParseErrorOf("reply-end cr\n"), "bad.scene:1: reply-end is crlf or lf, not \"cr\"");
  EXPECT_EQ(ParseErrorOf("scpi-error :SENS:FREQ:STRT -200 x\n"),
            "bad.scene:1: the SCPI analyser has no header \":SENS:FREQ:STRT\"");
  EXPECT_EQ(ParseErrorOf("scpi-error :INIT -200\n"),
            "bad.scene:1: scpi-error takes a header, a code and a text");
}

TEST(LoadSceneFile, NamesThePathInItsErrors) {
  const auto path = testing::TestDir() / "bad.scene";
  std::ofstream(path) << "tone 1940000000 20\n\nfloor -90 dBm\n";
  const auto load = [&] { LoadSceneFile(path.string()); };
  EXPECT_EQ(ErrorOf(load), path.string() + ":3: floor takes 1 value, not 2");
  std::filesystem::remove(path);
  EXPECT_EQ(ErrorOf(load), path.string() + ": cannot read the scene file: No such file or directory");
  EXPECT_THROW(LoadSceneFile(kScenesDir), SceneError);
  std::ofstream(path) << std::string(kMaxSceneBytes + 1, '#');
  EXPECT_EQ(ErrorOf(load), path.string() + ": the scene file is larger than 1 MB; a scene is a few lines");
}

// The built-in scene is compiled from default.scene, so parsing them all
// covers it too.
TEST(ShippedScenes, AllParse) {
  for (const auto& entry : std::filesystem::directory_iterator(kScenesDir)) {
    EXPECT_NO_THROW(LoadSceneFile(entry.path().string())) << entry.path();
  }
}

}  // namespace
}  // namespace tarnwick::sim
