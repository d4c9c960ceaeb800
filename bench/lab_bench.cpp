// What forwarding to a lab costs.
//
//   lab_bench make-journal PATH N    a bench journal of N finished runs, all waiting
//   lab_bench forward PATH CONNINFO  forwards them, and says how long it took
//
// bench/lab_bench.sh runs both against a private server, and times reading a
// lab of 100,000 runs with tarnwick-cli.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fmt/format.h>
#include <sqlite3.h>

#include "journal/run_journal.h"
#include "lab/lab_forwarder.h"
#include "results/recorder.h"

namespace tarnwick {
namespace {

// One run as the simulator gives it, then N - 1 copies made by SQLite
// itself, each with an id of its own: quicker by far than N runs' worth of
// synced transactions.
int MakeJournal(const std::string& path, long runs) {
  {
    RunJournal journal(OpenJournal(path), [](const std::string& w) { std::fprintf(stderr, "%s\n", w.c_str()); });
    RunRecorder recorder;
    recorder.SetBench([] { return std::string("simulated (built-in scene)"); }, true);
    recorder.SetLimits(LimitTable::Everywhere(-40));
    recorder.AddListener(journal);
    static const double kPeaks[6][4] = {
        {30e6, 1100e6, 970e6, -57.9},        {1000e6, 1927.5e6, 1926.844e6, -47.25},
        {1952.5e6, 3100e6, 1953.156e6, -52.85}, {3000e6, 4100e6, 3880e6, -38.4},
        {4000e6, 5100e6, 4523.3e6, -66.85},   {5000e6, 6100e6, 5820e6, -52.75}};
    recorder.RunStarted({"1940", "20", "0", false, false, "2G", "", "builtin", {}});
    recorder.RunPlanned({1940, 20, 0, 6});
    for (std::size_t i = 0; i < 6; ++i) {
      const auto& p = kPeaks[i];
      recorder.SegmentMeasured({i, p[0], p[1], p[2], p[3], SweepWait::kNotAveraged, ""});
    }
    recorder.RunFinished({RunOutcome::kCompleted, "", {}, false});
  }
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  const std::string sql = fmt::format(
      "BEGIN;"
      "WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < {0})"
      " INSERT INTO runs (id, started, ended, version, bench, simulated, carrier_text, ref_text,"
      " offset_text, band, averaging, carrier_mhz, ref_dbm, offset_db, segment_count, outcome,"
      " message, end_notes, limits, plan, plan_text, dialect, run_uuid, bench_name, verdict, writer)"
      " SELECT i, started, ended, version, bench, simulated, carrier_text, ref_text, offset_text,"
      " band, averaging, carrier_mhz, ref_dbm, offset_db, segment_count, outcome, message,"
      " end_notes, limits, plan, plan_text, dialect, lower(hex(randomblob(16))), bench_name,"
      " verdict, writer FROM runs, n WHERE id = 1;"
      "INSERT INTO segments SELECT r.id, s.idx, s.start_hz, s.stop_hz, s.peak_hz, s.peak_dbm,"
      " s.wait, s.line, s.note, s.limit_dbm, s.margin_db, s.verdict FROM runs r, segments s"
      " WHERE r.id > 1 AND s.run_id = 1;"
      "INSERT INTO lab_queue (run_id, queued) SELECT id, started FROM runs WHERE id > 1;"
      "COMMIT;",
      runs);
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "%s\n", error);
    return 1;
  }
  sqlite3_close(db);
  return 0;
}

int Forward(const std::string& path, const std::string& lab) {
  const auto start = std::chrono::steady_clock::now();
  const lab::ForwardOutcome o = lab::LabForwarder(path, lab).ForwardWaiting();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  fmt::print("forwarded {} runs in {:.2f} s ({} waiting){}{}\n", o.forwarded, took.count(), o.waiting,
             o.error.empty() ? "" : ": ", o.error);
  return o.Done() ? 0 : 1;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  if (argc == 4 && what == "make-journal") return tarnwick::MakeJournal(argv[2], std::atol(argv[3]));
  if (argc == 4 && what == "forward") return tarnwick::Forward(argv[2], argv[3]);
  std::fprintf(stderr, "usage: lab_bench make-journal PATH N | forward PATH CONNINFO\n");
  return 2;
}
