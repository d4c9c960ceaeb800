#include "drivers/line_reader.h"

#include <algorithm>

#include <fmt/format.h>

#include "bus/gpib_driver.h"
#include "text/quote.h"

namespace tarnwick::drivers {
namespace {

constexpr std::size_t kChunk = 512;
// How much unasked input one Drain reads and drops at most, so that a peer
// that never stops sending cannot hold it.
constexpr std::size_t kDrainLimit = 64 * 1024;

}  // namespace

LinkResult LineReader::Read(std::string& piece, const Wait& wait) {
  piece.clear();
  if (wait.cap == 0) return std::nullopt;
  double quietUntil = platform_.NowSeconds() + wait.quietSeconds;
  bool looked = false;
  for (;;) {
    const std::size_t end = received_.find(kLineEnd);
    std::size_t take = end < wait.cap ? end + 1 : 0;
    if (take == 0 && received_.size() >= wait.cap) take = wait.cap;
    if (take > 0) {
      piece.assign(received_, 0, take);
      received_.erase(0, take);
      return std::nullopt;
    }
    double now = platform_.NowSeconds();
    // One look at the link after the deadline, for what arrived just in time.
    if (looked && now >= wait.deadline) {
      return LinkError{EABO, "the reply did not arrive in time"};
    }
    if (platform_.StopRequested()) return LinkError{EABO, "stopped while waiting for a reply", true};
    const bool asksAgain = wait.onQuiet && wait.quietSeconds > 0;
    if (asksAgain && now >= quietUntil) {
      if (LinkResult error = wait.onQuiet()) return error;
      quietUntil = now + wait.quietSeconds;
    }
    const double until = asksAgain ? std::min(wait.deadline, quietUntil) : wait.deadline;
    const double slice = std::clamp(until - now, 0.0, kStopPollSeconds);
    const std::size_t before = received_.size();
    if (LinkResult error = link_.ReadSome(received_, kChunk, slice)) return error;
    looked = true;
    if (received_.size() > before) quietUntil = platform_.NowSeconds() + wait.quietSeconds;
  }
}

void LineReader::SkipLine() {
  const std::size_t end = received_.find(kLineEnd);
  received_.erase(0, end == std::string::npos ? received_.size() : end + 1);
}

LinkResult LineReader::Drain(std::string& unasked) {
  unasked = std::move(received_);
  received_.clear();
  if (unasked.size() > kUnaskedKept) unasked.resize(kUnaskedKept);
  std::size_t dropped = 0;
  for (;;) {
    const std::size_t before = unasked.size();
    if (LinkResult error = link_.ReadSome(unasked, kChunk, 0)) return error;
    if (unasked.size() == before) break;
    if (unasked.size() > kUnaskedKept) {
      dropped += unasked.size() - kUnaskedKept;
      unasked.resize(kUnaskedKept);
    }
    if (dropped > kDrainLimit) break;
  }
  return std::nullopt;
}

LinkResult LineReader::RefuseUnasked(std::string_view where) {
  std::string unasked;
  if (LinkResult error = Drain(unasked)) return error;
  if (unasked.empty()) return std::nullopt;
  return LinkError{EDVR, fmt::format("{} sent {} that nobody asked for; it would have been taken "
                                     "for the next reply", where, QuotedForMessage(unasked))};
}

}  // namespace tarnwick::drivers
