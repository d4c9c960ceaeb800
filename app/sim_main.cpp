// tarnwick-sim: the simulated analyser behind a simulated Prologix-style GPIB
// adaptor, on TCP (as a GPIB-ETHERNET) or on a pseudo-terminal (as a
// GPIB-USB), or speaking SCPI itself on a raw socket, so that Tarnwick and
// other clients can be tried over a real connection. Every connection gets
// an analyser of its own.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <asio.hpp>
#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "app/program_options.h"
#include "app/pseudo_terminal.h"
#include "drivers/network_address.h"
#include "sim/prologix_adaptor.h"
#include "sim/scene.h"
#include "sim/scpi_instrument.h"
#include "text/quote.h"

namespace tarnwick {
namespace {

constexpr char kProgram[] = "tarnwick-sim";

// What a closed session's log line says it was given.
std::string Given(const sim::PrologixAdaptor& adaptor) {
  return fmt::format("{} lines, {} of them to the adaptor", adaptor.lines(), adaptor.commands());
}
std::string Given(const sim::ScpiInstrument& instrument) {
  return fmt::format("{} lines", instrument.lines());
}

// What every connection is served with.
struct Served {
  const sim::Scene& scene;
  Platform& platform;
  const sim::AdaptorPersonality& personality;
};

template <typename Device>
Device MakeDevice(const Served& served) {
  if constexpr (std::is_same_v<Device, sim::PrologixAdaptor>) {
    return Device(served.scene, served.platform, served.personality);
  } else {
    return Device(served.scene, served.platform);
  }
}

// One client's adaptor or instrument: reads what the client sends, writes
// back what it answers, until either side closes. An answer the adaptor is
// slow to give is written when it is due; nothing more is read until then,
// as an adaptor busy with a command takes no other.
template <typename Stream, typename Device>
class Session : public std::enable_shared_from_this<Session<Stream, Device>> {
 public:
  Session(Stream stream, std::string peer, const Served& served)
      : stream_(std::move(stream)),
        timer_(stream_.get_executor()),
        peer_(std::move(peer)),
        adaptor_(MakeDevice<Device>(served)) {}

  void Start() {
    fmt::print(stderr, "{}: {} connected\n", kProgram, peer_);
    Read();
  }

 private:
  void Read() {
    stream_.async_read_some(asio::buffer(buffer_), [self = this->shared_from_this()](
                                                       const asio::error_code& ec, std::size_t n) {
      if (ec) {
        fmt::print(stderr, "{}: {} closed ({}) after {}\n", kProgram, self->peer_, ec.message(),
                   Given(self->adaptor_));
        return;
      }
      self->reply_ = self->adaptor_.Receive(std::string_view(self->buffer_, n));
      if (self->adaptor_.overflowed()) {
        // A line that long is no command: the connection closes with this session.
        fmt::print(stderr, "{}: {} sent a line longer than {} bytes: dropping the connection\n",
                   kProgram, self->peer_, sim::kMaxLineBytes);
        return;
      }
      self->Answer();
    });
  }

  // Writes what is due, waits for what is held, then reads on.
  void Answer() {
    auto self = this->shared_from_this();
    if (!reply_.empty()) {
      asio::async_write(stream_, asio::buffer(reply_), [self](const asio::error_code& ec,
                                                              std::size_t) {
        self->reply_.clear();
        if (!ec) self->Answer();
      });
      return;
    }
    if constexpr (std::is_same_v<Device, sim::PrologixAdaptor>) {
      if (const std::optional<double> held = adaptor_.HeldFor()) {
        timer_.expires_after(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(*held)));
        timer_.async_wait([self](const asio::error_code& ec) {
          if (ec) return;
          self->reply_ = self->adaptor_.Due();
          self->Answer();
        });
        return;
      }
    }
    Read();
  }

  Stream stream_;
  asio::steady_timer timer_;
  std::string peer_;
  Device adaptor_;
  char buffer_[4096];
  std::string reply_;
};

template <typename Device>
void Accept(asio::ip::tcp::acceptor& acceptor, const Served& served) {
  acceptor.async_accept([&](const asio::error_code& ec, asio::ip::tcp::socket socket) {
    if (ec) return;  // the acceptor was closed: stopping
    asio::error_code ignored;
    socket.set_option(asio::ip::tcp::no_delay(true), ignored);
    const auto remote = socket.remote_endpoint(ignored);
    const std::string peer = fmt::format("{}:{}", remote.address().to_string(), remote.port());
    using TcpSession = Session<asio::ip::tcp::socket, Device>;
    std::make_shared<TcpSession>(std::move(socket), peer, served)->Start();
    Accept<Device>(acceptor, served);
  });
}

// "127.0.0.1:1234", "[::1]:1234", "localhost:0" (port 0: any free one). The
// text is judged by the resource's rules before any name is resolved.
asio::ip::tcp::endpoint ListenEndpoint(asio::io_context& io, const std::string& text) {
  const drivers::HostPort at = drivers::ReadHostPort(text, 0);
  asio::ip::tcp::resolver resolver(io);
  const auto found = resolver.resolve(at.host, std::to_string(at.port),
                                      asio::ip::tcp::resolver::passive);
  return found.begin()->endpoint();
}

int Main(int argc, char** argv) {
  CLI::App app{"Serves the simulated analyser behind a simulated Prologix-style GPIB adaptor, "
               "on TCP or on a pseudo-terminal; or, with --scpi, as a SCPI instrument on a raw "
               "socket.",
               kProgram};
  std::string listen = "127.0.0.1:1234";
  std::string sceneFile;
  bool pty = false;
  bool scpi = false;
  app.add_option("--listen", listen, "Address and port to serve on (port 0: any free one)")
      ->option_text("HOST:PORT")
      ->capture_default_str();
  CLI::Option* ptyFlag = app.add_flag(
      "--pty", pty, "Serve on a pseudo-terminal instead, as a USB adaptor's serial port");
  app.add_flag("--scpi", scpi,
               "Serve the analyser itself, speaking SCPI with LF after every message, as on "
               "port 5025")
      ->excludes(ptyFlag);
  app.add_option("--scene", sceneFile, "Scene file for the analysers (see sim/scenes)")
      ->option_text("FILE");
  std::string adaptorKind(sim::kAdaptorPersonalities[0].name);
  std::string kinds;
  std::vector<std::string> names;
  for (const sim::AdaptorPersonality& p : sim::kAdaptorPersonalities) {
    kinds += fmt::format("\n  {}: {}", p.name, p.about);
    names.emplace_back(p.name);
  }
  app.add_option("--adaptor", adaptorKind, "Which adaptor to be:" + kinds)
      ->option_text("KIND")
      ->check(CLI::IsMember(names))
      ->excludes("--scpi");
  app.set_version_flag("--version", VersionText());
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? kExitOk : kExitUsage;
  }

  SystemPlatform platform;  // the analysers' and the adaptors' clock
  sim::Scene scene;
  try {
    scene = sceneFile.empty() ? sim::DefaultScene() : sim::LoadSceneFile(sceneFile);
  } catch (const sim::SceneError& e) {
    fmt::print(stderr, "{}: {}\n", kProgram, e.what());
    return kExitUsage;
  }

  const Served served{scene, platform, *sim::FindAdaptorPersonality(adaptorKind)};
  asio::io_context io;
  asio::signal_set stop(io, SIGINT, SIGTERM);
  stop.async_wait([&](const asio::error_code& ec, int) {
    if (!ec) fmt::print(stderr, "{}: stopping\n", kProgram);
    io.stop();
  });

  // What serves: an acceptor, or the pseudo-terminal's one session.
  std::unique_ptr<asio::ip::tcp::acceptor> acceptor;
  PseudoTerminal terminal;
  if (pty) {
#if defined(ASIO_HAS_POSIX_STREAM_DESCRIPTOR)
    std::string error;
    if (!OpenPseudoTerminal(terminal, error)) {
      fmt::print(stderr, "{}: cannot open a pseudo-terminal: {}\n", kProgram, error);
      return kExitProgramEnded;
    }
    asio::posix::stream_descriptor master(io, terminal.master);
    terminal.master = -1;  // the descriptor object owns it now
    using PtySession = Session<asio::posix::stream_descriptor, sim::PrologixAdaptor>;
    std::make_shared<PtySession>(std::move(master), terminal.device, served)->Start();
    fmt::print("{}\n", terminal.device);
#else
    fmt::print(stderr, "{}: --pty needs a POSIX system; use --listen\n", kProgram);
    return kExitUsage;
#endif
  } else {
    try {
      acceptor = std::make_unique<asio::ip::tcp::acceptor>(io, ListenEndpoint(io, listen));
    } catch (const drivers::AddressError& e) {
      fmt::print(stderr, "{}: cannot listen on {}: {}; --listen takes HOST:PORT, the host {}.\n",
                 kProgram, QuotedForMessage(listen), e.what(), drivers::kHostForms);
      return kExitUsage;
    } catch (const std::exception& e) {
      fmt::print(stderr, "{}: cannot listen on {}: {}\n", kProgram, QuotedForMessage(listen),
                 e.what());
      return kExitUsage;
    }
    const auto bound = acceptor->local_endpoint();
    if (scpi) {
      Accept<sim::ScpiInstrument>(*acceptor, served);
    } else {
      Accept<sim::PrologixAdaptor>(*acceptor, served);
    }
    // The bound port on standard output, for whoever asked for port 0.
    fmt::print("{}:{}\n", bound.address().to_string(), bound.port());
    fmt::print(stderr, "{}: listening on {}:{}\n", kProgram, bound.address().to_string(),
               bound.port());
  }
  std::fflush(stdout);

  io.run();
  ClosePseudoTerminal(terminal);
  return kExitOk;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) { return tarnwick::Main(argc, argv); }
