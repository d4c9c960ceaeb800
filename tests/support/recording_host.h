// A run host with fields a test sets, and a results box it can read back:
// add writer to the run as an observer to fill it.
#ifndef TARNWICK_TESTS_SUPPORT_RECORDING_HOST_H_
#define TARNWICK_TESTS_SUPPORT_RECORDING_HOST_H_

#include <string>
#include <string_view>
#include <vector>

#include "measure/measurement_run.h"
#include "results/block_text.h"

namespace tarnwick::testing {

class RecordingHost : public RunHost {
 public:
  std::string CarrierText() override { return carrier; }
  std::string RefLevelText() override { return ref; }
  std::string RefOffsetText() override { return offset; }
  bool Band800MSelected() override { return band800M; }
  const TestPlan* ChosenPlan() override { return plan; }
  int AveragingValue() override {
    ++averagingQuestions;
    return averaging;
  }
  std::string StopReason() override { return "stopped"; }

  // The results box split at its line breaks, without them.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = results.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(results.substr(start, end - start));
    }
    return lines;
  }

  std::string carrier = "1940";
  std::string ref = "20";
  std::string offset = "0";
  bool band800M = false;
  const TestPlan* plan = nullptr;
  int averaging = 0;
  int averagingQuestions = 0;
  std::string results;
  std::vector<std::string> inserts;
  BlockWriter writer{[this](std::string_view text) {
    results += text;
    inserts.emplace_back(text);
  }};
};

}  // namespace tarnwick::testing

#endif  // TARNWICK_TESTS_SUPPORT_RECORDING_HOST_H_
