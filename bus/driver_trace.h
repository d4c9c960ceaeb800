// A driver decorator that writes one line per driver call:
//   <seconds> <call>[ -> <result>]  ibsta=0x%04X iberr=%d ibcnt=%d
// preceded, when the driver describes itself, by "# <description>", and
// followed by "# <note>" when the driver noted something during the call.
#ifndef TARNWICK_BUS_DRIVER_TRACE_H_
#define TARNWICK_BUS_DRIVER_TRACE_H_

#include <cstdio>
#include <string>
#include <string_view>

#include "bus/gpib_driver.h"
#include "bus/platform.h"

namespace tarnwick {

// Forwards everything; overrides only the calls it writes a line for.
class DriverTrace : public DriverWrapper {
 public:
  // Lines go to out, flushed after each; times come from platform's clock,
  // counted from the first traced call.
  DriverTrace(GpibDriver& inner, Platform& platform, std::FILE* out);

  int RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err, int32_t* cnt,
                                   int32_t* cntl) override;
  int UnregisterGpibGlobalsForThread() override;
  int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
  int ibonl(int ud, int v) override;
  int ibtmo(int ud, int v) override;
  int ibwrt(int ud, const void* buf, long cnt) override;
  int ibrd(int ud, void* buf, long cnt) override;

 private:
  double Elapsed();
  void Line(std::string_view call, std::string_view result, bool withStatus);

  Platform& platform_;
  std::FILE* out_;
  bool started_ = false;
  bool described_ = false;
  double start_ = 0;
  // The words registered through this trace, read back after every call.
  int32_t* sta_ = nullptr;
  int32_t* err_ = nullptr;
  int32_t* cntl_ = nullptr;
};

}  // namespace tarnwick

#endif  // TARNWICK_BUS_DRIVER_TRACE_H_
