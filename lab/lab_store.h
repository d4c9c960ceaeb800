// The lab journal: every bench's runs in one PostgreSQL database, read as
// any journal is (runs, show, export, report) and filled by each bench's
// forwarder (lab/lab_forwarder.h). Its tables, runs and segments, hold the
// exports' columns plus run_uuid, bench_name and received_at, so that plain
// SQL answers a quality engineer's questions.
#ifndef TARNWICK_LAB_LAB_STORE_H_
#define TARNWICK_LAB_LAB_STORE_H_

#include <memory>
#include <string>
#include <string_view>

#include "journal/result_store.h"
#include "journal/store_table.h"
#include "lab/pg_connection.h"

namespace tarnwick::lab {

// The lab schema this build writes; a lab at a newer one is neither written
// nor read, an older one is brought up to date by InitLab.
inline constexpr int kLabSchemaVersion = 1;

// Why text cannot name a lab (libpq cannot read it, or it holds a
// password, which a command line shows to every user of the machine);
// empty when it can.
std::string LabAddressProblem(std::string_view text);

// How messages name the lab at text.
std::string ShownLab(std::string_view text);

// Connects to the lab at text, with a connect timeout of 3 s unless text
// gives one. Throws JournalError.
std::unique_ptr<PgConnection> ConnectToLab(const std::string& text);

// Throws JournalError unless the lab holds Tarnwick's tables at this
// build's schema: none there, older, or newer, each said with what to do.
void CheckLabSchema(PgConnection& lab);

// Creates the lab's tables, or brings older ones up to date; refuses a lab
// made by a newer Tarnwick. Says what it did. Throws JournalError.
std::string InitLab(const std::string& text);

// The store table's lab row: lab addresses are checked with
// LabAddressProblem and open a LabStore.
void InstallLabJournal();

// A lab opened for reading. Run numbers are the lab's own.
class LabStore : public ResultStore {
 public:
  explicit LabStore(const std::string& text);

  // Runs reach the lab only through forwarding, never one by one.
  std::int64_t BeginRun(const RunRecord& run) override;
  void PlanRun(std::int64_t id, const RunPlan& plan) override;
  void AddSegment(std::int64_t id, const SegmentRecord& segment) override;
  void FinishRun(std::int64_t id, const RunRecord& run) override;

  void ListRuns(std::size_t last, const RunVisitor& visit) override;
  std::optional<RunRecord> LoadRun(std::int64_t id) override;
  void EachRun(const RunVisitor& visit) override;
  void ListMatching(const RunFilter& filter, std::size_t last, const RunVisitor& visit) override;
  void EachMatching(const RunFilter& filter, const RunVisitor& visit) override;
  std::optional<std::int64_t> RunIdOf(const std::string& uuid) override;

 private:
  // Streams runs with their segments, one run at a time.
  void EachWhole(const char* sql, const std::vector<PgParam>& params, const RunVisitor& visit);
  std::unique_ptr<PgConnection> lab_;
};

}  // namespace tarnwick::lab

#endif  // TARNWICK_LAB_LAB_STORE_H_
