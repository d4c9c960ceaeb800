#include "drivers/prologix_protocol.h"

namespace tarnwick::prologix {

std::string CommandLine(std::string_view name, std::string_view arg) {
  std::string line(kCommandPrefix);
  line += name;
  if (!arg.empty()) {
    line += ' ';
    line += arg;
  }
  line += kLineEnd;
  return line;
}

std::string DataLine(std::string_view data) {
  std::string line;
  line.reserve(data.size() + 2);
  for (const char c : data) {
    if (c == '\r' || c == '\n' || c == kEscape || c == '+') line += kEscape;
    line += c;
  }
  line += kLineEnd;
  return line;
}

}  // namespace tarnwick::prologix
