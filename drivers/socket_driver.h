// A GPIB driver for an instrument on a raw TCP socket (TCPIP::host::port::
// SOCKET, port 5025 on most analysers), over Tarnwick's own byte link: no
// VISA library. A socket has no END: every message gets an LF, and a reply
// ends at its LF. One device per driver.
#ifndef TARNWICK_DRIVERS_SOCKET_DRIVER_H_
#define TARNWICK_DRIVERS_SOCKET_DRIVER_H_

#include <memory>
#include <string>

#include "bus/status_words.h"
#include "drivers/byte_link.h"

namespace tarnwick::drivers {

class SocketDriver : public StatusWordDriver {
 public:
  // resource names the instrument in messages.
  SocketDriver(std::unique_ptr<ByteLink> link, std::string resource);

  // Connects at the first open; the address is the resource's, so pad and
  // sad are not looked at. The timeout code is kept on this side.
  int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
  // The device offline closes the connection; the board has nothing to do.
  int ibonl(int ud, int v) override;
  // One message, LF added, in one write. What is left of an earlier reply
  // is dropped: it answers nothing the caller will ask.
  int ibwrt(int ud, const void* buf, long cnt) override;
  // Up to cnt bytes of the reply; END with its LF. A reply longer than cnt
  // is handed out over several reads.
  int ibrd(int ud, void* buf, long cnt) override;
  std::string Description() const override;

 private:
  // Reads until received_ holds an LF or cap bytes, within one deadline.
  LinkResult ReadReply(std::size_t cap);
  int FailWith(const LinkError& error);

  std::unique_ptr<ByteLink> link_;
  std::string resource_;
  double timeout_s_ = 10;
  bool device_open_ = false;
  std::string received_;  // bytes of the current reply not yet handed out
};

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_SOCKET_DRIVER_H_
