// The part every driver that is not a real NI-488.2 library shares: it holds
// the registered status words and writes them at the end of every call, so a
// transport only does its I/O and says how the call ended.
#ifndef TARNWICK_DRIVERS_STATUS_WORDS_H_
#define TARNWICK_DRIVERS_STATUS_WORDS_H_

#include <cstdint>
#include <string>

#include "bus/gpib_driver.h"

namespace tarnwick::drivers {

class StatusWordDriver : public GpibDriver {
 public:
  // Always 0, or 1 when words are registered already (those stay).
  int RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err, int32_t* cnt,
                                   int32_t* cntl) override;
  int UnregisterGpibGlobalsForThread() override;
  std::string LastErrorText() const override { return last_error_text_; }

 protected:
  // Writes the words and returns status. A status with ERR keeps text as the
  // call's own words; any other clears them.
  int Finish(int32_t status, int32_t error = 0, long count = 0, std::string text = {});
  // Finish for a call that failed with error and the transport's words.
  int Fail(int32_t error, std::string text) {
    return Finish(kStatusErr, error, 0, std::move(text));
  }

 private:
  int32_t* sta_ = nullptr;
  int32_t* err_ = nullptr;
  int32_t* cnt_ = nullptr;
  int32_t* cntl_ = nullptr;
  std::string last_error_text_;
};

// Seconds of an NI-488.2 timeout code (13 is T10s); 0 for code 0, no limit.
double TimeoutSeconds(int code);

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_STATUS_WORDS_H_
