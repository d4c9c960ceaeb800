// The one place a driver writes the registered status words: every
// GpibDriver derives from StatusWordDriver, which keeps the addresses handed
// over at registration and writes all four words at the end of each call, so
// a driver only does its I/O and says how the call ended.
#ifndef TARNWICK_BUS_STATUS_WORDS_H_
#define TARNWICK_BUS_STATUS_WORDS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "bus/gpib_driver.h"

namespace tarnwick {

class StatusWordDriver : public GpibDriver {
 public:
  // Keeps the four addresses. Returns 0, or 1 when words are registered
  // already (those stay), or 3 for a missing address.
  int RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err, int32_t* cnt,
                                   int32_t* cntl) override;
  int UnregisterGpibGlobalsForThread() override;
  // A driver whose time limit is fixed cannot change it: ECAP.
  int ibtmo(int ud, int v) override;
  std::string LastErrorText() const override { return last_error_text_; }
  std::string LastNote() const override { return last_note_; }

  // Whether the words are registered, so that calls write them.
  bool WordsRegistered() const { return sta_ != nullptr; }

 protected:
  // Writes the words and returns status. A status with ERR keeps text as the
  // call's own words; any other clears them. What was noted during the call
  // becomes its note.
  int Finish(int32_t status, int32_t error = 0, long count = 0, std::string text = {});
  // Something the call under way noticed that its status will not say.
  void Note(std::string_view text);
  // Finish for a call that failed with error and the driver's words.
  int Fail(int32_t error, std::string text = {}) {
    return Finish(kStatusErr, error, 0, std::move(text));
  }
  // The status and error words as they stand, for a library that writes them
  // itself; 0 when none are registered.
  int32_t RegisteredStatus() const { return sta_ != nullptr ? *sta_ : 0; }
  int32_t RegisteredError() const { return err_ != nullptr ? *err_ : 0; }

 private:
  int32_t* sta_ = nullptr;
  int32_t* err_ = nullptr;
  int32_t* cnt_ = nullptr;
  int32_t* cntl_ = nullptr;
  std::string last_error_text_;
  std::string note_;       // of the call under way
  std::string last_note_;  // of the last call
};

// Seconds of an NI-488.2 timeout code (13 is T10s); 0 for code 0, no limit.
double TimeoutSeconds(int code);
// Whether code is one of those codes, T10us (1) to T1000s (17), or 0.
bool IsTimeoutCode(int code);

// The low 16 bits of value read as a signed 16-bit number, as the program's
// copies of the status words hold them. Never fails.
int16_t LowWordToInt(int32_t value);

}  // namespace tarnwick

#endif  // TARNWICK_BUS_STATUS_WORDS_H_
