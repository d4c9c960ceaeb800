// A byte stream to an adaptor: a TCP connection or a serial port. Every
// operation has a time limit and asks the stop check as it waits; failures
// are values, mapped to the GPIB error an operator would expect, with the
// system's own words.
#ifndef TARNWICK_DRIVERS_BYTE_LINK_H_
#define TARNWICK_DRIVERS_BYTE_LINK_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tarnwick::drivers {

// What ends a line on every line-based peer.
inline constexpr char kLineEnd = '\n';

// How often every wait asks the stop check, at the most.
inline constexpr double kStopPollSeconds = 0.1;

struct LinkError {
  int32_t gpibError;  // ENOL nothing listens, EABO no answer in time, EDVR the rest
  std::string text;   // the system's words, with where it happened
  bool stopped = false;  // the stop check ended the wait, not the link
};
using LinkResult = std::optional<LinkError>;  // nullopt: done

class ByteLink {
 public:
  virtual ~ByteLink() = default;
  // Connects or opens the port within timeoutSeconds (0: no limit). A link
  // that is open already stays as it is.
  virtual LinkResult Open(double timeoutSeconds) = 0;
  // Sends every byte of data within timeoutSeconds (0: no limit), or fails.
  virtual LinkResult Write(std::string_view data, double timeoutSeconds) = 0;
  // Appends to out at most max of the bytes received, waiting at most
  // waitSeconds for the first of them (0: only what has arrived already).
  // Nothing arriving in that time is not a failure: out stays as it was.
  virtual LinkResult ReadSome(std::string& out, std::size_t max, double waitSeconds) = 0;
  // Closes the connection or port; a later Open opens it again.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // What every wait asks, at least every kStopPollSeconds; when it says
  // stop, the wait ends with a stopped failure.
  void SetStopCheck(std::function<bool()> check) { stop_check_ = std::move(check); }

 protected:
  bool StopRequested() const { return stop_check_ && stop_check_(); }

 private:
  std::function<bool()> stop_check_;
};

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_BYTE_LINK_H_
