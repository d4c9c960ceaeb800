// The simulated analyser's second language: SCPI, over the same model as the
// built-in one. It takes headers in long or short form and any letter case,
// with optional nodes left out; several commands in one message, separated
// by ';', where a header without a leading ':' continues the path of the one
// before; and the IEEE 488.2 common commands. Errors go to the error queue
// and the event status register, as an analyser's do.
#ifndef TARNWICK_SIM_SCPI_PARSER_H_
#define TARNWICK_SIM_SCPI_PARSER_H_

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/analyzer_model.h"

namespace tarnwick::sim {

// Whether the analyser has a command with this header (without '?').
bool IsScpiHeader(std::string_view header);

class ScpiParser {
 public:
  struct Command;  // one command the analyser knows

  // The scene's faults are queued whenever their command is carried out.
  explicit ScpiParser(AnalyzerModel& model);

  // Carries out one program message. Returns the replies to its queries,
  // ';' between them and LF at the end; nothing when it asked nothing.
  std::optional<std::string> Execute(std::string_view message);

  // The error queue, oldest first, as ":SYST:ERR?" would give it.
  const std::deque<std::string>& errors() const { return errors_; }

 private:
  // Carries out one command of a message; a query adds its reply to replies.
  void Carry(std::string_view unit, bool first, std::string& replies);
  void Set(const Command& command, std::string_view argument);
  std::string Query(const Command& command);
  void Queue(int code, std::string_view text);
  // Sets operation complete once a sweep "*OPC" waits for has ended.
  void CheckOperation();

  AnalyzerModel& model_;
  std::deque<std::string> errors_;
  std::vector<std::string> path_;  // the path a relative header continues
  struct Fault {
    const Command* command;
    int code;
    std::string text;
  };
  std::vector<Fault> faults_;
  bool averaging_ = false;
  bool opc_armed_ = false;
};

}  // namespace tarnwick::sim

#endif  // TARNWICK_SIM_SCPI_PARSER_H_
