#include "drivers/prologix_driver.h"

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnwick::drivers {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A link that records every write and hands out scripted chunks; with none
// left, a read times out.
struct ScriptedLink : ByteLink {
  ScriptedLink(std::vector<std::string>& w, std::deque<std::string>& c) : writes(&w), chunks(&c) {}
  std::vector<std::string>* writes;
  std::deque<std::string>* chunks;
  bool open = false;
  LinkResult Open(double) override { return open = true, std::nullopt; }
  LinkResult Write(std::string_view data, double) override {
    writes->emplace_back(data);
    return std::nullopt;
  }
  LinkResult ReadSome(std::string& out, double) override {
    if (chunks->empty()) return LinkError{EABO, "no answer within 10 s"};
    out += chunks->front();
    chunks->pop_front();
    return std::nullopt;
  }
  void Close() override { open = false; }
  bool IsOpen() const override { return open; }
};

struct Bench {
  std::vector<std::string> writes;
  std::deque<std::string> chunks{"GPIB-ETHERNET ", "version 1\r\n"};
  PrologixDriver driver{std::make_unique<ScriptedLink>(writes, chunks),
                        "PRLGX-TCPIP::bench::8::INSTR"};
  int32_t sta = 0, err = 0, cnt = 0, cntl = 0;
  Bench() { driver.RegisterGpibGlobalsForThread(&sta, &err, &cnt, &cntl); }
};

TEST(PrologixDriver, SetsUpOnceAndReaddressesOnlyOnChange) {
  Bench b;
  ASSERT_EQ(b.driver.ibdev(0, 8, 0, kTimeout10s, 1, 0), 1);
  EXPECT_EQ(b.driver.ibdev(0, 8, 0, kTimeout10s, 1, 0), 1);
  EXPECT_EQ(b.driver.ibdev(0, 9, 0, kTimeout10s, 1, 0), 1);
  EXPECT_THAT(b.writes, ElementsAre("++mode 1\n++auto 0\n++eoi 1\n++eos 3\n++addr 8\n++ver\n",
                                    "++addr 9\n"));
  EXPECT_EQ(b.driver.AdaptorVersion(), "GPIB-ETHERNET version 1");
}

TEST(PrologixDriver, LongReplyIsHandedOutOverSeveralReadsWithEndOnTheLast) {
  Bench b;
  const int ud = b.driver.ibdev(0, 8, 0, kTimeout10s, 1, 0);
  b.chunks = {"12345", "67890\r\n"};
  char buf[4];
  std::string got;
  std::vector<int32_t> ends;
  for (int i = 0; i < 3; ++i) {
    b.driver.ibrd(ud, buf, sizeof buf);
    got.append(buf, static_cast<std::size_t>(b.cntl));
    ends.push_back(b.sta & kStatusEnd);
  }
  EXPECT_EQ(got, "1234567890\r\n");
  EXPECT_THAT(ends, ElementsAre(0, 0, kStatusEnd));
  EXPECT_EQ(std::count(b.writes.begin(), b.writes.end(), "++read eoi\n"), 1);
}

TEST(PrologixDriver, AddressesOutsideTheBusAreRefusedBeforeAnythingIsSent) {
  struct Case {
    int board, pad, sad;
    int32_t error;  // 0: opened
  };
  const Case cases[] = {{0, 8, 96, 0},     {0, 8, 126, 0},    {0, 30, 0, 0},  {0, 8, 95, EARG},
                        {0, 8, 127, EARG}, {0, 31, 0, EARG},  {0, -1, 0, EARG}, {1, 8, 0, ENEB}};
  for (const Case& c : cases) {
    Bench b;
    const int ud = b.driver.ibdev(c.board, c.pad, c.sad, kTimeout10s, 1, 0);
    EXPECT_EQ(ud < 0, c.error != 0) << c.pad << " " << c.sad;
    EXPECT_EQ(b.err, c.error) << c.pad << " " << c.sad;
    EXPECT_EQ(b.writes.empty(), c.error != 0) << c.pad << " " << c.sad;
  }
}

TEST(PrologixDriver, SilenceOrAStrangerAtTheVersionCheckFailsTheOpen) {
  struct Case {
    std::deque<std::string> chunks;
    int32_t error;
    const char* text;
  };
  const Case cases[] = {
      {{}, EABO, "nothing answered \"++ver\" at PRLGX-TCPIP::bench::8::INSTR within 10 s"},
      {{"SSH-2.0-OpenSSH\r\n"}, EDVR, "answered \"++ver\" with \"SSH-2.0-OpenSSH\""},
  };
  for (const Case& c : cases) {
    Bench b;
    b.chunks = c.chunks;
    EXPECT_EQ(b.driver.ibdev(0, 8, 0, kTimeout10s, 1, 0), -1);
    EXPECT_NE(b.sta & kStatusErr, 0);
    EXPECT_EQ(b.err, c.error);
    EXPECT_THAT(b.driver.LastErrorText(), HasSubstr(c.text));
  }
}

}  // namespace
}  // namespace tarnwick::drivers
