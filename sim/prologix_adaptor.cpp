#include "sim/prologix_adaptor.h"

#include <charconv>
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

}  // namespace

PrologixAdaptor::PrologixAdaptor(Scene scene, Platform& platform)
    : driver_(std::move(scene), platform) {
  driver_.RegisterGpibGlobalsForThread(&sta_, &err_, &cnt_, &cntl_);
  Address(0, 0);
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
  if (command) {
    ++commands_;
    Command(std::string_view(line).substr(p::kCommandPrefix.size()), out);
    return;
  }
  static constexpr std::string_view kEosEnds[] = {"\r\n", "\r", "\n", ""};
  line += kEosEnds[eos_];
  driver_.ibwrt(ud_, line.data(), static_cast<long>(line.size()));
  if (auto_read_) ReadFromDevice(out);
}

void PrologixAdaptor::Command(std::string_view text, std::string& out) {
  const std::string_view name = text.substr(0, text.find(' '));
  std::string_view args = text.substr(name.size());
  int value = 0;
  const bool hasValue = TakeNumber(args, value);
  if (name == p::kVersion) {
    out += "Tarnwick simulated GPIB-ETHERNET adaptor, version ";
    out += kProductVersion;
    out += "\r\n";
  } else if (name == p::kAddress) {
    if (!hasValue) {
      out += std::to_string(pad_) + "\r\n";
      return;
    }
    int sad = 0;
    if (value >= 0 && value <= kMaxPrimaryAddress && (!TakeNumber(args, sad) || sad == 0 ||
                                                       (sad >= 96 && sad <= 126))) {
      Address(value, sad);
    }
  } else if (name == p::kRead) {
    ReadFromDevice(out);
  } else if (name == p::kAuto && hasValue) {
    auto_read_ = value != 0;
  } else if (name == p::kEos && hasValue && value >= 0 && value <= 3) {
    eos_ = value;
  }
  // "++mode", "++eoi", "++loc" and anything else: nothing to do here.
}

void PrologixAdaptor::ReadFromDevice(std::string& out) {
  char chunk[kReadChunk];
  for (;;) {
    const int status = driver_.ibrd(ud_, chunk, static_cast<long>(sizeof chunk));
    if ((status & kStatusErr) != 0) return;
    out.append(chunk, static_cast<std::size_t>(cntl_));
    if ((status & kStatusEnd) != 0) return;
  }
}

}  // namespace tarnwick::sim
