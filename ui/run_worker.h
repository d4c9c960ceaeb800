// The window's run, off the window's thread: the worker owns the session,
// lives on a thread of its own for the whole program (a GPIB driver library
// keeps its status words per thread, so every bus call comes from this one),
// and tells the window what the run does through queued signals, in order.
// It never touches a widget.
#ifndef TARNWICK_UI_RUN_WORKER_H_
#define TARNWICK_UI_RUN_WORKER_H_

#include <memory>

#include <QObject>
#include <QString>

#include "results/block_text.h"
#include "results/recorder.h"
#include "session/run_session.h"

namespace tarnwick::ui {

class RunWorker : public QObject, private RecordListener {
  Q_OBJECT

 public:
  explicit RunWorker(std::unique_ptr<RunSession> session);
  ~RunWorker() override;

  // One run of request; on the worker's thread.
  void Run(const tarnwick::RunRequest& request);

 signals:
  // The results block, piece by piece.
  void Text(const QString& text);
  // The segment about to be swept.
  void Progress(int index, int count);
  // The segments of the run's plan, once it is built.
  void Planned(const tarnwick::FreqSegments& segments);
  // The run's record as it stands: when it starts (fresh), is planned,
  // gains a segment and ends.
  void RecordChanged(const tarnwick::RunRecord& run, bool fresh);
  // Why runs are not being journaled; said once.
  void JournalProblem(const QString& text);
  // The run has ended and the analyser is closed; endsProgram: the driver
  // cannot serve, and the program is to end.
  void Ended(bool endsProgram);

 private:
  // Progress, and the block's text, come from the run itself.
  class Observer : public BlockWriter {
   public:
    explicit Observer(RunWorker& worker);
    void SegmentStarting(std::size_t index, std::size_t count, double, double) override;

   private:
    RunWorker& worker_;
  };

  void RecordStarted(RunRecord& run) override { emit RecordChanged(run, true); }
  void RecordPlanned(const RunRecord& run) override;
  void SegmentRecorded(const RunRecord& run) override { emit RecordChanged(run, false); }
  void RecordFinished(const RunRecord& run) override { emit RecordChanged(run, false); }

  std::unique_ptr<RunSession> session_;
  Observer observer_;
};

}  // namespace tarnwick::ui

#endif  // TARNWICK_UI_RUN_WORKER_H_
