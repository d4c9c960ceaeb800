#include "drivers/asio_link.h"

#include <chrono>
#include <utility>

#include <asio.hpp>
#include <fmt/format.h>

#include "bus/gpib_driver.h"

namespace tarnwick::drivers {
namespace {

constexpr unsigned kSerialBaud = 115200;

// Blocking-style operations with a deadline: start the asynchronous
// operation, run the context for at most the time allowed, and cancel what
// has not finished. Cancelling rather than closing keeps the link usable for
// the closing steps of a run that timed out.
template <typename Stream>
class AsioLink : public ByteLink {
 public:
  explicit AsioLink(std::string where) : where_(std::move(where)) {}

  LinkResult Write(std::string_view data, double timeoutSeconds) override {
    if (!stream_.is_open()) return LinkError{EDVR, where_ + " is not open"};
    asio::error_code result = asio::error::would_block;
    asio::async_write(stream_, asio::buffer(data.data(), data.size()),
                      [&](const asio::error_code& ec, std::size_t) { result = ec; });
    return Finish(result, timeoutSeconds, "sending to");
  }

  LinkResult ReadSome(std::string& out, double timeoutSeconds) override {
    if (!stream_.is_open()) return LinkError{EDVR, where_ + " is not open"};
    char chunk[512];
    asio::error_code result = asio::error::would_block;
    std::size_t received = 0;
    stream_.async_read_some(asio::buffer(chunk), [&](const asio::error_code& ec, std::size_t n) {
      result = ec;
      received = n;
    });
    LinkResult error = Finish(result, timeoutSeconds, "receiving from");
    out.append(chunk, received);
    return error;
  }

  void Close() override {
    asio::error_code ignored;
    stream_.close(ignored);
  }
  bool IsOpen() const override { return stream_.is_open(); }

 protected:
  // Runs the context until result is set or the time is up.
  bool Run(const asio::error_code& result, double timeoutSeconds) {
    io_.restart();
    const auto limit = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(timeoutSeconds));
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (result == asio::error::would_block) {
      if (timeoutSeconds > 0 && std::chrono::steady_clock::now() >= deadline) break;
      if (timeoutSeconds > 0) {
        io_.run_one_until(deadline);
      } else {
        io_.run_one();
      }
    }
    if (result != asio::error::would_block) return true;
    asio::error_code ignored;
    stream_.cancel(ignored);
    io_.restart();
    io_.run();  // lets the cancelled handler run while result is still alive
    return false;
  }

  LinkResult Finish(const asio::error_code& result, double timeoutSeconds, const char* doing) {
    if (!Run(result, timeoutSeconds)) {
      return LinkError{EABO, fmt::format("{} {} did not finish within {:g} s", doing, where_,
                                         timeoutSeconds)};
    }
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
      : AsioLink(fmt::format("{}:{}", host, port)), host_(std::move(host)), port_(port) {}

  LinkResult Open(double timeoutSeconds) override {
    if (stream_.is_open()) return std::nullopt;
    asio::ip::tcp::resolver resolver(io_);
    asio::error_code result = asio::error::would_block;
    asio::ip::tcp::resolver::results_type endpoints;
    resolver.async_resolve(host_, std::to_string(port_),
                           [&](const asio::error_code& ec, auto found) {
                             result = ec;
                             endpoints = std::move(found);
                           });
    if (!Run(result, timeoutSeconds)) {
      return LinkError{EABO, fmt::format("cannot find {} within {:g} s", host_, timeoutSeconds)};
    }
    if (result) return LinkError{EDVR, fmt::format("cannot find {}: {}", host_, result.message())};

    result = asio::error::would_block;
    asio::async_connect(stream_, endpoints,
                        [&](const asio::error_code& ec, const auto&) { result = ec; });
    if (!Run(result, timeoutSeconds)) {
      Close();
      return LinkError{EABO, fmt::format("no answer from {} within {:g} s", where_, timeoutSeconds)};
    }
    if (result) {
      Close();
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
  std::string host_;
  int port_;
};

class SerialLink : public AsioLink<asio::serial_port> {
 public:
  explicit SerialLink(std::string device) : AsioLink(device), device_(std::move(device)) {}

  LinkResult Open(double) override {
    if (stream_.is_open()) return std::nullopt;
    asio::error_code ec;
    stream_.open(device_, ec);
    if (ec) return LinkError{EDVR, fmt::format("cannot open {}: {}", device_, ec.message())};
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
      return LinkError{EDVR, fmt::format("cannot set up {}: {}", device_, ec.message())};
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
