// A stand-in GPIB driver library for the binding's tests, built in three
// shapes: with the registration functions (TEST_LIBRARY_REGISTERS=1); with
// only a per-thread status, as linux-gpib has (ThreadIbcntl); or as NI's
// Linux library (TEST_LIBRARY_NI_LINUX=1: unsigned int ThreadIbsta, ThreadIberr
// and ThreadIbcnt, no ThreadIbcntl, size_t counts). An analyser listens at
// address 8 and answers the status queries with fixed replies, and the
// marker's with a peak of -45.3 dBm at the start of the segment swept.
// TEST_GPIB_REGISTRATION sets what the first registration answers;
// TEST_GPIB_AVERAGING_ERROR makes every averaged sweep end with an error.
// Board 3 fails to open as an unconfigured linux-gpib board does.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bus/gpib_driver.h"

#ifdef _WIN32
#define EXPORT extern "C" __declspec(dllexport)
#define CALL __stdcall
#else
#define EXPORT extern "C" __attribute__((visibility("default")))
#define CALL
#endif

#if TEST_LIBRARY_NI_LINUX
using Count = std::size_t;
#else
using Count = long;
#endif

namespace {

using namespace tarnwick;
constexpr int kAnalyzerAddress = 8;
constexpr int kUnconfiguredBoard = 3;

thread_local int status = 0;
thread_local int error = 0;
thread_local long count = 0;

int* regSta = nullptr;
int* regErr = nullptr;
int* regCnt = nullptr;
long* regCntl = nullptr;
[[maybe_unused]] bool firstRegistration = true;

int analyzerDescriptor = -1;
std::string lastWrite;
std::string segmentStart = "0";  // the number of the last "FA <Hz>HZ"
std::string unread;  // the rest of a reply a short read left

int Finish(int sta, int err, long cnt) {
  status = sta;
  error = err;
  count = cnt;
  if (regSta != nullptr) {
    *regSta = sta;
    *regErr = err;
    *regCnt = static_cast<int>(cnt);
    *regCntl = cnt;
  }
  return sta;
}

[[maybe_unused]] std::string Reply(const std::string& command) {
  if (command == "MF?") return segmentStart + "\r\n";
  if (command == "ML?") return "-45.3\r\n";
  const bool averagingError = std::getenv("TEST_GPIB_AVERAGING_ERROR") != nullptr;
  if (command == "*STB?") return averagingError ? "32\r\n" : "128\r\n";
  if (command == "*ESR?") return averagingError ? "16\r\n" : "0\r\n";
  return "";
}

}  // namespace

#if TEST_LIBRARY_REGISTERS
EXPORT int CALL RegisterGpibGlobalsForThread(int* sta, int* err, int* cnt, long* cntl) {
  int rc = 0;
  if (firstRegistration) {
    firstRegistration = false;
    if (const char* forced = std::getenv("TEST_GPIB_REGISTRATION")) rc = std::atoi(forced);
  }
  if (rc == 0 || rc == 1) {
    regSta = sta;
    regErr = err;
    regCnt = cnt;
    regCntl = cntl;
  }
  return rc;
}

EXPORT int CALL UnregisterGpibGlobalsForThread() {
  regSta = regErr = regCnt = nullptr;
  regCntl = nullptr;
  return 0;
}
#elif TEST_LIBRARY_NI_LINUX
EXPORT unsigned int CALL ThreadIbsta() { return static_cast<unsigned int>(status); }
EXPORT unsigned int CALL ThreadIberr() { return static_cast<unsigned int>(error); }
EXPORT unsigned int CALL ThreadIbcnt() { return static_cast<unsigned int>(count); }
#else
EXPORT int CALL ThreadIbsta() { return status; }
EXPORT int CALL ThreadIberr() { return error; }
EXPORT long CALL ThreadIbcntl() { return count; }
#endif

EXPORT int CALL ibdev(int board, int pad, int /*sad*/, int /*tmo*/, int /*eot*/, int /*eos*/) {
  if (board == kUnconfiguredBoard) {
    // linux-gpib's way of saying its configuration or device file is missing.
    Finish(kStatusErr, EDVR, ENOENT);
    return -1;
  }
  if (board != 0) {
    Finish(kStatusErr, ENEB, 0);
    return -1;
  }
  const int ud = 16 + pad;
  if (pad == kAnalyzerAddress) analyzerDescriptor = ud;
  Finish(kStatusCmpl, 0, 0);
  return ud;
}

EXPORT int CALL ibonl(int ud, int v) {
  if (ud == analyzerDescriptor && v == 0) analyzerDescriptor = -1;
  return Finish(kStatusCmpl, 0, 0);
}

EXPORT int CALL ibwrt(int ud, const void* buf, Count cnt) {
  if (static_cast<long>(cnt) < 0) return Finish(kStatusErr | kStatusCmpl, EARG, 0);
  if (ud != analyzerDescriptor) return Finish(kStatusErr | kStatusCmpl, ENOL, 0);
  lastWrite.assign(static_cast<const char*>(buf), static_cast<std::size_t>(cnt));
  if (lastWrite.starts_with("FA ")) segmentStart = lastWrite.substr(3, lastWrite.size() - 5);
  unread.clear();
  return Finish(kStatusCmpl, 0, static_cast<long>(cnt));
}

#if !TEST_LIBRARY_NO_IBRD
EXPORT int CALL ibrd(int ud, void* buf, Count cnt) {
  if (static_cast<long>(cnt) < 0) return Finish(kStatusErr | kStatusCmpl, EARG, 0);
  if (ud == analyzerDescriptor && unread.empty()) unread = Reply(lastWrite);
  lastWrite.clear();
  if (ud != analyzerDescriptor || unread.empty()) {
    return Finish(kStatusErr | kStatusTimo | kStatusCmpl, EABO, 0);
  }
  // END goes with the reply's last byte; a short buffer leaves the rest.
  const std::size_t n = std::min(unread.size(), static_cast<std::size_t>(cnt));
  std::memcpy(buf, unread.data(), n);
  unread.erase(0, n);
  return Finish((unread.empty() ? kStatusEnd : 0) | kStatusCmpl, 0, static_cast<long>(n));
}
#endif
