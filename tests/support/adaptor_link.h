// A byte link to the simulated Prologix-style adaptor, or the simulated SCPI
// instrument, in the same process: what tarnwick-sim serves over TCP, without
// the network, so a driver test runs in microseconds. A read with nothing to
// read lets its wait pass on the platform's clock, so a timeout costs no time
// either, nor does an adaptor that is slow to answer.
#ifndef TARNWICK_TESTS_SUPPORT_ADAPTOR_LINK_H_
#define TARNWICK_TESTS_SUPPORT_ADAPTOR_LINK_H_

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "bus/gpib_driver.h"
#include "bus/platform.h"
#include "drivers/byte_link.h"
#include "sim/prologix_adaptor.h"
#include "sim/scpi_instrument.h"

namespace tarnwick::testing {

template <typename Device>
class DeviceLink : public drivers::ByteLink {
 public:
  // extra goes to the device: the adaptor's personality.
  template <typename... Extra>
  DeviceLink(sim::Scene scene, Platform& platform, const Extra&... extra)
      : adaptor_(std::move(scene), platform, extra...), platform_(platform) {}

  drivers::LinkResult Open(double) override {
    open_ = true;
    return std::nullopt;
  }
  drivers::LinkResult Write(std::string_view data, double) override {
    if (!open_) return drivers::LinkError{EDVR, "not open"};
    pending_ += adaptor_.Receive(data);
    return std::nullopt;
  }
  // With nothing to read, the wait passes on the platform's clock.
  drivers::LinkResult ReadSome(std::string& out, std::size_t max, double wait) override {
    if constexpr (kHolds) pending_ += adaptor_.Due();
    if (pending_.empty()) {
      if constexpr (kHolds) wait = std::min(wait, adaptor_.HeldFor().value_or(wait));
      platform_.SleepMs(static_cast<int>(std::ceil(wait * 1000)));
      return std::nullopt;
    }
    const std::size_t n = std::min(max, pending_.size());
    out.append(pending_, 0, n);
    pending_.erase(0, n);
    return std::nullopt;
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }

 private:
  // Whether the device holds answers it is slow to give.
  static constexpr bool kHolds = requires(Device d) { d.Due(); };

  Device adaptor_;
  Platform& platform_;
  std::string pending_;
  bool open_ = false;
};

using AdaptorLink = DeviceLink<sim::PrologixAdaptor>;
using InstrumentLink = DeviceLink<sim::ScpiInstrument>;

}  // namespace tarnwick::testing

#endif  // TARNWICK_TESTS_SUPPORT_ADAPTOR_LINK_H_
