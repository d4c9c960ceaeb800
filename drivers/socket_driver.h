// A GPIB driver for an instrument on a raw TCP socket (TCPIP::host::port::
// SOCKET, port 5025 on most analysers), over Tarnwick's own byte link: no
// VISA library. A socket has no END: every message gets an LF, and a reply
// ends at its LF. One device per driver.
#ifndef TARNWICK_DRIVERS_SOCKET_DRIVER_H_
#define TARNWICK_DRIVERS_SOCKET_DRIVER_H_

#include <memory>
#include <string>

#include "drivers/link_driver.h"

namespace tarnwick::drivers {

class SocketDriver : public LinkDriver {
 public:
  // resource names the instrument in messages; platform gives the clock of
  // every deadline and the stop check of every wait.
  SocketDriver(std::unique_ptr<ByteLink> link, std::string resource, Platform& platform);

  // Connects at the first open; the address is the resource's, so pad and
  // sad are not looked at. The timeout code is kept on this side.
  int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
  // The device offline closes the connection; the board has nothing to do.
  int ibonl(int ud, int v) override;
  // One message, LF added, after making sure nothing arrived unasked: it
  // would be taken for the reply to this one.
  int ibwrt(int ud, const void* buf, long cnt) override;
  // Up to cnt bytes of the reply, END with its LF; a reply longer than cnt
  // is handed out over several reads. The whole reply has one deadline.
  int ibrd(int ud, void* buf, long cnt) override;
  // "raw socket, <resource>".
  std::string Description() const override;
};

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_SOCKET_DRIVER_H_
