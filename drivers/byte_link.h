// A byte stream to an adaptor with a deadline on every operation: a TCP
// connection or a serial port. Failures are values, mapped to the GPIB error
// an operator would expect, with the system's own words.
#ifndef TARNWICK_DRIVERS_BYTE_LINK_H_
#define TARNWICK_DRIVERS_BYTE_LINK_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::drivers {

struct LinkError {
  int32_t gpibError;  // ENOL nothing listens, EABO no answer in time, EDVR the rest
  std::string text;   // the system's words, with where it happened
};
using LinkResult = std::optional<LinkError>;  // nullopt: done

class ByteLink {
 public:
  virtual ~ByteLink() = default;
  // Connects or opens the port. A link that is open already stays as it is.
  virtual LinkResult Open(double timeoutSeconds) = 0;
  // Sends every byte of data in one write, or fails.
  virtual LinkResult Write(std::string_view data, double timeoutSeconds) = 0;
  // Appends at least one received byte to out, or fails.
  virtual LinkResult ReadSome(std::string& out, double timeoutSeconds) = 0;
  // Closes the connection or port; a later Open opens it again.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
};

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_BYTE_LINK_H_
