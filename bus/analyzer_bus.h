// Everything Tarnwick says to the analyser passes through AnalyzerBus: the
// registration of the driver's status words, the wrapped driver operations,
// the query, and the averaging wait. One object per process holds the status
// words and the analyser's descriptor.
#ifndef TARNWICK_BUS_ANALYZER_BUS_H_
#define TARNWICK_BUS_ANALYZER_BUS_H_

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "bus/analyzer_address.h"
#include "bus/gpib_driver.h"
#include "bus/platform.h"

namespace tarnwick {

// The words the driver writes after every call once registered, and the
// program's 16-bit copies of them, refreshed after every wrapped call.
struct NiGlobals {
  int32_t LongStatus = 0;
  int32_t LongError = 0;
  int32_t LongCount = 0;
  int32_t ibcntl = 0;
  int16_t ibsta = 0;
  int16_t iberr = 0;
  int16_t ibcnt = 0;
};

// A driver call of a run failed, or the analyser's reply could not be read
// as a number. what() names the call, the command, the analyser and the
// driver's error, for the operator.
class BusFault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Registration answers that end the program, shown before it ends.
inline constexpr std::string_view kMsgNotMultiThreaded =
    "Operating System is not multi-threaded. Quitting the Program!";
inline constexpr std::string_view kMsgUnableToRegister =
    "Unable to register GPIB thread globals. Quitting the Program!";
inline constexpr std::string_view kMsgUnknownRegistrationError =
    "Unknown Error for Registering GPIB Globals!!! Quitting the Program!";

// Results of WaitAveraging and WaitOperation.
inline constexpr int16_t kWaitDone = 0;
inline constexpr int16_t kWaitError = 1;
inline constexpr int16_t kWaitTimeout = 2;
inline constexpr int16_t kWaitInterrupted = 3;  // the stop check asked to end it

// How long the averaging wait gives a sweep.
inline constexpr int32_t kAveragingTimeoutSeconds = 10;

class AnalyzerBus {
 public:
  AnalyzerBus(GpibDriver& driver, Platform& platform);
  // The driver holds the addresses of the registered words: never move them.
  AnalyzerBus(const AnalyzerBus&) = delete;
  AnalyzerBus& operator=(const AnalyzerBus&) = delete;

  // Registers the four status words with the driver. A refusal shows its
  // message and ends the program; so does a refusal of the fresh
  // registration that follows an "already registered" answer.
  void RegisterGpibGlobals();

  // The wrapped driver operations. Each registers the status words first if
  // that has not happened yet, calls the driver, and copies the status words.
  // OpenDevice returns the descriptor as the driver gave it, also when the
  // open failed: CheckOpen tells.
  int16_t OpenDevice(int16_t board, int16_t pad, int16_t sad, int16_t tmo,
                     int16_t eot, int16_t eos);
  // Throws BusFault when the OpenDevice just made failed (a negative
  // descriptor, or ERR set).
  void CheckOpen(int16_t descriptor);
  void SetOnline(int16_t ud, int16_t v);
  void WriteText(int16_t ud, std::string_view text);
  // Reads up to buffer.size() bytes into the front of buffer; bytes beyond
  // those received keep their earlier contents. Returns the count received.
  int32_t ReadText(int16_t ud, std::string& buffer);

  // Writes command to Analyzer, reads the reply into buffer and returns the
  // number at its front. Only the bytes this read received are parsed, so a
  // short reply never picks up the tail of an earlier, longer one.
  double QueryValue(std::string_view command, std::string& buffer);

  // Waits for the end of an averaged sweep: 0 done, 1 error, 2 timeout,
  // 3 interrupted by the stop check.
  int16_t WaitAveraging();
  int16_t WaitOperation(int32_t timeoutSeconds);

  // Refreshes ibsta, iberr and ibcnt from the registered words. Throws
  // OverflowError when ERR is set and the error word does not fit 16 bits;
  // without ERR the error word means nothing and is not judged.
  void CopyStatusWords();

  // While on, a driver call that sets ERR, a write that sends fewer bytes
  // than it was given, or a query whose reply is empty, cut short by the
  // buffer or has no number at its front throws BusFault naming the
  // operation, the command, the analyser's address and the driver's error.
  // Runs turn this on, their closing steps too.
  void SetFaultChecks(bool on) { fault_checks_ = on; }

  // Asked on every pass of a status wait; true ends the wait at once with
  // kWaitInterrupted.
  void SetStopCheck(std::function<bool()> check) { stop_check_ = std::move(check); }

  const NiGlobals& globals() const { return globals_; }
  int16_t GlobalsRegistered() const { return globals_registered_; }

  // Where runs open the analyser and how messages name it.
  void SetAddress(AnalyzerAddress address) { address_ = std::move(address); }
  const AnalyzerAddress& address() const { return address_; }

  // The analyser's device descriptor, set from OpenDevice by every run.
  int16_t Analyzer = 0;

 private:
  void EnsureRegistered();
  // Throws BusFault when checks are on and the last call set ERR.
  void CheckCall(std::string_view operation, std::string_view text);
  [[noreturn]] void Fault(std::string_view what, std::string_view detail);
  // The driver's error code with its meaning and the driver's own words.
  std::string ErrorText() const;
  // "failed with " and ErrorText().
  std::string DriverError() const { return "failed with " + ErrorText(); }
  // Answers a registration result other than 0 or 1: message and the end.
  [[noreturn]] void RegistrationRefused(int rc);

  GpibDriver& driver_;
  Platform& platform_;
  NiGlobals globals_;
  int16_t globals_registered_ = 0;
  bool fault_checks_ = false;
  std::function<bool()> stop_check_;
  AnalyzerAddress address_;
  // Where the last OpenDevice looked for the analyser, for messages.
  int board_ = 0;
  int pad_ = 0;
  // The command a read answers, for messages.
  std::string pending_command_;
};

}  // namespace tarnwick

#endif  // TARNWICK_BUS_ANALYZER_BUS_H_
