#include "ui/run_worker.h"

namespace tarnwick::ui {

RunWorker::Observer::Observer(RunWorker& worker)
    : BlockWriter([&worker](std::string_view text) {
        emit worker.Text(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
      }),
      worker_(worker) {}

void RunWorker::Observer::SegmentStarting(std::size_t index, std::size_t count, double, double) {
  emit worker_.Progress(static_cast<int>(index), static_cast<int>(count));
}

RunWorker::RunWorker(std::unique_ptr<RunSession> session)
    : session_(std::move(session)), observer_(*this) {
  session_->AddListener(*this);
  session_->AddObserver(observer_);
  session_->SetJournalWarning(
      [this](const std::string& text) { emit JournalProblem(QString::fromStdString(text)); });
}

RunWorker::~RunWorker() = default;

void RunWorker::Run(const RunRequest& request) {
  const RunEnd end = session_->Run(request);
  emit Ended(end.endsProgram);
}

void RunWorker::RecordPlanned(const RunRecord& run) {
  emit Planned(session_->SegmentList());
  emit RecordChanged(run, false);
}

}  // namespace tarnwick::ui
