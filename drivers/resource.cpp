#include "drivers/resource.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

#include <fmt/format.h>

#include "bus/gpib_driver.h"
#include "drivers/network_address.h"
#include "text/quote.h"

namespace tarnwick::drivers {
namespace {

// VISA's secondary addresses 0..30 are 96..126 on the NI-488.2 side.
constexpr int kSecondaryBase = 96;
constexpr int kMaxSecondary = 30;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) ==
           std::toupper(static_cast<unsigned char>(y));
  });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::vector<std::string_view> Fields(std::string_view text) {
  std::vector<std::string_view> fields;
  for (;;) {
    // An IPv6 address in brackets holds "::" of its own.
    std::size_t from = 0;
    if (!text.empty() && text.front() == '[') from = std::min(text.find(']'), text.size());
    const auto at = text.find("::", from);
    fields.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return fields;
    text.remove_prefix(at + 2);
  }
}

// A whole decimal number in [low, high]; what names it in the error.
int Number(std::string_view field, int low, int high, std::string_view what) {
  int value = 0;
  const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (field.empty() || ec != std::errc() || end != field.data() + field.size() || value < low ||
      value > high) {
    throw ResourceError(fmt::format("the {} {} is not a number from {} to {}", what,
                                    QuotedForMessage(field), low, high));
  }
  return value;
}

int16_t PrimaryAddress(std::string_view field) {
  return static_cast<int16_t>(Number(field, 0, kMaxPrimaryAddress, "primary address"));
}

}  // namespace

// GPIB[board]::pad[::sad]::INSTR
bool ReadGpib(std::string_view text, Resource& r) {
  const auto f = Fields(text);
  if (!StartsWithNoCase(f[0], "GPIB") || f[0].size() > 4 + 3 ||
      !std::all_of(f[0].begin() + 4, f[0].end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  if ((f.size() != 3 && f.size() != 4) || !EqualsNoCase(f.back(), "INSTR")) return false;
  const std::string_view board = f[0].substr(4);
  r.address.board = static_cast<int16_t>(board.empty() ? 0 : Number(board, 0, 99, "board"));
  r.address.pad = PrimaryAddress(f[1]);
  r.address.sad = 0;
  if (f.size() == 4) {
    r.address.sad =
        static_cast<int16_t>(kSecondaryBase + Number(f[2], 0, kMaxSecondary, "secondary address"));
  }
  return true;
}

// PRLGX-TCPIP::host[::port]::pad::INSTR
bool ReadPrologixTcp(std::string_view text, Resource& r) {
  const auto f = Fields(text);
  if (!EqualsNoCase(f[0], "PRLGX-TCPIP")) return false;
  if ((f.size() != 4 && f.size() != 5) || !EqualsNoCase(f.back(), "INSTR") || f[1].empty()) {
    throw ResourceError("a Prologix adaptor on the network is PRLGX-TCPIP::host[::port]::pad::INSTR");
  }
  r.host = ReadHost(f[1]);
  if (f.size() == 5) r.port = ReadPort(f[2]);
  r.address.pad = PrimaryAddress(f[f.size() - 2]);
  return true;
}

// PRLGX-ASRL::device::pad::INSTR
bool ReadPrologixSerial(std::string_view text, Resource& r) {
  const auto f = Fields(text);
  if (!EqualsNoCase(f[0], "PRLGX-ASRL")) return false;
  if (f.size() != 4 || !EqualsNoCase(f.back(), "INSTR") || f[1].empty()) {
    throw ResourceError("a Prologix adaptor on a serial port is PRLGX-ASRL::device::pad::INSTR");
  }
  r.device = f[1];
  r.address.pad = PrimaryAddress(f[2]);
  return true;
}

// TCPIP[board]::host::port::SOCKET
bool ReadSocket(std::string_view text, Resource& r) {
  const auto f = Fields(text);
  if (!StartsWithNoCase(f[0], "TCPIP") || !EqualsNoCase(f.back(), "SOCKET")) return false;
  if (f.size() != 4 || f[1].empty() ||
      !std::all_of(f[0].begin() + 5, f[0].end(), [](char c) { return c >= '0' && c <= '9'; })) {
    throw ResourceError("an instrument on a raw socket is TCPIP::host::port::SOCKET");
  }
  r.host = ReadHost(f[1]);
  r.port = ReadPort(f[2]);
  r.address.pad = 0;
  return true;
}

// SIM::INSTR: the simulated analyser, on a simulated bus at board 0,
// address 8, which is what messages call it.
bool ReadSimulated(std::string_view text, Resource& r) {
  if (!EqualsNoCase(text, kSimulatedResource)) return false;
  r.address = AnalyzerAddress{};
  return true;
}

// Any interface[board]::...::INSTR or ::SOCKET that VISA itself will judge.
bool ReadVisa(std::string_view text, Resource& r) {
  const auto f = Fields(text);
  if (f.size() < 2 || f[0].empty() || !std::isalpha(static_cast<unsigned char>(f[0][0]))) {
    return false;
  }
  if (!EqualsNoCase(f.back(), "INSTR") && !EqualsNoCase(f.back(), "SOCKET")) return false;
  if (std::any_of(f.begin(), f.end(), [](std::string_view s) { return s.empty(); })) return false;
  // The GPIB form keeps its address, for ibdev's arguments and the trace.
  Resource gpib;
  if (ReadGpib(text, gpib)) {
    r.address = gpib.address;
  } else {
    r.address.pad = 0;
  }
  return true;
}

}  // namespace tarnwick::drivers
