// What keeping results costs: journaling one simulated run's values, and
// reading a journal of 10,000 runs as `runs` and `show` do.
//
//   journal_bench [benchmark options]     the benchmarks below
//   journal_bench --make-journal PATH     writes a 10,000-run journal and ends
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <fmt/format.h>

#include "journal/run_journal.h"
#include "journal/store_table.h"
#include "results/block_text.h"
#include "results/recorder.h"

namespace tarnwick {
namespace {

constexpr int kJournalRuns = 10'000;

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          fmt::format("tarnwick-bench-{}-{}.sqlite", name, std::rand()))
      .string();
}

void RemoveJournal(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
}

// A recorder with limits, journaling into path.
struct Keeper {
  explicit Keeper(const std::string& path)
      : journal(OpenJournal(path), [](const std::string& w) { std::fprintf(stderr, "%s\n", w.c_str()); }) {
    recorder.SetBench([] { return std::string("simulated (built-in scene)"); }, true);
    recorder.SetLimits(LimitTable::Everywhere(-40));
    recorder.AddListener(journal);
  }
  RunRecorder recorder;
  RunJournal journal;
};

// The events of the default simulated run.
void FeedRun(RunRecorder& journal) {
  static const double kPeaks[6][4] = {
      {30e6, 1100e6, 970e6, -57.9},        {1000e6, 1927.5e6, 1926.844e6, -47.25},
      {1952.5e6, 3100e6, 1953.156e6, -52.85}, {3000e6, 4100e6, 3880e6, -38.4},
      {4000e6, 5100e6, 4523.3e6, -66.85},   {5000e6, 6100e6, 5820e6, -52.75}};
  journal.RunStarted({"1940", "20", "0", false, false, "2G", "", "builtin", {}});
  journal.RunPlanned({1940, 20, 0, 6});
  for (std::size_t i = 0; i < 6; ++i) {
    const auto& p = kPeaks[i];
    journal.SegmentMeasured({i, p[0], p[1], p[2], p[3], SweepWait::kNotAveraged, ""});
  }
  journal.RunFinished({RunOutcome::kCompleted, "", {}, false});
}

void MakeJournalOf(const std::string& path, int runs) {
  Keeper keeper(path);
  for (int i = 0; i < runs; ++i) FeedRun(keeper.recorder);
}

// One whole run's journaling: nine transactions, each synced to disk.
void BM_JournalOneRun(benchmark::State& state) {
  const std::string path = TempPath("run");
  {
    Keeper keeper(path);
    for (auto _ : state) FeedRun(keeper.recorder);
  }
  RemoveJournal(path);
}
BENCHMARK(BM_JournalOneRun)->Unit(benchmark::kMillisecond);

// Opening an existing journal, as every program start does.
void BM_OpenJournal(benchmark::State& state) {
  const std::string path = TempPath("open");
  MakeJournalOf(path, 1);
  for (auto _ : state) OpenJournal(path);
  RemoveJournal(path);
}
BENCHMARK(BM_OpenJournal)->Unit(benchmark::kMillisecond);

class BigJournal : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State&) override {
    if (path_.empty()) {
      path_ = TempPath("big");
      MakeJournalOf(path_, kJournalRuns);
    }
  }
  static std::string path_;
};
std::string BigJournal::path_;

// What `tarnwick-cli runs` does: open, list every run.
BENCHMARK_DEFINE_F(BigJournal, Runs)(benchmark::State& state) {
  for (auto _ : state) {
    const auto store = OpenStore(ParseStoreAddress(path_), JournalAccess::kRead);
    std::size_t listed = 0;
    store->ListRuns(0, [&listed](const RunRecord&) { return ++listed > 0; });
    benchmark::DoNotOptimize(listed);
  }
}
BENCHMARK_REGISTER_F(BigJournal, Runs)->Unit(benchmark::kMillisecond);

// What `tarnwick-cli show` does: open, load one run and rebuild its block.
BENCHMARK_DEFINE_F(BigJournal, Show)(benchmark::State& state) {
  for (auto _ : state) {
    const auto store = OpenStore(ParseStoreAddress(path_), JournalAccess::kRead);
    benchmark::DoNotOptimize(BlockText(*store->LoadRun(kJournalRuns / 2)));
  }
}
BENCHMARK_REGISTER_F(BigJournal, Show)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--make-journal") {
    tarnwick::MakeJournalOf(argv[2], tarnwick::kJournalRuns);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!tarnwick::BigJournal::path_.empty()) tarnwick::RemoveJournal(tarnwick::BigJournal::path_);
  return 0;
}
