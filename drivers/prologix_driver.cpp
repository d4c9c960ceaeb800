#include "drivers/prologix_driver.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>
#include <utility>

#include <fmt/format.h>

#include "drivers/prologix_protocol.h"
#include "text/quote.h"

namespace tarnwick::drivers {
namespace {

namespace p = prologix;


// Every Prologix-style adaptor and its clones name themselves a GPIB
// controller in their version reply; anything else is not one.
bool LooksLikeAdaptor(std::string_view reply) {
  std::string upper(reply);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper.find("GPIB") != std::string::npos;
}

std::string AddressArgument(int pad, int sad) {
  return sad == 0 ? std::to_string(pad) : fmt::format("{} {}", pad, sad);
}

// A whole number of milliseconds, or 0.
int Milliseconds(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value > 0 ? value : 0;
}

// How long the adaptor stays silent before it is sure to have given up a
// read: its own read timeout, and a margin for its answer to travel.
double QuietSeconds(double adaptorTimeout) {
  return adaptorTimeout + std::max(0.25, adaptorTimeout / 4);
}

}  // namespace

PrologixDriver::PrologixDriver(std::unique_ptr<ByteLink> link, std::string resource,
                               std::string transport, Platform& platform)
    : LinkDriver(std::move(link), std::move(resource), platform), transport_(std::move(transport)) {}

std::string PrologixDriver::Description() const {
  return fmt::format("Prologix-style GPIB adaptor over {}, {}", transport_, resource_);
}

int PrologixDriver::ibdev(int board, int pad, int sad, int tmo, int /*eot*/, int /*eos*/) {
  if (board != kBoard) return Fail(ENEB, fmt::format("{} has only board 0", resource_)), -1;
  if (pad < 0 || pad > kMaxPrimaryAddress || (sad != 0 && (sad < 96 || sad > 126))) {
    return Fail(EARG, {}), -1;
  }
  timeout_s_ = TimeoutSeconds(tmo);
  if (!link_->IsOpen()) {
    if (const LinkResult error = link_->Open(timeout_s_)) return FailWith(*error), -1;
    if (!SetUp(pad, sad)) return -1;
  } else if (pad != pad_ || sad != sad_) {
    const LinkResult error = link_->Write(p::CommandLine(p::kAddress, AddressArgument(pad, sad)),
                                          timeout_s_);
    if (error) return FailWith(*error), -1;
  }
  pad_ = pad;
  sad_ = sad;
  return Opened();
}

bool PrologixDriver::SetUp(int pad, int sad) {
  reader_.Reset();
  setup_owed_ = false;
  std::string version;
  LinkResult error = Ask(p::CommandLine(p::kVersion));
  if (!error) error = Answer(version, p::kVersion, Deadline(), timeout_s_);
  if (!error && !LooksLikeAdaptor(version)) {
    error = LinkError{EDVR, fmt::format("{} answered \"++{}\" with {}, not as a Prologix-style "
                                        "GPIB adaptor", resource_, p::kVersion,
                                        QuotedForMessage(version))};
  }
  // "++savecfg 0" first, so that none of the settings after it is written to
  // the adaptor's memory; then the question of which read timeout it took,
  // which many adaptors leave unanswered, and "++ver", which every adaptor
  // answers: its answer says that no other answer can follow.
  const std::string setup =
      p::CommandLine(p::kSaveConfig, p::kSaveOff) + p::CommandLine(p::kMode, p::kControllerMode) +
      p::CommandLine(p::kAuto, p::kAutoOff) + p::CommandLine(p::kEoi, p::kEoiOn) +
      p::CommandLine(p::kEos, p::kEosNone) + p::CommandLine(p::kEotEnable, p::kEotOff) +
      p::CommandLine(p::kReadTimeout, std::to_string(p::kMaxReadTimeoutMs)) +
      p::CommandLine(p::kAddress, AddressArgument(pad, sad)) + p::CommandLine(p::kReadTimeout) +
      p::CommandLine(p::kVersion);
  if (!error) error = Ask(setup);
  if (!error) {
    version_ = std::move(version);
    read_timeout_s_ = p::kMaxReadTimeoutMs / 1000.0;
    read_timeout_confirmed_ = read_timeout_noted_ = false;
    setup_owed_ = true;
    error = SettleSetUp(platform_.NowSeconds() + kOptionalAnswerSeconds, false);
  }
  if (error) {
    version_.clear();
    link_->Close();
    FailWith(*error);
    return false;
  }
  return true;
}

LinkResult PrologixDriver::SettleSetUp(double deadline, bool required) {
  while (setup_owed_) {
    std::string answer;
    LinkResult error = Answer(answer, p::kVersion, deadline, required ? timeout_s_
                                                                      : kOptionalAnswerSeconds);
    if (error && error->gpibError == EABO && !error->stopped && !required) {
      NoteReadTimeoutTaken(fmt::format("no answer within {:g} s", kOptionalAnswerSeconds));
      return std::nullopt;
    }
    if (error) return error;
    if (answer == version_) {
      setup_owed_ = false;
    } else if (const int ms = Milliseconds(answer); ms > 0) {
      read_timeout_s_ = ms / 1000.0;
      read_timeout_confirmed_ = true;
      if (read_timeout_noted_) {
        Note(fmt::format("\"++{}\" answered late: {} ms", p::kReadTimeout, ms));
      }
    } else if (answer != p::kUnrecognized) {
      return LinkError{EDVR, fmt::format("{} answered \"++{}\" with {}, not with its read timeout "
                                         "in milliseconds", resource_, p::kReadTimeout,
                                         QuotedForMessage(answer))};
    }
  }
  if (!read_timeout_confirmed_) NoteReadTimeoutTaken("not answered");
  return std::nullopt;
}

void PrologixDriver::NoteReadTimeoutTaken(std::string_view why) {
  if (std::exchange(read_timeout_noted_, true)) return;
  Note(fmt::format("\"++{}\" {}: the read timeout is taken as set, {} ms", p::kReadTimeout, why,
                   p::kMaxReadTimeoutMs));
}

LinkResult PrologixDriver::Ask(const std::string& lines) {
  // The set-up's answers first, so that none is taken for this question's.
  if (setup_owed_) {
    if (LinkResult error = SettleSetUp(Deadline(), true)) return error;
  }
  // With "++auto 0" the adaptor speaks only when asked: anything waiting now
  // would be taken for the answer to this question, and every later answer
  // for the one before it.
  if (LinkResult error = reader_.RefuseUnasked(resource_)) return error;
  return link_->Write(lines, timeout_s_);
}

LinkResult PrologixDriver::Answer(std::string& answer, std::string_view command, double deadline,
                                  double seconds) {
  LineReader::Wait wait;
  wait.deadline = deadline;
  wait.cap = kAdaptorAnswerCap;
  LinkResult error = reader_.Read(answer, wait);
  if (error && error->gpibError == EABO && !error->stopped) {
    error->text = fmt::format("nothing answered \"++{}\" at {} within {:g} s; is it a "
                              "Prologix-style GPIB adaptor?", command, resource_, seconds);
  }
  if (!error && answer.back() != kLineEnd) {
    error = LinkError{EDVR, fmt::format("{} answered \"++{}\" with more than {} bytes: {}",
                                        resource_, command, kAdaptorAnswerCap,
                                        QuotedForMessage(answer))};
  }
  answer.erase(answer.find_last_not_of("\r\n") + 1);
  return error;
}

int PrologixDriver::ibonl(int ud, int v) {
  if (const std::optional<int> done = NoDeviceToTakeOffline(ud, v)) return *done;
  device_open_ = false;
  pad_ = -1;
  in_reply_ = false;
  setup_owed_ = false;
  reader_.Reset();
  const LinkResult error = link_->Write(p::CommandLine(p::kLocal), timeout_s_);
  link_->Close();
  return error ? FailWith(*error) : Finish(kStatusCmpl);
}

int PrologixDriver::ibwrt(int ud, const void* buf, long cnt) {
  if (const std::optional<int> refused = Refuse(ud, buf, cnt)) return *refused;
  NewMessage();
  const std::string_view data(static_cast<const char*>(buf), static_cast<std::size_t>(cnt));
  if (const LinkResult error = link_->Write(p::DataLine(data), timeout_s_)) return FailWith(*error);
  return Finish(kStatusCmpl, 0, cnt);
}

int PrologixDriver::ibrd(int ud, void* buf, long cnt) {
  if (const std::optional<int> refused = Refuse(ud, buf, cnt)) return *refused;
  if (cnt == 0) return Finish(kStatusCmpl);
  const std::string readCommand = p::CommandLine(p::kRead, p::kUntilEoi);
  if (!in_reply_) {
    if (const LinkResult error = Ask(readCommand)) return FailWith(*error);
    in_reply_ = true;
    reply_deadline_ = Deadline();
    reads_asked_ = 1;
  }
  LineReader::Wait wait;
  // The adaptor gives a read up after its own timeout; the analyser may need
  // longer (a long sweep), so it is asked again until our deadline.
  wait.quietSeconds = QuietSeconds(read_timeout_s_);
  wait.onQuiet = [&] {
    ++reads_asked_;
    return link_->Write(readCommand, timeout_s_);
  };
  return HandOut(buf, cnt, std::move(wait), [this] {
    return fmt::format(
        "no whole reply came through the Prologix-style adaptor at {} within {:g} s (its read "
        "timeout is {}{:g} ms; \"++{} {}\" was sent {})",
        resource_, timeout_s_, read_timeout_confirmed_ ? "" : "taken as set, ",
        read_timeout_s_ * 1000, p::kRead, p::kUntilEoi,
        reads_asked_ == 1 ? std::string("once") : fmt::format("{} times", reads_asked_));
  });
}

}  // namespace tarnwick::drivers
