// The seam to the GPIB driver: the six NI-488.2 functions Tarnwick uses.
// Implementations: the shared-library binding (drivers/driver_library.h), the bus
// trace decorator (driver_trace.h), the simulated analyser (sim/), and the
// scripted fake the tests use.
#ifndef TARNWICK_BUS_GPIB_DRIVER_H_
#define TARNWICK_BUS_GPIB_DRIVER_H_

#include <cstdint>
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

// Timeout code for ibdev: T10s, ten seconds.
inline constexpr int kTimeout10s = 13;

class GpibDriver {
 public:
  virtual ~GpibDriver() = default;

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
};

}  // namespace tarnwick

#endif  // TARNWICK_BUS_GPIB_DRIVER_H_
