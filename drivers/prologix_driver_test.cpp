#include "drivers/prologix_driver.h"

#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/fake_platform.h"

namespace tarnwick::drivers {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A misbehaving adaptor: after each write that asks something, its script
// arrives chunk by chunk, each some seconds after the one before on the
// virtual clock, so a ten-second deadline passes in microseconds. kDrop
// hangs up.
struct Chunk {
  double delay;
  std::string bytes;
};
using Script = std::vector<Chunk>;
const std::string kDrop = "<drop>";
constexpr int32_t kNone = -1;  // no error: EDVR is 0

struct Adaptor : ByteLink {
  explicit Adaptor(testing::FakePlatform& p) : platform(p) {}
  testing::FakePlatform& platform;
  std::vector<std::string> writes;
  // What each line the adaptor is sent answers, but "++read eoi".
  std::map<std::string, Script> answers{{"++ver", {{0, "GPIB-ETHERNET version 1\r\n"}}},
                                        {"++read_tmo_ms", {{0, "3000\r\n"}}}};
  std::deque<Script> replies;  // one per "++read eoi"
  std::deque<Chunk> arriving;
  bool open = false;

  LinkResult Open(double) override { return open = true, std::nullopt; }
  LinkResult Write(std::string_view data, double) override {
    writes.emplace_back(data);
    for (std::size_t end; (end = data.find('\n')) != std::string_view::npos;
         data.remove_prefix(end + 1)) {
      const std::string line(data.substr(0, end));
      Script script = answers[line];
      if (line == "++read eoi" && !replies.empty()) {
        script = replies.front();
        replies.pop_front();
      }
      arriving.insert(arriving.end(), script.begin(), script.end());
    }
    return std::nullopt;
  }
  LinkResult ReadSome(std::string& out, std::size_t max, double wait) override {
    if (arriving.empty() || arriving.front().delay > wait) {
      if (!arriving.empty()) arriving.front().delay -= wait;
      platform.Advance(wait);
      return std::nullopt;
    }
    Chunk& next = arriving.front();
    platform.Advance(std::exchange(next.delay, 0));
    if (next.bytes == kDrop) return open = false, LinkError{EDVR, "bench closed the connection"};
    out += next.bytes.substr(0, max);
    next.bytes.erase(0, max);
    if (next.bytes.empty()) arriving.pop_front();
    return std::nullopt;
  }
  void Close() override { open = false; }
  bool IsOpen() const override { return open; }
  long Asked() const { return std::count(writes.begin(), writes.end(), "++read eoi\n"); }
};

struct Bench {
  testing::FakePlatform platform;
  Adaptor& adaptor = *new Adaptor(platform);  // owned by the driver
  PrologixDriver driver{std::unique_ptr<ByteLink>(&adaptor), "PRLGX-TCPIP::bench::8::INSTR",
                        "TCP", platform};
  int32_t sta = 0, err = 0, cnt = 0, cntl = 0;
  Bench() { driver.RegisterGpibGlobalsForThread(&sta, &err, &cnt, &cntl); }
  int Open() { return driver.ibdev(0, 8, 0, kTimeout10s, 1, 0); }
  // One query: what the first read of its reply gave.
  std::string Query(int ud) {
    driver.ibwrt(ud, "MF?", 3);
    std::string buffer(50, '\0');
    driver.ibrd(ud, buffer.data(), 50);
    return buffer.substr(0, static_cast<std::size_t>(std::max(cntl, 0)));
  }
};

TEST(PrologixDriver, SetsUpOnceSavingNothingAndReaddressesOnlyOnChange) {
  Bench b;
  ASSERT_EQ(b.Open(), 1);
  EXPECT_EQ(b.Open(), 1);
  EXPECT_EQ(b.driver.ibdev(0, 9, 0, kTimeout10s, 1, 0), 1);
  EXPECT_THAT(b.adaptor.writes,
              ElementsAre("++ver\n",
                          "++savecfg 0\n++mode 1\n++auto 0\n++eoi 1\n++eos 3\n++eot_enable 0\n"
                          "++read_tmo_ms 3000\n++addr 8\n++read_tmo_ms\n++ver\n",
                          "++addr 9\n"));
  EXPECT_EQ(b.driver.AdaptorVersion(), "GPIB-ETHERNET version 1");
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
    EXPECT_EQ(b.adaptor.writes.empty(), c.error != 0) << c.pad << " " << c.sad;
  }
}

// Only "++ver" must be answered. The adaptor's other answers are awaited a
// second at the most, checked, capped and quoted; a late one is recognised
// and never taken for the analyser's reply.
TEST(PrologixDriver, TheAdaptorsOwnAnswersAreCheckedCappedAndQuoted) {
  const std::string taken = "\"++read_tmo_ms\" not answered: the read timeout is taken as set, "
                            "3000 ms";
  struct Case {
    const char* what;
    std::map<std::string, Script> answers;  // instead of the adaptor's own
    int32_t error;     // of the open or, when it opens, of the first query
    std::string text;  // in that failure, or else in a silent reply's
    std::string note;  // of the open
    double setUpSeconds = 0;
  };
  const Case cases[] = {
      {"silence", {{"++ver", {}}}, EABO,
       "nothing answered \"++ver\" at PRLGX-TCPIP::bench::8::INSTR within 10 s", "", 10.1},
      {"a stranger", {{"++ver", {{0, "SSH-2.0-OpenSSH\r\n"}}}}, EDVR,
       "answered \"++ver\" with \"SSH-2.0-OpenSSH\", not as a Prologix-style GPIB adaptor", ""},
      {"terminal escapes", {{"++ver", {{0, "\x1B]0;owned\x07\x1B[2J\x9B" "2J\r\n"}}}}, EDVR,
       R"(with "\x1B]0;owned\x07\x1B[2J\x9B2J", not)", ""},
      {"10 MB without a line end", {{"++ver", {{0, std::string(10'000'000, 'v')}}}}, EDVR,
       "with more than 256 bytes: \"" + std::string(40, 'v') + "\"…", ""},
      {"a line nobody asked for", {{"++ver", {{0, "GPIB-ETHERNET 1\r\nstale\r\n"}}}}, EDVR,
       "sent \"stale\\r\\n\" that nobody asked for", ""},
      {"\"Unrecognized command\" for both",
       {{"++savecfg 0", {{0, "Unrecognized command\r\n"}}},
        {"++read_tmo_ms", {{0, "Unrecognized command\r\n"}}}},
       kNone, "its read timeout is taken as set, 3000 ms", taken},
      {"a late read timeout", {{"++read_tmo_ms", {{1.5, "500\r\n"}}}}, kNone,
       "its read timeout is 500 ms",
       "\"++read_tmo_ms\" no answer within 1 s: the read timeout is taken as set, 3000 ms", 1.01},
      {"a second \"++ver\" that never comes", {{"++read_tmo_ms", {{30, "3000\r\n"}}}}, EABO,
       "nothing answered \"++ver\" at PRLGX-TCPIP::bench::8::INSTR within 10 s",
       "\"++read_tmo_ms\" no answer within 1 s: the read timeout is taken as set, 3000 ms", 1.01},
      {"not a read timeout", {{"++read_tmo_ms", {{0, "OK\r\n"}}}}, EDVR,
       "answered \"++read_tmo_ms\" with \"OK\", not with its read timeout", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bench b;
    for (const auto& [line, script] : c.answers) b.adaptor.answers[line] = script;
    const double start = b.platform.NowSeconds();
    const int ud = b.Open();
    EXPECT_LE(b.platform.NowSeconds() - start, c.setUpSeconds);
    EXPECT_EQ(b.driver.LastNote(), c.note);
    if (ud >= 0) {
      b.adaptor.replies = {{{0, "970000000\r\n"}}, {}};
      const std::string first = b.Query(ud);
      if (c.error == kNone) {
        EXPECT_EQ(first, "970000000\r\n");
        b.Query(ud);
      }
    }
    EXPECT_EQ(b.err, c.error == kNone ? EABO : c.error);
    EXPECT_THAT(b.driver.LastErrorText(), HasSubstr(c.text));
  }
}

// One deadline per reply from the asking, one cap per read, nothing unasked,
// and the stop check in every wait.
TEST(PrologixDriver, ARepliesDeadlineCapAndStopHoldHoweverTheAdaptorMisbehaves) {
  struct Case {
    const char* what;
    std::deque<Script> replies;  // for one query, or two where the first is to pass
    std::string received;        // by the last read
    int32_t error;
    std::string text;
    int asked;       // "++read eoi" for the last query
    double seconds;  // the last query took at most
    double stopAt = 0;
  };
  const Case cases[] = {
      {"prompt", {{{0, "970000000\r\n"}}}, "970000000\r\n", kNone, "", 1, 0},
      {"in pieces", {{{0, "97000"}, {1, "0000\r\n"}}}, "970000000\r\n", kNone, "", 1, 1.1},
      {"a long sweep outlasts the adaptor's read timeout", {{{8, "970000000\r\n"}}},
       "970000000\r\n", kNone, "", 3, 8.1},
      {"a trickle", {Script(12, {1, "9"})}, "", EABO, "within 10 s", 1, 10.2},
      {"a stream without a line end", {{{0, std::string(1'000'000, '7')}}}, std::string(50, '7'),
       kNone, "", 1, 0},
      {"a line after the reply", {{{0, "970000000\r\n"}, {0, "++\x1B[2J\r\n"}}, {}}, "", EDVR,
       "sent \"++\\x1B[2J\\r\\n\" that nobody asked for", 0, 0},
      {"a dropped connection", {{{0.5, kDrop}}}, "", EDVR, "closed the connection", 1, 0.6},
      {"a stop", {{}}, "", EABO, "stopped", 1, 2.1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bench b;
    const int ud = b.Open();
    ASSERT_EQ(ud, 1);
    b.adaptor.replies = c.replies;
    if (c.replies.size() > 1) {
      EXPECT_EQ(b.Query(ud), "970000000\r\n");
    }
    const double start = b.platform.NowSeconds();
    if (c.stopAt > 0) {
      b.platform.SetStopCheck([&] { return b.platform.NowSeconds() - start >= c.stopAt; });
    }
    const long before = b.adaptor.Asked();
    EXPECT_EQ(b.Query(ud), c.received);
    EXPECT_EQ(b.err, c.error == kNone ? 0 : c.error);
    EXPECT_EQ((b.sta & kStatusErr) != 0, c.error != kNone);
    EXPECT_EQ((b.sta & kStatusEnd) != 0, c.received.ends_with('\n'));
    EXPECT_THAT(b.driver.LastErrorText(), HasSubstr(c.text));
    EXPECT_EQ(b.adaptor.Asked() - before, c.asked);
    EXPECT_LE(b.platform.NowSeconds() - start, c.seconds);
  }
}

}  // namespace
}  // namespace tarnwick::drivers
