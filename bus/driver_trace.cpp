#include "bus/driver_trace.h"

#include <algorithm>

#include <fmt/format.h>

#include "bus/status_words.h"
#include "text/quote.h"

namespace tarnwick {

DriverTrace::DriverTrace(GpibDriver& inner, Platform& platform, std::FILE* out)
    : DriverWrapper(inner), platform_(platform), out_(out) {}

double DriverTrace::Elapsed() {
  const double now = platform_.NowSeconds();
  if (!started_) {
    started_ = true;
    start_ = now;
  }
  return now - start_;
}

void DriverTrace::Line(std::string_view call, std::string_view result, bool withStatus) {
  std::string line;
  // The driver knows what it is only once the first call has loaded it.
  if (!described_) {
    described_ = true;
    if (const std::string about = target().Description(); !about.empty()) line = "# " + about + "\n";
  }
  line += fmt::format("{:.6f} {}", Elapsed(), call);
  if (!result.empty()) line += fmt::format(" -> {}", result);
  if (withStatus && sta_ != nullptr) {
    line += fmt::format("  ibsta=0x{:04X} iberr={} ibcnt={}",
                        static_cast<uint16_t>(LowWordToInt(*sta_)), *err_, LowWordToInt(*cntl_));
  }
  line += '\n';
  if (withStatus) {
    if (const std::string note = target().LastNote(); !note.empty()) line += "# " + note + "\n";
  }
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
}

int DriverTrace::RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err, int32_t* cnt,
                                              int32_t* cntl) {
  Elapsed();  // the clock starts at the first call, not after it
  const int rc = target().RegisterGpibGlobalsForThread(sta, err, cnt, cntl);
  sta_ = sta;
  err_ = err;
  cntl_ = cntl;
  Line("RegisterGpibGlobalsForThread()", std::to_string(rc), false);
  return rc;
}

int DriverTrace::UnregisterGpibGlobalsForThread() {
  Elapsed();
  const int rc = target().UnregisterGpibGlobalsForThread();
  Line("UnregisterGpibGlobalsForThread()", std::to_string(rc), false);
  return rc;
}

int DriverTrace::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
  Elapsed();
  const int ud = target().ibdev(board, pad, sad, tmo, eot, eos);
  Line(fmt::format("ibdev({}, {}, {}, {}, {}, {})", board, pad, sad, tmo, eot, eos),
       std::to_string(ud), true);
  return ud;
}

int DriverTrace::ibonl(int ud, int v) {
  Elapsed();
  const int rc = target().ibonl(ud, v);
  Line(fmt::format("ibonl({}, {})", ud, v), "", true);
  return rc;
}

int DriverTrace::ibtmo(int ud, int v) {
  Elapsed();
  const int rc = target().ibtmo(ud, v);
  Line(fmt::format("ibtmo({}, {})", ud, v), "", true);
  return rc;
}

int DriverTrace::ibwrt(int ud, const void* buf, long cnt) {
  Elapsed();
  const int rc = target().ibwrt(ud, buf, cnt);
  const std::string_view text(static_cast<const char*>(buf), static_cast<std::size_t>(cnt));
  Line(fmt::format("ibwrt({}, {}, {})", ud, QuotedBytes(text), cnt), "", true);
  return rc;
}

int DriverTrace::ibrd(int ud, void* buf, long cnt) {
  Elapsed();
  const int rc = target().ibrd(ud, buf, cnt);
  long received = 0;
  if (cntl_ != nullptr) received = std::clamp<long>(*cntl_, 0, cnt);
  const std::string_view bytes(static_cast<const char*>(buf), static_cast<std::size_t>(received));
  Line(fmt::format("ibrd({}, {})", ud, cnt), QuotedBytes(bytes), true);
  return rc;
}

}  // namespace tarnwick
