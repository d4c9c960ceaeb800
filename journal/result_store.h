// Where runs are kept once measured: the seam between the programs and the
// journal's database, so that tests can put a failing store in its place.
#ifndef TARNWICK_JOURNAL_RESULT_STORE_H_
#define TARNWICK_JOURNAL_RESULT_STORE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "results/run_record.h"

namespace tarnwick {

// One convention for the whole seam, the store table's opening included:
// failures are thrown as JournalError, never returned. Every call of a
// database can fail, a streaming read part-way through, and the lab's client
// library throws too; so a command catches once, where it decides its exit
// status, and the run's journal turns the error into the one warning it
// gives (RunJournal, OpenJournal).

// A journal that cannot be opened, read or written. what() names the journal
// and the database's own words.
class JournalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The address names no journal: no row of the store table accepts it, or
// there is none there to read. A bad command line, where the other
// JournalErrors are a journal that fails.
class JournalAddressError : public JournalError {
 public:
  using JournalError::JournalError;
};

// How a program uses a journal: to record runs, or only to read them.
enum class JournalAccess { kWrite, kRead };

// Which runs a listing, an export or a judging again takes; every field
// left empty takes all.
struct RunFilter {
  std::string benchName;  // the bench's name, exactly
  std::string since;      // started at or after, UTC, ISO 8601
  std::string before;     // started before, UTC, ISO 8601
  std::string verdict;    // the run's verdict word: PASS, FAIL, DOUBTFUL, STOPPED, MEASURED
  bool Empty() const { return benchName.empty() && since.empty() && before.empty() && verdict.empty(); }
};

// The LevelDB-style contract: every method either does all it says or throws
// JournalError and changes nothing the caller can see. Methods that write
// are durable on return. A store is opened through the store table
// (journal/store_table.h), for writing or for reading; one opened for
// reading is never changed by it, but for bringing an older journal's
// layout up to date. Not for use from two threads at once: a thread that
// reads while another records opens a store of its own.
class ResultStore {
 public:
  virtual ~ResultStore() = default;

  // Records a new run from run's started, version, bench, simulated, limits
  // and settings; returns its id.
  virtual std::int64_t BeginRun(const RunRecord& run) = 0;
  // REQUIRES: id came from BeginRun.
  virtual void PlanRun(std::int64_t id, const RunPlan& plan) = 0;
  // One segment, in a transaction of its own. REQUIRES: id came from BeginRun.
  virtual void AddSegment(std::int64_t id, const SegmentRecord& segment) = 0;
  // REQUIRES: id came from BeginRun.
  virtual void FinishRun(std::int64_t id, const RunRecord& run) = 0;

  // Reads run after run, holding one at a time, however many the store
  // keeps; visit returns false to stop early.
  using RunVisitor = std::function<bool(const RunRecord&)>;
  // The newest last runs (all when last is 0), oldest first: id, started,
  // simulated, settings, plan and outcome only.
  virtual void ListRuns(std::size_t last, const RunVisitor& visit) = 0;
  // The run with its segments; none when there is no such run.
  virtual std::optional<RunRecord> LoadRun(std::int64_t id) = 0;
  // Every run with its segments, oldest first, as they stood when reading
  // began.
  virtual void EachRun(const RunVisitor& visit) = 0;
  // ListRuns and EachRun, of the runs filter takes; a store that cannot
  // choose runs says so by throwing.
  virtual void ListMatching(const RunFilter& /*filter*/, std::size_t /*last*/, const RunVisitor& /*visit*/) {
    throw JournalError("this journal cannot choose runs by bench, date or verdict");
  }
  virtual void EachMatching(const RunFilter& /*filter*/, const RunVisitor& /*visit*/) {
    throw JournalError("this journal cannot choose runs by bench, date or verdict");
  }
  // The store's number for the run with this UUID; none when it holds none.
  virtual std::optional<std::int64_t> RunIdOf(const std::string& /*uuid*/) { return std::nullopt; }

  // How the store is damaged, empty when it looks whole; cheap at any size.
  // Reading goes on after it is said: what a damaged journal still holds may
  // be all there is. A store the program does not keep itself has nothing
  // to say.
  virtual std::string Damage() { return {}; }
  // Copies the store, as it stands, into a new file that replaces
  // destination only once whole, while other programs go on writing. A
  // store that cannot be copied into a file says so by throwing.
  virtual void BackUpTo(const std::string& /*destination*/) {
    throw JournalError("this journal cannot be copied into a file: back it up with its server's own tools");
  }
};

}  // namespace tarnwick

#endif  // TARNWICK_JOURNAL_RESULT_STORE_H_
