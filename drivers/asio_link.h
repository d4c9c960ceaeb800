// The two byte links Prologix-style adaptors use, both on standalone Asio:
// GPIB-ETHERNET over TCP and GPIB-USB over a (virtual) serial port.
#ifndef TARNWICK_DRIVERS_ASIO_LINK_H_
#define TARNWICK_DRIVERS_ASIO_LINK_H_

#include <memory>
#include <string>

#include "drivers/byte_link.h"

namespace tarnwick::drivers {

std::unique_ptr<ByteLink> MakeTcpLink(std::string host, int port);
// device is "/dev/ttyUSB0" or "COM3"; the port is set to 115200 8N1, no flow
// control (a USB adaptor ignores the rate).
std::unique_ptr<ByteLink> MakeSerialLink(std::string device);

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_ASIO_LINK_H_
