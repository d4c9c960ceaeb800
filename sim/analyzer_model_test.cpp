#include "sim/analyzer_model.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "analyser/builtin_commands.h"
#include "tests/support/fake_platform.h"

namespace tarnwick::sim {
namespace {

class AnalyzerModelTest : public ::testing::Test {
 protected:
  void Use(std::vector<Tone> tones, double floorDbm = -90, ReplyEnd end = ReplyEnd::kCrLf) {
    Scene scene;
    scene.tones = std::move(tones);
    scene.floorDbm = floorDbm;
    scene.replyEnd = end;
    model_.emplace(scene, platform_);
  }
  // Sends a command that must not reply.
  void Send(std::string_view command) { EXPECT_FALSE(model_->Execute(command)) << command; }
  std::string Ask(std::string_view query) { return model_->Execute(query).value_or("(none)"); }
  // "MF? reply|ML? reply" after a peak search from start to stop.
  std::string PeakBetween(const std::string& start, const std::string& stop) {
    Send("FB " + stop + "HZ");
    Send("FA " + start + "HZ");
    Send(cmd::kPeakSearch);
    return Ask(cmd::kMarkerFrequency) + "|" + Ask(cmd::kMarkerLevel);
  }

  testing::FakePlatform platform_;
  std::optional<AnalyzerModel> model_;
};

TEST_F(AnalyzerModelTest, PeakSearchFindsTheLoudestLineBetweenTheEdgesIncluded) {
  // The later, higher tie comes first, so list order cannot decide the tie.
  Use({{1000000000, -60}, {1800000000, -40.5}, {1500000000, -40.5}, {2000000000, -55},
       {999999999, -10}, {2000000001, -10}});
  EXPECT_EQ(PeakBetween("1000000000", "2000000000"), "1500000000\r\n|-40.5\r\n");
  EXPECT_EQ(PeakBetween("2000000000", "1000000000"), "1500000000\r\n|-40.5\r\n");
  EXPECT_EQ(PeakBetween("1000000000", "1400000000"), "1000000000\r\n|-60\r\n");
  EXPECT_EQ(PeakBetween("1900000000", "2000000000"), "2000000000\r\n|-55\r\n");
  // No line: the floor at the centre, rounded down, also below zero hertz.
  EXPECT_EQ(PeakBetween("1000000001", "1000000004"), "1000000002\r\n|-90\r\n");
  EXPECT_EQ(PeakBetween("30000000", "-12500001"), "8749999\r\n|-90\r\n");
  // The marker stays where it is until the next peak search.
  Send("FA 1000000000HZ");
  EXPECT_EQ(Ask(cmd::kMarkerFrequency), "8749999\r\n");
}

TEST_F(AnalyzerModelTest, LevelsIncludeTheReferenceOffsetAndRepliesTheSceneEnd) {
  Use({{1927514500, -65.135}}, -87.25, ReplyEnd::kLf);
  Send("RO ON RO -1.5DB");
  EXPECT_EQ(PeakBetween("1900000000", "1950000000"), "1927514500\n|-66.635\n");
  EXPECT_EQ(PeakBetween("100000000", "200000000"), "150000000\n|-88.75\n");
  // A new offset moves the reading of the marker already placed.
  Send("RO ON RO 10DB");
  EXPECT_EQ(Ask(cmd::kMarkerLevel), "-77.25\n");
  EXPECT_EQ(Ask(cmd::kStatusByteQuery), "0\n");
}

TEST_F(AnalyzerModelTest, UnknownCommandsSetTheCommandErrorBitAndChangeNothingElse) {
  Use({{1000000000, -40}, {3000000000, -30}});
  Send("RL -10.5DB");
  Send("FB 1E+20HZ");
  EXPECT_EQ(Ask(cmd::kEventStatusQuery), "0\r\n");
  EXPECT_EQ(PeakBetween("900000000", "1100000000"), "1000000000\r\n|-40\r\n");
  for (const std::string_view bad : {"FOO", "FB HZ", "FB 3E9XHZ", "FA 3100000000",
                                     "RO ON RO 1.2.3DB", "OPR 70000", "*SRE -1", "MF"}) {
    Send(bad);
    EXPECT_EQ(Ask(cmd::kEventStatusQuery), "32\r\n") << bad;  // and cleared by reading
  }
  Send(cmd::kPeakSearch);
  EXPECT_EQ(Ask(cmd::kMarkerFrequency) + Ask(cmd::kMarkerLevel), "1000000000\r\n-40\r\n");
}

}  // namespace
}  // namespace tarnwick::sim
