#include "text/quote.h"

#include <cstdint>

#include <fmt/format.h>

namespace tarnwick {
namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at text[i] and the character
// it encodes, or 0 when the bytes there are not one (a stray continuation
// byte, an overlong form, a surrogate, a sequence cut short).
std::size_t Utf8Sequence(std::string_view text, std::size_t i, char32_t& character) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) {
    character = lead;
    return 1;
  }
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  const auto second = static_cast<unsigned char>(text[i + 1]);
  if (second < low || second > high) return 0;
  character = lead & (0xFF >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) {
    const auto c = static_cast<unsigned char>(text[i + k]);
    if (!IsContinuation(c)) return 0;
    character = (character << 6) | (c & 0x3F);
  }
  return length;
}

// Escapes C-style and cuts after limit characters, each escape counting as
// one. allBytes escapes every byte outside printable ASCII; otherwise
// well-formed UTF-8 stays as it is, but C1 controls (U+0080 to U+009F, which
// a terminal obeys as it does ESC) and bytes that are not UTF-8 are escaped.
std::string Escaped(std::string_view text, std::string_view quote, std::size_t limit,
                    bool allBytes = false) {
  std::string out(quote);
  std::size_t shown = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (shown++ == limit) {
      out += quote;
      out += "…";
      return out;
    }
    const auto c = static_cast<unsigned char>(text[i]);
    char32_t character = 0;
    const std::size_t length = allBytes ? (c < 0x80 ? 1 : 0) : Utf8Sequence(text, i, character);
    if (length == 0) {
      out += fmt::format("\\x{:02X}", c);
      ++i;
      continue;
    }
    if (length > 1) {
      if (character <= 0x9F) {
        out += fmt::format("\\u{:04X}", static_cast<uint32_t>(character));
      } else {
        out.append(text.substr(i, length));
      }
      i += length;
      continue;
    }
    ++i;
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
        if (c < 0x20 || c == 0x7F) out += fmt::format("\\x{:02X}", c);
        else out += static_cast<char>(c);
    }
  }
  out += quote;
  return out;
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text) {
  char32_t character = 0;
  return text.empty() ? 0 : Utf8Sequence(text, 0, character);
}

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

namespace tarnwick {

std::string WellFormedUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceLength(text.substr(at));
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++at;
    } else {
      out.append(text.substr(at, length));
      at += length;
    }
  }
  return out;
}

}  // namespace tarnwick
