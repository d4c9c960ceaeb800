// Texts from outside (fields, replies, scene lines, paths) as messages quote
// them: cut to a readable length and with control characters escaped, so a
// huge or hostile text can neither flood a message nor steer a terminal.
#ifndef TARNWICK_TEXT_QUOTE_H_
#define TARNWICK_TEXT_QUOTE_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick {

// How many characters of a quoted text a message shows; paths get more, as
// their file name stands at the end.
inline constexpr std::size_t kQuotedLength = 40;
inline constexpr std::size_t kQuotedPathLength = 160;

// text in double quotes, at most limit characters of it and then "…",
// with '"', '\\' and every control character escaped C-style: C0 and DEL
// as \xNN, C1 encoded in UTF-8 as \u0080 to \u009F, and any byte that is
// not part of well-formed UTF-8 as \xNN (so also a lone C1 byte). An escape
// counts as one character; well-formed UTF-8 stays, kept whole.
std::string QuotedForMessage(std::string_view text, std::size_t limit = kQuotedLength);

// The same without the quotes, for a text that stands in a fixed place, such
// as the file name in front of "file:line: problem".
std::string CutForMessage(std::string_view text, std::size_t limit = kQuotedLength);

// The length of the well-formed UTF-8 sequence text starts with, or 0 when
// its first bytes are not one: no overlong forms, no surrogates, nothing past
// U+10FFFF, nothing cut short.
std::size_t Utf8SequenceLength(std::string_view text);

// text with every byte that is not part of well-formed UTF-8 replaced by
// U+FFFD, as readers of exports (Python, spreadsheets) would show it.
std::string WellFormedUtf8(std::string_view text);

// bytes as a C string literal, quotes included and nothing cut: "MF?\r\n".
// Bytes outside printable ASCII are escaped too, for the bus trace.
std::string QuotedBytes(std::string_view bytes);

}  // namespace tarnwick

#endif  // TARNWICK_TEXT_QUOTE_H_
