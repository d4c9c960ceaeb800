// Hosts and ports as a resource or tarnwick-sim's --listen names them. Only
// forms every resolver reads alike are taken: a DNS name, a dotted quad or an
// IPv6 address in brackets. Numeric shorthand such as "1234", "127.1",
// "0x7f.1" or "2130706433", which some resolvers take for an IPv4 address, is
// refused, so a forgotten field cannot send a run to a stranger. Nothing here
// resolves a name or touches the network.
#ifndef TARNWICK_DRIVERS_NETWORK_ADDRESS_H_
#define TARNWICK_DRIVERS_NETWORK_ADDRESS_H_

#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnwick::drivers {

// The forms, for refusals: "a DNS name, a dotted quad (192.168.1.20) or ...".
extern const char kHostForms[];

// A host or port that is none of the forms. what() says why, quoting it.
class AddressError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// The host as the resolver is to get it: an IPv6 address loses its brackets.
std::string ReadHost(std::string_view text);

// A port of decimal digits from lowest (0 only where any free port will do)
// to 65535.
int ReadPort(std::string_view text, int lowest = 1);

struct HostPort {
  std::string host;  // without brackets
  int port = 0;
};

// "HOST:PORT", the host in brackets when it is an IPv6 address.
HostPort ReadHostPort(std::string_view text, int lowestPort = 1);

// "host:port", or "[host]:port" for an IPv6 address, for messages.
std::string HostPortText(std::string_view host, int port);

}  // namespace tarnwick::drivers

#endif  // TARNWICK_DRIVERS_NETWORK_ADDRESS_H_
