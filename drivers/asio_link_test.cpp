// The TCP link against a peer on loopback that misbehaves in the ways a
// network does: it refuses, falls silent, or hangs up.
#include "drivers/asio_link.h"

#include <thread>

#include <asio.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "bus/gpib_driver.h"

namespace tarnwick::drivers {
namespace {

using ::testing::HasSubstr;

// A peer on an ephemeral loopback port that does one thing to the first
// connection: hang up at once, or answer one line after staying silent
// through a first read.
class Peer {
 public:
  enum Behaviour { kHangUp, kAnswerLate };
  explicit Peer(Behaviour behaviour) : acceptor_(io_, {asio::ip::make_address("127.0.0.1"), 0}) {
    thread_ = std::thread([this, behaviour] {
      asio::ip::tcp::socket socket(io_);
      asio::error_code ec;
      acceptor_.accept(socket, ec);
      if (behaviour == kAnswerLate && !ec) {
        char c;
        socket.read_some(asio::buffer(&c, 1), ec);  // the client's go-ahead
        asio::write(socket, asio::buffer(std::string("late\n")), ec);
        socket.read_some(asio::buffer(&c, 1), ec);  // until the client closes
      }
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
  Peer peer(Peer::kHangUp);
  auto link = MakeTcpLink("127.0.0.1", peer.port());
  ASSERT_EQ(link->Open(5), std::nullopt);
  std::string out;
  const LinkResult error = link->ReadSome(out, 5);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->gpibError, EDVR);
  EXPECT_THAT(error->text, HasSubstr("closed the connection"));
  EXPECT_FALSE(link->IsOpen());
}

TEST(TcpLink, ASilentPeerTimesOutAndTheLinkStaysUsable) {
  Peer peer(Peer::kAnswerLate);
  auto link = MakeTcpLink("127.0.0.1", peer.port());
  ASSERT_EQ(link->Open(5), std::nullopt);
  std::string out;
  const LinkResult silent = link->ReadSome(out, 0.05);
  ASSERT_TRUE(silent.has_value());
  EXPECT_EQ(silent->gpibError, EABO);
  EXPECT_TRUE(link->IsOpen());
  ASSERT_EQ(link->Write("g", 5), std::nullopt);
  while (out.find('\n') == std::string::npos) ASSERT_EQ(link->ReadSome(out, 5), std::nullopt);
  EXPECT_EQ(out, "late\n");
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
