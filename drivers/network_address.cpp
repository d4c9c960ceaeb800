#include "drivers/network_address.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

#include <asio/ip/address_v6.hpp>
#include <fmt/format.h>

#include "text/quote.h"

namespace tarnwick::drivers {
namespace {

constexpr std::size_t kMaxNameLength = 253;
constexpr std::size_t kMaxLabelLength = 63;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool AllDigits(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), IsDigit); }

// What some resolvers read as a number: decimal digits, or 0x and hex digits.
bool LooksNumeric(std::string_view label) {
  if (AllDigits(label)) return true;
  if (label.size() < 2 || label[0] != '0' || (label[1] != 'x' && label[1] != 'X')) return false;
  return std::all_of(label.begin() + 2, label.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

std::vector<std::string_view> Labels(std::string_view name) {
  std::vector<std::string_view> labels;
  for (;;) {
    const auto dot = name.find('.');
    labels.push_back(name.substr(0, dot));
    if (dot == std::string_view::npos) return labels;
    name.remove_prefix(dot + 1);
  }
}

// Four decimal numbers 0 to 255 without leading zeros (010 is octal to some).
bool IsDottedQuad(const std::vector<std::string_view>& labels) {
  return labels.size() == 4 && std::all_of(labels.begin(), labels.end(), [](std::string_view l) {
           return AllDigits(l) && l.size() <= 3 && (l.size() == 1 || l[0] != '0') &&
                  std::stoi(std::string(l)) <= 255;
         });
}

bool IsLabel(std::string_view label) {
  return !label.empty() && label.size() <= kMaxLabelLength && label.front() != '-' &&
         label.back() != '-' && std::all_of(label.begin(), label.end(), [](char c) {
           return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-';
         });
}

bool IsHost(std::string_view text) {
  if (text.size() > 2 && text.front() == '[' && text.back() == ']') {
    asio::error_code ec;
    asio::ip::make_address_v6(std::string(text.substr(1, text.size() - 2)), ec);
    return !ec;
  }
  if (!text.empty() && text.back() == '.') text.remove_suffix(1);  // the root
  if (text.empty() || text.size() > kMaxNameLength) return false;
  const std::vector<std::string_view> labels = Labels(text);
  // A name that ends in a number is an address, and then only a dotted quad.
  if (LooksNumeric(labels.back())) return IsDottedQuad(labels);
  return std::all_of(labels.begin(), labels.end(), IsLabel);
}

}  // namespace

const char kHostForms[] =
    "a DNS name, a dotted quad (192.168.1.20) or an IPv6 address in brackets ([::1])";

std::string ReadHost(std::string_view text) {
  if (!IsHost(text)) {
    throw AddressError(
        fmt::format("the host {} is not {}", QuotedForMessage(text), kHostForms));
  }
  if (text.front() == '[') return std::string(text.substr(1, text.size() - 2));
  return std::string(text);
}

int ReadPort(std::string_view text, int lowest) {
  int value = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (!AllDigits(text) || ec != std::errc() || end != text.data() + text.size() ||
      value < lowest || value > 65535) {
    throw AddressError(fmt::format("the port {} is not a number from {} to 65535",
                                   QuotedForMessage(text), lowest));
  }
  return value;
}

HostPort ReadHostPort(std::string_view text, int lowestPort) {
  const auto colon = text.rfind(':');
  if (colon == std::string_view::npos) {
    throw AddressError(fmt::format("{} is not HOST:PORT", QuotedForMessage(text)));
  }
  return {ReadHost(text.substr(0, colon)), ReadPort(text.substr(colon + 1), lowestPort)};
}

std::string HostPortText(std::string_view host, int port) {
  return host.find(':') == std::string_view::npos ? fmt::format("{}:{}", host, port)
                                                  : fmt::format("[{}]:{}", host, port);
}

}  // namespace tarnwick::drivers
