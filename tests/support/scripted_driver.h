// A driver for tests: records every call and answers reads from a script.
#ifndef TARNWICK_TESTS_SUPPORT_SCRIPTED_DRIVER_H_
#define TARNWICK_TESTS_SUPPORT_SCRIPTED_DRIVER_H_

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bus/status_words.h"

namespace tarnwick::testing {

class ScriptedDriver : public StatusWordDriver {
 public:
  // What a read receives, given the text of the last write; nullopt times out.
  using Responder = std::function<std::optional<std::string>(std::string_view lastWrite)>;
  // The driver error a write of this text fails with, or nullopt for success.
  using WriteFailure = std::function<std::optional<int32_t>(std::string_view text)>;

  std::optional<std::string> Load() override { return loadFailure; }
  int RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err, int32_t* cnt,
                                   int32_t* cntl) override;
  int UnregisterGpibGlobalsForThread() override;
  int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
  int ibonl(int ud, int v) override;
  int ibwrt(int ud, const void* buf, long cnt) override;
  int ibrd(int ud, void* buf, long cnt) override;

  // Every call in order: "Register", "Unregister", "ibdev(0, 8, 0, 13, 1, 0)",
  // "ibonl(1, 0)", "ibwrt DY 0.1", "ibrd(1, 50)".
  std::vector<std::string> calls;
  // Only the texts written, in order.
  std::vector<std::string> writes;

  // The number that follows prefix in the last write that starts with it, up
  // to its unit ("FA " gives the start of the segment swept); "0" when none.
  std::string LastNumberAfter(std::string_view prefix) const;

  Responder responder;
  WriteFailure writeFailure;
  // Answers to successive registrations; 0 once the queue is empty.
  std::deque<int> registrationResults;
  int descriptor = 1;  // what ibdev returns
  int32_t idleError = 0;    // what the error word holds after a call that worked
  std::optional<int32_t> onlineError;  // every ibonl fails with it
  std::optional<std::string> loadFailure;  // why Load says the driver cannot serve

 private:
  std::string last_write_;
};

}  // namespace tarnwick::testing

#endif  // TARNWICK_TESTS_SUPPORT_SCRIPTED_DRIVER_H_
