#include "sim/prologix_adaptor.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <utility>

#include "drivers/prologix_protocol.h"
#include "version.h"

namespace tarnwick::sim {
namespace {

namespace p = prologix;

constexpr std::size_t kReadChunk = 512;
constexpr int kTimeoutCode = kTimeout10s;

// The leading whole number of text, and the rest after blanks.
bool TakeNumber(std::string_view& text, int& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc()) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return true;
}

// How the adaptor ends an answer of its own.
constexpr std::string_view kAnswerEnd = "\r\n";
// What an adaptor with EOT turned on appends to a reply, unless told otherwise.
constexpr int kStoredEotChar = '\n';

}  // namespace

const AdaptorPersonality* FindAdaptorPersonality(std::string_view name) {
  const auto* found = std::find_if(std::begin(kAdaptorPersonalities),
                                   std::end(kAdaptorPersonalities),
                                   [&](const AdaptorPersonality& p) { return p.name == name; });
  return found == std::end(kAdaptorPersonalities) ? nullptr : found;
}

PrologixAdaptor::PrologixAdaptor(Scene scene, Platform& platform,
                                 const AdaptorPersonality& personality)
    : driver_(std::move(scene), platform), platform_(platform), personality_(personality) {
  if (personality_.eotStored) {
    eot_enable_ = 1;
    eot_char_ = kStoredEotChar;
  }
  driver_.RegisterGpibGlobalsForThread(&sta_, &err_, &cnt_, &cntl_);
  Address(0, 0);
}

void PrologixAdaptor::Send(std::string& out, std::string said, double delay) {
  if (said.empty()) return;
  const double now = platform_.NowSeconds();
  if (delay <= 0 && held_.empty()) {
    out += said;
    return;
  }
  // Answers leave in the order their commands came.
  const double due = std::max(now + delay, held_.empty() ? now : held_.back().due);
  held_.push_back({due, std::move(said)});
}

std::optional<double> PrologixAdaptor::HeldFor() const {
  if (held_.empty()) return std::nullopt;
  return std::max(0.0, held_.front().due - platform_.NowSeconds());
}

std::string PrologixAdaptor::Due() {
  std::string out;
  const double now = platform_.NowSeconds();
  while (!held_.empty() && held_.front().due <= now) {
    out += held_.front().bytes;
    held_.pop_front();
  }
  return out;
}

void PrologixAdaptor::Address(int pad, int sad) {
  if (ud_ > 0) driver_.ibonl(ud_, 0);
  pad_ = pad;
  sad_ = sad;
  ud_ = driver_.ibdev(0, pad, sad, kTimeoutCode, 1, 0);
}

std::string PrologixAdaptor::Receive(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    if (line_.size() >= kMaxLineBytes) overflowed_ = true;
    if (overflowed_) break;
    if (escape_next_) {
      escape_next_ = false;
      line_ += c;
      continue;
    }
    if (c == p::kEscape) {
      escape_next_ = true;
      continue;
    }
    if (c == '\r' || c == '\n') {
      Line(out);
      continue;
    }
    if (c == '+' && unescaped_lead_ == static_cast<int>(line_.size())) ++unescaped_lead_;
    line_ += c;
  }
  return out;
}

void PrologixAdaptor::Line(std::string& out) {
  std::string line = std::exchange(line_, {});
  const bool command = unescaped_lead_ >= static_cast<int>(p::kCommandPrefix.size());
  unescaped_lead_ = 0;
  if (line.empty()) return;  // the LF of a CR LF, or a blank line
  ++lines_;
  std::string said;
  double delay = 0;
  if (command) {
    ++commands_;
    delay = Command(std::string_view(line).substr(p::kCommandPrefix.size()), said);
  } else {
    static constexpr std::string_view kEosEnds[] = {"\r\n", "\r", "\n", ""};
    line += kEosEnds[eos_];
    driver_.ibwrt(ud_, line.data(), static_cast<long>(line.size()));
    if (auto_read_ != 0) ReadFromDevice(said);
  }
  Send(out, std::move(said), delay);
}

double PrologixAdaptor::Command(std::string_view text, std::string& out) {
  const std::string_view name = text.substr(0, text.find(' '));
  std::string_view args = text.substr(name.size());
  int value = 0;
  const bool hasValue = TakeNumber(args, value);
  struct Setting {
    std::string_view name;
    int* value;
    int min, max;
  };
  const Setting settings[] = {
      {p::kMode, &mode_, 0, 1},
      {p::kAuto, &auto_read_, 0, 1},
      {p::kEoi, &eoi_, 0, 1},
      {p::kEos, &eos_, 0, 3},
      {p::kEotEnable, &eot_enable_, 0, 1},
      {p::kEotChar, &eot_char_, 0, 255},
      {p::kReadTimeout, &read_timeout_ms_, 1, p::kMaxReadTimeoutMs},
      {p::kSaveConfig, &save_config_, 0, 1},
  };
  if (name == p::kVersion) {
    out += "Tarnwick simulated GPIB-ETHERNET adaptor, version ";
    out += kProductVersion;
    out += kAnswerEnd;
    return personality_.versionDelayMs / 1000.0;
  }
  if (name == p::kAddress) {
    if (!hasValue) {
      if (personality_.answersQuestions) (out += std::to_string(pad_)) += kAnswerEnd;
      return 0;
    }
    int sad = 0;
    if (value >= 0 && value <= kMaxPrimaryAddress && (!TakeNumber(args, sad) || sad == 0 ||
                                                       (sad >= 96 && sad <= 126))) {
      Address(value, sad);
    }
  } else if (name == p::kRead) {
    ReadFromDevice(out);
  } else if (name == p::kLocal || name == "clr" || name == "ifc" || name == "trg") {
    // Bus actions with nothing to show on a simulated bus.
  } else if (const auto* s = std::find_if(std::begin(settings), std::end(settings),
                                          [&](const Setting& s) { return s.name == name; });
             s != std::end(settings) && (name != p::kSaveConfig || personality_.knowsSaveConfig)) {
    if (!hasValue) {
      if (personality_.answersQuestions) (out += std::to_string(*s->value)) += kAnswerEnd;
    } else if (value >= s->min && value <= s->max) {
      *s->value = s->value == &read_timeout_ms_ ? std::min(value, personality_.readTimeoutCapMs)
                                                : value;
    }
  } else {
    (out += p::kUnrecognized) += kAnswerEnd;
  }
  return 0;
}

void PrologixAdaptor::ReadFromDevice(std::string& out) {
  char chunk[kReadChunk];
  for (;;) {
    const int status = driver_.ibrd(ud_, chunk, static_cast<long>(sizeof chunk));
    if ((status & kStatusErr) != 0) return;
    out.append(chunk, static_cast<std::size_t>(cntl_));
    if ((status & kStatusEnd) != 0) {
      if (eot_enable_ != 0) out += static_cast<char>(eot_char_);
      return;
    }
  }
}

}  // namespace tarnwick::sim
