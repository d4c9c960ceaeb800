// Store and forward: the runs a bench's journal has queued go to the lab,
// each exactly once. The bench's journal is always written first (a run
// never waits on the network); the forwarder sends waiting runs with their
// segments, many in one PostgreSQL transaction, inserting only runs the lab
// does not hold yet (ON CONFLICT (run_uuid) DO NOTHING), and marks them
// forwarded in the journal only once the lab has committed. A commit whose
// acknowledgement is lost sends the same runs again next time, and the lab
// takes none of them twice.
//
// For the programs: call ForwardWaiting at start, after each run, and, in
// the window, every 60 s while runs wait, on a thread other than the
// window's (each call opens connections of its own). It never throws and
// never fails a run: what happened is a value.
#ifndef TARNWICK_LAB_LAB_FORWARDER_H_
#define TARNWICK_LAB_LAB_FORWARDER_H_

#include <cstddef>
#include <functional>
#include <string>

namespace tarnwick::lab {

struct ForwardOutcome {
  std::size_t forwarded = 0;  // runs the lab now holds that waited before this call
  std::size_t waiting = 0;    // runs still waiting after it
  std::string tried;          // when (UTC, ISO 8601)
  // Why runs still wait ("cannot connect to the lab ...: ..."); empty when
  // nothing went wrong.
  std::string error;
  bool Done() const { return waiting == 0 && error.empty(); }
};

// What the journal says of its queue, for "lab status" and the window's
// line: "lab: 12 runs waiting, last try 14:02: could not connect to ...".
struct QueueState {
  std::size_t waiting = 0;
  std::string lastLab;    // the lab last tried, as messages name it
  std::string lastTried;  // empty: never tried
  std::string lastError;  // empty: the last try went well
  std::string error;      // the journal itself cannot be read
};
QueueState ReadQueueState(const std::string& journal);

// The window's line for runs that wait: "lab: 12 runs waiting, last try
// 14:02: could not connect to ...", the time in local time; empty when none
// wait.
std::string WaitingLine(std::size_t waiting, const std::string& tried, const std::string& error);

// Places where a test makes a batch fail: before the lab commits it, and
// after the commit but before the journal marks it (a lost acknowledgement).
// A seam that throws JournalError stops forwarding there.
struct ForwardSeams {
  std::function<void(std::size_t batch)> beforeCommit;
  std::function<void(std::size_t batch)> afterCommit;
};

class LabForwarder {
 public:
  // journal: the bench's SQLite journal (a path or sqlite:PATH); lab: a
  // libpq conninfo or postgresql:// URI.
  LabForwarder(std::string journal, std::string lab, ForwardSeams seams = {});

  // Queues the runs that programs gone before left unfinished, then sends
  // every waiting run, oldest first, in batches of batchSize; stop, asked
  // between batches, ends it early. The try is noted in the journal, for
  // ReadQueueState.
  ForwardOutcome ForwardWaiting(const std::function<bool()>& stop = {});

  static constexpr std::size_t kBatchSize = 500;
  void SetBatchSize(std::size_t runs) { batch_size_ = runs; }

 private:
  std::string journal_;
  std::string lab_;
  ForwardSeams seams_;
  std::size_t batch_size_ = kBatchSize;
};

}  // namespace tarnwick::lab

#endif  // TARNWICK_LAB_LAB_FORWARDER_H_
