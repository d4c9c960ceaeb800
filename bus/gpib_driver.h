// The seam to the GPIB driver: the six NI-488.2 functions Tarnwick uses.
// Every way to reach an analyser (drivers/), the simulated analyser (sim/) and
// the tests' scripted driver implement it, writing the status words through
// StatusWordDriver (status_words.h); decorators such as the bus trace derive
// from DriverWrapper below and change only what they must.
#ifndef TARNWICK_BUS_GPIB_DRIVER_H_
#define TARNWICK_BUS_GPIB_DRIVER_H_

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

// Bits of the driver's status word (ibsta).
inline constexpr int32_t kStatusErr = 0x8000;   // the call failed; iberr says why
inline constexpr int32_t kStatusTimo = 0x4000;  // the I/O time limit ran out
inline constexpr int32_t kStatusEnd = 0x2000;   // END or EOS seen on a read
inline constexpr int32_t kStatusCmpl = 0x0100;  // I/O complete

// Driver error codes (iberr), valid when kStatusErr is set.
enum GpibErrorCode : int32_t {
  EDVR = 0, ECIC = 1, ENOL = 2, EADR = 3, EARG = 4, ESAC = 5, EABO = 6,
  ENEB = 7, EDMA = 8, EOIP = 10, ECAP = 11, EFSO = 12, EBUS = 14,
  ESTB = 15, ESRQ = 16, ETAB = 20, ELCK = 21, EARM = 22, EHDL = 23, ECFG = 24,
  EWIP = 26, ERST = 27, EPWR = 28,
};

// "ENOL (2, no listener)": the code's name and meaning for operator messages.
// For EDVR, count is the count word, where drivers leave the system's error
// number: "EDVR (0, system error; errno 2, No such file or directory)".
std::string DescribeGpibError(int32_t code, int32_t count = 0);

// Highest primary address on a GPIB bus.
inline constexpr int kMaxPrimaryAddress = 30;

// Timeout codes for ibdev and ibtmo: T10s, ten seconds; T300ms, for a
// question whose answer, if any, comes at once.
inline constexpr int kTimeout10s = 13;
inline constexpr int kTimeout300ms = 10;

class GpibDriver {
 public:
  virtual ~GpibDriver() = default;

  // Makes the driver ready to serve: loads its shared library, say. Called
  // once, before the first other call, so that nothing is loaded before the
  // first START. Returns why the driver cannot serve, in the operator's words;
  // nothing when it can. After a failure no other call may be made.
  virtual std::optional<std::string> Load() { return std::nullopt; }

  // Hands the driver the addresses of four words that it writes at the end of
  // every later call on this thread: status, error, count, 32-bit count.
  // Returns 0 registered, 1 already registered (the caller unregisters and
  // registers again), 2 the system is not multi-threaded, 3 unable to register.
  virtual int RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err,
                                           int32_t* cnt, int32_t* cntl) = 0;
  // Stops the driver writing the registered words.
  virtual int UnregisterGpibGlobalsForThread() = 0;

  // Opens the device at board/primary/secondary address with the given timeout
  // code, end-of-transmission and end-of-string modes. Returns a descriptor,
  // negative on failure.
  virtual int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) = 0;
  // Takes a device or board descriptor online (v != 0) or offline (v == 0).
  virtual int ibonl(int ud, int v) = 0;
  // Gives the device's later reads and writes the time limit of timeout code
  // v. A driver that cannot fails with ECAP.
  virtual int ibtmo(int ud, int v) = 0;
  // Sends cnt bytes; with eot on, END goes with the last byte. A write that
  // does not set ERR sent every byte; the count word says how many (the bus
  // treats a smaller count as a failed write).
  virtual int ibwrt(int ud, const void* buf, long cnt) = 0;
  // Places up to cnt received bytes at the front of buf and leaves the rest of
  // buf untouched; the count word says how many arrived.
  virtual int ibrd(int ud, void* buf, long cnt) = 0;

  // The system's or library's own words for the last call that set ERR
  // ("Connection refused", a VISA status description); empty when the driver
  // has nothing beyond the error code.
  virtual std::string LastErrorText() const { return {}; }

  // What serves the calls, for the first line of a trace: the library that was
  // loaded and how its status words arrive. Empty when there is nothing worth
  // saying. Meaningful once a call has been made.
  virtual std::string Description() const { return {}; }

  // What an adaptor between Tarnwick and the analyser said of itself at the
  // last open (a Prologix-style one's "++ver"); empty when there is none.
  virtual std::string AdaptorVersion() const { return {}; }

  // What the driver noticed during the last call that its status does not
  // say (an adaptor that left a setting unconfirmed), for the trace; empty
  // when nothing.
  virtual std::string LastNote() const { return {}; }
};

// Forwards every call to another driver, so that a decorator (the bus trace,
// a fault a test injects) overrides only the calls it changes.
class DriverWrapper : public GpibDriver {
 public:
  explicit DriverWrapper(GpibDriver& target) : target_(target) {}

  std::optional<std::string> Load() override { return target_.Load(); }
  int RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err, int32_t* cnt,
                                   int32_t* cntl) override {
    return target_.RegisterGpibGlobalsForThread(sta, err, cnt, cntl);
  }
  int UnregisterGpibGlobalsForThread() override { return target_.UnregisterGpibGlobalsForThread(); }
  int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override {
    return target_.ibdev(board, pad, sad, tmo, eot, eos);
  }
  int ibonl(int ud, int v) override { return target_.ibonl(ud, v); }
  int ibtmo(int ud, int v) override { return target_.ibtmo(ud, v); }
  int ibwrt(int ud, const void* buf, long cnt) override { return target_.ibwrt(ud, buf, cnt); }
  int ibrd(int ud, void* buf, long cnt) override { return target_.ibrd(ud, buf, cnt); }
  std::string LastErrorText() const override { return target_.LastErrorText(); }
  std::string Description() const override { return target_.Description(); }
  std::string AdaptorVersion() const override { return target_.AdaptorVersion(); }
  std::string LastNote() const override { return target_.LastNote(); }

 protected:
  GpibDriver& target() const { return target_; }

 private:
  GpibDriver& target_;
};

}  // namespace tarnwick

#endif  // TARNWICK_BUS_GPIB_DRIVER_H_
