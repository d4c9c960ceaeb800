// The query: a command written to the analyser and the number at the front
// of its reply, with every check that keeps a doubtful reply from passing for
// a reading.
#ifndef TARNWICK_ANALYSER_QUERY_H_
#define TARNWICK_ANALYSER_QUERY_H_

#include <string>
#include <string_view>

#include "bus/analyzer_bus.h"
#include "bus/bus_error.h"

namespace tarnwick {

// Writes command to the bus's analyser, reads the reply into buffer (at most
// its width; the caller keeps the buffer between queries) and returns the
// number at its front. Only the bytes this read received are parsed, so a
// short reply never picks up the tail of an earlier, longer one. Fails when
// the write or the read fails, or the reply is empty, fills the buffer
// without END (it was cut short), has no number at its front, or holds a
// number too large for a double.
Result<double> QueryValue(AnalyzerBus& bus, std::string_view command, std::string& buffer);

// A reply and the number at its front.
struct NumberReply {
  double value = 0;
  std::string text;  // the reply as received, its line end removed
};

// QueryValue that also keeps the reply's text, for replies whose words
// matter: an error the analyser queued.
Result<NumberReply> QueryNumberReply(AnalyzerBus& bus, std::string_view command,
                                     std::string& buffer);

}  // namespace tarnwick

#endif  // TARNWICK_ANALYSER_QUERY_H_
