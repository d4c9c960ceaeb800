// The simulated analyser as a SCPI instrument on a raw socket, as bytes in
// and bytes out: every line the host sends, up to its LF, is one message,
// and every reply ends with LF. No sockets: the same object serves a TCP
// connection or a test.
#ifndef TARNWICK_SIM_SCPI_INSTRUMENT_H_
#define TARNWICK_SIM_SCPI_INSTRUMENT_H_

#include <string>
#include <string_view>

#include "bus/platform.h"
#include "sim/prologix_adaptor.h"
#include "sim/scene.h"
#include "sim/simulated_driver.h"

namespace tarnwick::sim {

class ScpiInstrument {
 public:
  ScpiInstrument(Scene scene, Platform& platform);

  // Takes bytes from the host, in any pieces, and returns the replies to the
  // lines they complete. Once a line runs past kMaxLineBytes, as with the
  // adaptor, nothing more is taken.
  std::string Receive(std::string_view bytes);
  bool overflowed() const { return overflowed_; }

  long lines() const { return lines_; }

 private:
  SimulatedDriver driver_;
  int ud_ = -1;
  std::string line_;
  bool overflowed_ = false;
  long lines_ = 0;
};

}  // namespace tarnwick::sim

#endif  // TARNWICK_SIM_SCPI_INSTRUMENT_H_
