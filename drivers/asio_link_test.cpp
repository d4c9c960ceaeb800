// The TCP link against a peer on loopback that misbehaves in the ways a
// network does: it refuses, falls silent, or hangs up.
#include "drivers/asio_link.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <asio.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "bus/gpib_driver.h"

namespace tarnwick::drivers {
namespace {

using ::testing::HasSubstr;

// A peer on an ephemeral loopback port that plays a script on the first
// connection, then waits for the client to close.
class Peer {
 public:
  using Script = std::function<void(asio::ip::tcp::socket&)>;
  explicit Peer(Script script) : acceptor_(io_, {asio::ip::make_address("127.0.0.1"), 0}) {
    thread_ = std::thread([this, script] {
      asio::ip::tcp::socket socket(io_);
      asio::error_code ec;
      acceptor_.accept(socket, ec);
      if (ec) return;
      script(socket);
      char c;
      while (!ec) socket.read_some(asio::buffer(&c, 1), ec);
    });
  }
  ~Peer() { thread_.join(); }
  int port() const { return acceptor_.local_endpoint().port(); }

 private:
  asio::io_context io_;
  asio::ip::tcp::acceptor acceptor_;
  std::thread thread_;
};

TEST(TcpLink, APeerThatHangsUpIsADroppedConnection) {
  Peer peer([](asio::ip::tcp::socket& s) { s.close(); });
  auto link = MakeTcpLink("127.0.0.1", peer.port());
  ASSERT_EQ(link->Open(5), std::nullopt);
  std::string out;
  const LinkResult error = link->ReadSome(out, 512, 5);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->gpibError, EDVR);
  EXPECT_THAT(error->text, HasSubstr("closed the connection"));
  EXPECT_FALSE(link->IsOpen());
}

TEST(TcpLink, ASilentPeerGivesNothingAndTheLinkStaysUsable) {
  Peer peer([](asio::ip::tcp::socket& s) {
    char c;
    asio::error_code ec;
    s.read_some(asio::buffer(&c, 1), ec);  // the client's go-ahead
    asio::write(s, asio::buffer(std::string("late\n")), ec);
  });
  auto link = MakeTcpLink("127.0.0.1", peer.port());
  ASSERT_EQ(link->Open(5), std::nullopt);
  std::string out;
  EXPECT_EQ(link->ReadSome(out, 512, 0.05), std::nullopt);
  EXPECT_EQ(link->ReadSome(out, 512, 0), std::nullopt);
  EXPECT_EQ(out, "");
  ASSERT_EQ(link->Write("g", 5), std::nullopt);
  while (out.find('\n') == std::string::npos) ASSERT_EQ(link->ReadSome(out, 2, 5), std::nullopt);
  EXPECT_EQ(out, "late\n");
  link->Close();
}

TEST(TcpLink, TheStopCheckEndsAWaitPromptly) {
  Peer peer([](asio::ip::tcp::socket&) {});
  auto link = MakeTcpLink("127.0.0.1", peer.port());
  ASSERT_EQ(link->Open(5), std::nullopt);
  std::atomic<bool> stop = false;
  link->SetStopCheck([&] { return stop.load(); });
  std::thread signal([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop = true;
  });
  const auto start = std::chrono::steady_clock::now();
  std::string out;
  const LinkResult error = link->ReadSome(out, 512, 30);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  signal.join();
  ASSERT_TRUE(error.has_value());
  EXPECT_TRUE(error->stopped);
  EXPECT_LT(took.count(), 5);  // not the 30 s wait; the poll is 0.1 s, the machine may be busy
  // The closing steps of a stopped run still go out.
  EXPECT_EQ(link->Write("++loc\n", 5), std::nullopt);
  link->Close();
}

TEST(TcpLink, NothingListeningIsNoListener) {
  int port = 0;
  {
    asio::io_context io;
    asio::ip::tcp::acceptor closed(io, {asio::ip::make_address("127.0.0.1"), 0});
    port = closed.local_endpoint().port();
  }
  auto link = MakeTcpLink("127.0.0.1", port);
  const LinkResult error = link->Open(5);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->gpibError, ENOL);
}

}  // namespace
}  // namespace tarnwick::drivers
