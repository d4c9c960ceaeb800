#include "text/quote.h"

#include <fmt/format.h>

namespace tarnwick {
namespace {

// Escapes C-style; allBytes escapes every byte outside printable ASCII, else
// UTF-8 stays as it is and only control characters are escaped.
std::string Escaped(std::string_view text, std::string_view quote, std::size_t limit,
                    bool allBytes = false) {
  std::string out(quote);
  std::size_t shown = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    // A UTF-8 continuation byte belongs to the character before it.
    const bool continuation = !allBytes && (c & 0xC0) == 0x80;
    if (!continuation && shown++ == limit) {
      out += quote;
      out += "…";
      return out;
    }
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      // Quotes and backslashes are escaped only inside quotes, so a
      // Windows path stands as it is.
      case '"':
      case '\\':
        if (!quote.empty()) out += '\\';
        out += static_cast<char>(c);
        break;
      default:
        if (c < 0x20 || c == 0x7F || (allBytes && c > 0x7F)) out += fmt::format("\\x{:02X}", c);
        else out += static_cast<char>(c);
    }
  }
  out += quote;
  return out;
}

}  // namespace

std::string QuotedForMessage(std::string_view text, std::size_t limit) {
  return Escaped(text, "\"", limit);
}

std::string CutForMessage(std::string_view text, std::size_t limit) {
  return Escaped(text, "", limit);
}

std::string QuotedBytes(std::string_view bytes) {
  return Escaped(bytes, "\"", std::string_view::npos, true);
}

}  // namespace tarnwick
