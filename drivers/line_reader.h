// Replies from a byte link, one LF-ended line each, read the way every
// byte from outside is read: one deadline per line on the platform's clock
// however its bytes trickle in, one cap per read, the stop check asked at
// least every kStopPollSeconds, and nothing taken for a reply that arrived
// before it was asked for. The Prologix-style adaptors and any other
// line-based transport share it.
#ifndef TARNWICK_DRIVERS_LINE_READER_H_
#define TARNWICK_DRIVERS_LINE_READER_H_

#include <cstddef>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

#include "bus/platform.h"
#include "drivers/byte_link.h"

namespace tarnwick::drivers {

inline constexpr double kNoDeadline = std::numeric_limits<double>::infinity();

class LineReader {
 public:
  LineReader(ByteLink& link, Platform& platform) : link_(link), platform_(platform) {}

  struct Wait {
    double deadline = kNoDeadline;  // on the platform's clock
    std::size_t cap = 0;            // at most this many bytes per Read
    // When set, called each time quietSeconds pass without a byte arriving:
    // to ask again, say, when the other side gives up sooner than we do.
    double quietSeconds = 0;
    std::function<LinkResult()> onQuiet;
  };

  // Moves into piece the next bytes of the current line: up to and including
  // its LF, or the first wait.cap bytes when no LF comes within them (the
  // rest stays for the next Read). Fails with EABO when the deadline passes
  // first, with a stopped failure when the stop check says so, or as the
  // link fails.
  LinkResult Read(std::string& piece, const Wait& wait);

  // Forgets what has arrived of a line the caller will not read to its end.
  void SkipLine();

  // Moves into unasked what arrived that nobody asked for: what came after
  // the last line, and whatever the link holds now. Never waits; keeps the
  // first kUnaskedKept bytes and drops the rest.
  LinkResult Drain(std::string& unasked);
  static constexpr std::size_t kUnaskedKept = 256;
  // Drain, and a failure naming the peer at where and what it sent when
  // anything arrived unasked: it would have been taken for the next reply.
  LinkResult RefuseUnasked(std::string_view where);

  // Forgets everything received, for a new connection.
  void Reset() { received_.clear(); }

 private:
  ByteLink& link_;
  Platform& platform_;
  std::string received_;  // received and not handed out yet
};

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_LINE_READER_H_
