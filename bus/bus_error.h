// Failures below the run, as values: what failed, where, the driver's own
// words, and the sentence the operator is shown. Nothing below the programs
// throws for a failed call, ends the program or shows a message; the
// programs decide what a failure means.
#ifndef TARNWICK_BUS_BUS_ERROR_H_
#define TARNWICK_BUS_BUS_ERROR_H_

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tarnwick {

// The code of a failure the driver did not report: a reply that could not
// be read, a number that overflowed.
inline constexpr int32_t kNoDriverError = -1;

struct BusError {
  std::string message;   // the operator's sentence, ending in '.'
  std::string resource;  // where the analyser is, as messages name it
  std::string call;      // "ibwrt", "ibrd", "ibdev", "ibonl(1, 0)", "registration", "load"
  std::string command;   // the command the call carried or answered; may be empty
  int32_t code = kNoDriverError;  // the driver's error code (iberr)
  std::string words;     // the driver's own words, or what was wrong with a reply
  // The driver cannot serve at all (its library cannot be loaded, or it
  // refused the status words): the program is to end after the message.
  bool endsProgram = false;
};

// Done, or why not.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(BusError error) : error_(std::move(error)) {}  // NOLINT: a failure is a status
  bool ok() const { return !error_; }
  const BusError& error() const { return *error_; }

 private:
  std::optional<BusError> error_;
};

// A value, or why there is none.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}          // NOLINT: a value is a result
  Result(BusError error) : v_(std::move(error)) {}   // NOLINT: so is a failure
  bool ok() const { return v_.index() == 0; }
  const T& value() const { return std::get<0>(v_); }
  const BusError& error() const { return std::get<1>(v_); }
  // The failure as a status, for passing it up.
  Status status() const { return ok() ? Status() : Status(error()); }

 private:
  std::variant<T, BusError> v_;
};

}  // namespace tarnwick

#endif  // TARNWICK_BUS_BUS_ERROR_H_
