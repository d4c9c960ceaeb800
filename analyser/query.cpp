#include "analyser/query.h"

#include <fmt/format.h>

#include "text/leading_number.h"
#include "text/quote.h"

namespace tarnwick {

Result<NumberReply> QueryNumberReply(AnalyzerBus& bus, std::string_view command,
                                     std::string& buffer) {
  if (Status s = bus.WriteText(bus.Analyzer, command); !s.ok()) return s.error();
  const Result<int32_t> read = bus.ReadText(bus.Analyzer, buffer, command);
  if (!read.ok()) return read.error();
  const auto received = static_cast<std::size_t>(read.value());
  const std::string_view reply(buffer.data(), received);
  auto bad = [&](std::string detail) {
    return bus.Failure("reply", command, fmt::format("the reply to \"{}\" from", command), detail,
                       kNoDriverError, detail);
  };
  if (received == 0) return bad("was empty");
  // A full buffer without END is the front of a longer reply.
  if (received == buffer.size() && !bus.EndSeen()) {
    return bad(fmt::format("was cut short at {} bytes: {}", received, QuotedForMessage(reply)));
  }
  const NumberScan scan = LeadingNumber(reply);
  if (scan.overflow) {
    BusError e = bad("is too large for a number");
    e.message = fmt::format("the reply to \"{}\", {}, is too large for a number.", command,
                            QuotedForMessage(reply));
    return e;
  }
  if (!scan.hasDigits) return bad(fmt::format("has no number: {}", QuotedForMessage(reply)));
  return NumberReply{scan.value, std::string(reply.substr(0, reply.find_last_not_of("\r\n") + 1))};
}

Result<double> QueryValue(AnalyzerBus& bus, std::string_view command, std::string& buffer) {
  const Result<NumberReply> reply = QueryNumberReply(bus, command, buffer);
  if (!reply.ok()) return reply.error();
  return reply.value().value;
}

}  // namespace tarnwick
