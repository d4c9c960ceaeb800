#include "drivers/asio_link.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <utility>

#include <asio.hpp>
#include <fmt/format.h>

#include "bus/gpib_driver.h"
#include "drivers/network_address.h"
#include "text/quote.h"

namespace tarnwick::drivers {
namespace {

constexpr unsigned kSerialBaud = 115200;
constexpr std::size_t kReadChunk = 512;

using Clock = std::chrono::steady_clock;

enum class Ran { kDone, kTimedOut, kStopped };

LinkError Stopped(std::string_view doing, std::string_view where) {
  return {EABO, fmt::format("stopped while {} {}", doing, where), true};
}

// Blocking-style operations with a deadline: start the asynchronous
// operation, run the context in slices no longer than the stop check's
// period until it is done, the time is up or the stop check says so, and
// cancel what has not finished. Cancelling rather than closing keeps the link
// usable for the closing steps of a run that timed out.
template <typename Stream>
class AsioLink : public ByteLink {
 public:
  explicit AsioLink(std::string where) : where_(std::move(where)) {}

  LinkResult Write(std::string_view data, double timeoutSeconds) override {
    if (!stream_.is_open()) return LinkError{EDVR, where_ + " is not open"};
    asio::error_code result = asio::error::would_block;
    asio::async_write(stream_, asio::buffer(data.data(), data.size()),
                      [&](const asio::error_code& ec, std::size_t) { result = ec; });
    const Ran ran = Run(result, timeoutSeconds, /*poll=*/false);
    if (ran == Ran::kStopped) return Stopped("sending to", where_);
    if (ran == Ran::kTimedOut) {
      return LinkError{EABO, fmt::format("sending to {} did not finish within {:g} s", where_,
                                         timeoutSeconds)};
    }
    return Failure(result, "sending to");
  }

  LinkResult ReadSome(std::string& out, std::size_t max, double waitSeconds) override {
    if (!stream_.is_open()) return LinkError{EDVR, where_ + " is not open"};
    char chunk[kReadChunk];
    asio::error_code result = asio::error::would_block;
    std::size_t received = 0;
    stream_.async_read_some(asio::buffer(chunk, std::min(max, sizeof chunk)),
                            [&](const asio::error_code& ec, std::size_t n) {
                              result = ec;
                              received = n;
                            });
    const Ran ran = Run(result, waitSeconds, waitSeconds <= 0);
    out.append(chunk, received);
    if (ran == Ran::kStopped) return Stopped("receiving from", where_);
    if (ran == Ran::kTimedOut) return std::nullopt;  // nothing yet: the caller's deadline judges
    return Failure(result, "receiving from");
  }

  void Close() override {
    asio::error_code ignored;
    stream_.close(ignored);
  }
  bool IsOpen() const override { return stream_.is_open(); }

 protected:
  // Runs the context until result is set, waiting at most limitSeconds (0:
  // no limit) or, with poll, not at all. An operation that did not finish is
  // cancelled.
  Ran Run(const asio::error_code& result, double limitSeconds, bool poll) {
    const Ran ran = RunOnly(result, limitSeconds, poll);
    if (ran != Ran::kDone) {
      asio::error_code ignored;
      stream_.cancel(ignored);
      io_.restart();
      io_.run();  // lets the cancelled handler run while result is still alive
    }
    return ran;
  }

  // Runs the context as Run does, but leaves what did not finish pending.
  Ran RunOnly(const asio::error_code& result, double limitSeconds, bool poll) {
    io_.restart();
    if (poll) {
      io_.poll();
      return result != asio::error::would_block ? Ran::kDone : Ran::kTimedOut;
    }
    const auto deadline =
        limitSeconds > 0 ? Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(limitSeconds))
                         : Clock::time_point::max();
    const auto slice = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(kStopPollSeconds));
    for (;;) {
      if (result != asio::error::would_block) return Ran::kDone;
      const auto now = Clock::now();
      if (now >= deadline) return Ran::kTimedOut;
      // The operation gets its chance before the stop check, so that the
      // closing steps of a stopped run still go out.
      io_.run_one_until(deadline - now < slice ? deadline : now + slice);
      if (result == asio::error::would_block && StopRequested()) return Ran::kStopped;
    }
  }

  LinkResult Failure(const asio::error_code& result, const char* doing) {
    if (!result) return std::nullopt;
    if (result == asio::error::eof || result == asio::error::connection_reset ||
        result == asio::error::broken_pipe || result == asio::error::connection_aborted) {
      Close();
      return LinkError{EDVR, fmt::format("{} closed the connection ({})", where_, result.message())};
    }
    return LinkError{EDVR, fmt::format("{} {}: {}", doing, where_, result.message())};
  }

  asio::io_context io_;
  Stream stream_{io_};
  std::string where_;
};

class TcpLink : public AsioLink<asio::ip::tcp::socket> {
 public:
  TcpLink(std::string host, int port)
      : AsioLink(HostPortText(host, port)), host_(std::move(host)), port_(port) {}

  LinkResult Open(double timeoutSeconds) override {
    if (stream_.is_open()) return std::nullopt;
    // A lookup cannot be cut short, only abandoned: its handler keeps what
    // it needs alive for when the lookup ends.
    struct Lookup {
      asio::error_code result = asio::error::would_block;
      asio::ip::tcp::resolver::results_type endpoints;
    };
    auto lookup = std::make_shared<Lookup>();
    resolver_.async_resolve(host_, std::to_string(port_),
                            [lookup](const asio::error_code& ec, auto found) {
                              lookup->result = ec;
                              lookup->endpoints = std::move(found);
                            });
    const Ran found = RunOnly(lookup->result, timeoutSeconds, false);
    if (found == Ran::kStopped) return Stopped("looking up", host_);
    if (found == Ran::kTimedOut) {
      return LinkError{EABO, fmt::format("cannot find {} within {:g} s", host_, timeoutSeconds)};
    }
    if (lookup->result) {
      return LinkError{EDVR, fmt::format("cannot find {}: {}", host_, lookup->result.message())};
    }

    asio::error_code result = asio::error::would_block;
    asio::async_connect(stream_, lookup->endpoints,
                        [&](const asio::error_code& ec, const auto&) { result = ec; });
    const Ran connected = Run(result, timeoutSeconds, false);
    if (connected != Ran::kDone || result) Close();
    if (connected == Ran::kStopped) return Stopped("connecting to", where_);
    if (connected == Ran::kTimedOut) {
      return LinkError{EABO, fmt::format("no answer from {} within {:g} s", where_, timeoutSeconds)};
    }
    if (result) {
      // Refused: the host is there but nothing listens on the port.
      const int32_t error = result == asio::error::connection_refused ? ENOL : EDVR;
      return LinkError{error, fmt::format("cannot connect to {}: {}", where_, result.message())};
    }
    // Every command is a short message awaited by a reply: never hold one back.
    asio::error_code ignored;
    stream_.set_option(asio::ip::tcp::no_delay(true), ignored);
    return std::nullopt;
  }

 private:
  asio::ip::tcp::resolver resolver_{io_};
  std::string host_;
  int port_;
};

class SerialLink : public AsioLink<asio::serial_port> {
 public:
  explicit SerialLink(std::string device)
      : AsioLink(CutForMessage(device, kQuotedPathLength)), device_(std::move(device)) {}

  LinkResult Open(double) override {
    if (stream_.is_open()) return std::nullopt;
    asio::error_code ec;
    stream_.open(device_, ec);
    if (ec) return LinkError{EDVR, fmt::format("cannot open {}: {}", where_, ec.message())};
    using asio::serial_port_base;
    stream_.set_option(serial_port_base::baud_rate(kSerialBaud), ec);
    if (!ec) stream_.set_option(serial_port_base::character_size(8), ec);
    if (!ec) stream_.set_option(serial_port_base::parity(serial_port_base::parity::none), ec);
    if (!ec) stream_.set_option(serial_port_base::stop_bits(serial_port_base::stop_bits::one), ec);
    if (!ec) {
      stream_.set_option(serial_port_base::flow_control(serial_port_base::flow_control::none), ec);
    }
    if (ec) {
      Close();
      return LinkError{EDVR, fmt::format("cannot set up {}: {}", where_, ec.message())};
    }
    return std::nullopt;
  }

 private:
  std::string device_;
};

}  // namespace

std::unique_ptr<ByteLink> MakeTcpLink(std::string host, int port) {
  return std::make_unique<TcpLink>(std::move(host), port);
}

std::unique_ptr<ByteLink> MakeSerialLink(std::string device) {
  return std::make_unique<SerialLink>(std::move(device));
}

}  // namespace tarnwick::drivers
