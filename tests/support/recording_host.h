// A run host with fields a test sets and a results box it can read back.
#ifndef TARNWICK_TESTS_SUPPORT_RECORDING_HOST_H_
#define TARNWICK_TESTS_SUPPORT_RECORDING_HOST_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "measure/measurement_run.h"

namespace tarnwick::testing {

class RecordingHost : public RunHost {
 public:
  std::string CarrierText() override { return carrier; }
  std::string RefLevelText() override { return ref; }
  std::string RefOffsetText() override { return offset; }
  bool Band800MSelected() override { return band800M; }
  int AveragingValue() override {
    ++averagingQuestions;
    return averaging;
  }
  void InsertResult(std::string_view text) override {
    results += text;
    inserts.emplace_back(text);
  }
  bool StopRequested() override { return stopRequested; }
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
  int averaging = 0;
  bool stopRequested = false;
  int averagingQuestions = 0;
  std::string results;
  std::vector<std::string> inserts;
};

}  // namespace tarnwick::testing

#endif  // TARNWICK_TESTS_SUPPORT_RECORDING_HOST_H_
