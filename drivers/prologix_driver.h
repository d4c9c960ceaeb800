// A GPIB driver that reaches the analyser through a Prologix-style adaptor
// (GPIB-ETHERNET or GPIB-USB) over a byte link. One device per driver.
#ifndef TARNWICK_DRIVERS_PROLOGIX_DRIVER_H_
#define TARNWICK_DRIVERS_PROLOGIX_DRIVER_H_

#include <memory>
#include <string>

#include "drivers/byte_link.h"
#include "bus/status_words.h"

namespace tarnwick::drivers {

class PrologixDriver : public StatusWordDriver {
 public:
  // resource names the adaptor in messages.
  PrologixDriver(std::unique_ptr<ByteLink> link, std::string resource);

  // Connects and sets the adaptor up as controller for pad at the first open
  // (one write, one reply: the version check); later opens only readdress
  // when the address changed. The timeout code is kept on this side.
  int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
  // The device offline: "++loc", then the connection is closed. The board
  // offline has nothing left to do.
  int ibonl(int ud, int v) override;
  // One data line per call.
  int ibwrt(int ud, const void* buf, long cnt) override;
  // Asks with "++read eoi" and returns the reply up to its LF with END; a
  // reply longer than cnt is handed out over several reads.
  int ibrd(int ud, void* buf, long cnt) override;
  std::string AdaptorVersion() const override { return version_; }

 private:
  // Sends the set-up and checks the version reply; false when it failed,
  // with the words set.
  bool SetUp(int pad, int sad);
  // Reads until received_ holds a whole line.
  LinkResult ReadLine();
  int FailWith(const LinkError& error);

  std::unique_ptr<ByteLink> link_;
  std::string resource_;
  double timeout_s_ = 10;
  bool device_open_ = false;
  int pad_ = -1;
  int sad_ = 0;
  std::string received_;  // bytes of the current reply not yet handed out
  std::string version_;   // the adaptor's answer to "++ver"
};

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_PROLOGIX_DRIVER_H_
