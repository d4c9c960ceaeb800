// The simulated analyser's SCPI as a client speaks it: every accepted form of
// a header, several commands in one message, and the errors bad ones queue.
#include "sim/scpi_parser.h"

#include <gtest/gtest.h>

#include "tests/support/fake_platform.h"

namespace tarnwick::sim {
namespace {

struct Scpi {
  explicit Scpi(std::string_view sceneText) : model(ParseScene(sceneText, "t"), platform) {}
  std::string Say(std::string_view message) { return parser.Execute(message).value_or(""); }
  testing::FakePlatform platform;
  AnalyzerModel model;
  ScpiParser parser{model};
};

TEST(ScpiParser, TakesLongShortAndRelativeHeadersInAnyCase) {
  Scpi s("tone 1953156250 -52.85\naveraging-ms 300\n");
  struct Step {
    const char* message;
    double secondsBefore;
    const char* reply;
  };
  const Step steps[] = {
      {"*idn?", 0, "Tarnwick,Simulated spectrum analyser,0,1.00\n"},
      {":sense:frequency:start 1952500000;STOP 3.1e9", 0, ""},
      {"FREQ:STAR?;:SENSE:FREQUENCY:STOP?", 0, "+1.95250000000E+09;+3.10000000000E+09\n"},
      {":CALCULATE:MARKER:MAXIMUM:PEAK;:calc:mark1:x?;Y?", 0,
       "+1.95315625000E+09;-5.28500000000E+01\n"},
      {":SENS:AVER:STAT ON;:INIT:IMM;*OPC", 0, ""},
      {"*ESR?", 0.29, "0\n"},  // the averaged sweep takes 300 ms
      {"*ESR?", 0.01, "1\n"},
      {":SYST:ERR?", 0, "+0,\"No error\"\n"},
  };
  for (const Step& step : steps) {
    s.platform.Advance(step.secondsBefore);
    EXPECT_EQ(s.Say(step.message), step.reply) << step.message;
  }
}

TEST(ScpiParser, BadCommandsQueueTheirErrorsAndTheEventBit) {
  const std::pair<const char*, const char*> cases[] = {
      {":SENS:FREQ:STARX 1", "-113,\"Undefined header\""},
      {"MF?", "-113,\"Undefined header\""},
      {":CALC:MARK2:X?", "-113,\"Undefined header\""},
      {":CALC:MARK1:X 5", "-113,\"Undefined header\""},
      {":SENS:FREQ:STAR 1GHZ", "-104,\"Data type error\""},
      {":SENS:AVER:STAT MAYBE", "-104,\"Data type error\""},
      {":SENS:AVER:COUN 2.5", "-104,\"Data type error\""},
      {":SENS:DET SIDEWAYS", "-104,\"Data type error\""},
      {":INIT:IMM 5", "-108,\"Parameter not allowed\""},
      {":SENS:FREQ:STAR", "-109,\"Missing parameter\""},
  };
  Scpi s("");
  for (const auto& [message, error] : cases) {
    EXPECT_EQ(s.Say(message), "") << message;
    EXPECT_EQ(s.Say(":SYST:ERR?;*ESR?"), std::string(error) + ";32\n") << message;
  }
  // The queue keeps ten; the last of them then says it overflowed.
  for (int i = 0; i < 11; ++i) s.Say("BOGUS");
  EXPECT_EQ(s.parser.errors().size(), 10u);
  EXPECT_EQ(s.parser.errors().back(), "-350,\"Queue overflow\"");
  EXPECT_EQ(s.Say("*STB?;*CLS;*STB?"), "4;0\n");
}

TEST(ScpiParser, SceneFaultsAreQueuedByTheirCommand) {
  Scpi s("scpi-error :calc:mark:max -200 Execution error\n");
  EXPECT_EQ(s.Say(":CALC:MARK1:X?;:SYST:ERR?"), "+1.32500000000E+10;+0,\"No error\"\n");
  EXPECT_EQ(s.Say(":CALCULATE:MARKER1:MAXIMUM;:SYST:ERR?;*ESR?"), "-200,\"Execution error\";16\n");
}

}  // namespace
}  // namespace tarnwick::sim
