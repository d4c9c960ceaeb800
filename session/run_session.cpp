#include "session/run_session.h"

#include "session/dialects.h"

namespace tarnwick {

RunSession::RunSession(const RunRequest& request, Platform& platform)
    : RunSession(request, std::make_unique<DriverStack>(request.driver, platform), platform) {}

RunSession::RunSession(const RunRequest& request, std::unique_ptr<DriverStack> stack,
                       Platform& platform)
    : platform_(platform),
      stack_(std::move(stack)),
      bus_(stack_->driver()),
      analyser_(DialectNamed(request.driver.dialect).make(bus_, platform)),
      run_(*analyser_, *this, platform),
      journal_(OpenJournal(request.journal), [this](const std::string& text) {
        if (warn_) warn_(text);
      }) {
  bus_.SetAddress(stack_->address());
  recorder_.SetBench([this] { return stack_->BenchText(); }, stack_->simulated());
  if (!request.benchName.empty()) recorder_.SetBenchName(request.benchName);
  recorder_.AddListener(journal_);
  run_.AddObserver(recorder_);
  run_.SetPlanCheck(
      [this](const FreqSegments& plan) { return recorder_.limits().MissedPlan(plan); });
  platform_.SetStopCheck([this] { return StopRequested(); });
}

RunSession::~RunSession() { platform_.SetStopCheck(nullptr); }

RunEnd RunSession::Run(const RunRequest& request) {
  inputs_ = request.inputs;
  const DialectRow& dialect = DialectNamed(request.driver.dialect);
  if (analyser_->Name() != dialect.name) {
    analyser_ = dialect.make(bus_, platform_);
    run_.SetAnalyser(*analyser_);
  }
  stack_->SpeakDialect(dialect.name);
  recorder_.SetLimits(request.limits);
  return run_.OnStart();
}

int RunSession::AveragingValue() {
  return (live_ != nullptr ? live_->Averaging() : inputs_.averaging) ? 1 : 0;
}

// A trace that cannot be written ends the run as a stop does: measuring on
// would leave a record that does not match it.
bool RunSession::StopRequested() {
  return (live_ != nullptr && live_->StopRequested()) || stack_->trace_failed();
}

std::string RunSession::StopNote() {
  if (live_ != nullptr && live_->StopRequested()) return live_->StopNote();
  return RunHost::StopNote();
}

}  // namespace tarnwick
