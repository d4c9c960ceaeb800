// The journal's promise to the run: a store that fails is reported once, and
// the run's values are kept all the same.
#include <gtest/gtest.h>

#include "journal/run_journal.h"

namespace tarnwick {
namespace {

// Fails every call from the nth on, as a full disk would.
class FailingStore : public ResultStore {
 public:
  explicit FailingStore(int failFrom, int& calls) : fail_from_(failFrom), calls_(calls) {}
  std::int64_t BeginRun(const StoredRun&) override { return Call(), 7; }
  void PlanRun(std::int64_t, const RunPlan&) override { Call(); }
  void AddSegment(std::int64_t, const StoredSegment&) override { Call(); }
  void FinishRun(std::int64_t, const StoredRun&) override { Call(); }
  std::vector<StoredRun> ListRuns(std::size_t) override { return {}; }
  std::optional<StoredRun> LoadRun(std::int64_t) override { return std::nullopt; }
  std::vector<std::int64_t> RunIds() override { return {}; }

 private:
  void Call() {
    if (++calls_ >= fail_from_) throw JournalError("disk full");
  }
  int fail_from_;
  int& calls_;
};

TEST(RunJournal, AFailingStoreIsReportedOnceAndTheRunKept) {
  for (int failFrom : {1, 3, 99}) {
    int calls = 0;
    std::vector<std::string> warnings;
    RunJournal journal({std::make_unique<FailingStore>(failFrom, calls), ""},
                       [&](const std::string& w) { warnings.push_back(w); });
    journal.SetLimits(LimitTable::Everywhere(-50));
    journal.RunStarted({"1940", "20", "0", false, false});
    journal.RunPlanned({1940, 20, 0, 3});
    for (std::size_t i = 0; i < 3; ++i) {
      journal.SegmentMeasured({i, 30e6, 1100e6, 970e6, -60.0 + 10 * static_cast<double>(i),
                               SweepWait::kNotAveraged, "line", ""});
    }
    journal.RunFinished(RunOutcome::kCompleted, "", "");
    const int expectedCalls = std::min(failFrom, 6);
    EXPECT_EQ(calls, expectedCalls) << failFrom;  // nothing more after the failure
    EXPECT_EQ(warnings.size(), failFrom <= 6 ? 1u : 0u) << failFrom;
    EXPECT_EQ(journal.latest().segments.size(), 3u);
    EXPECT_EQ(journal.latest().Failures(), 1u);  // -40 over -50; -50 is on the limit
    EXPECT_EQ(journal.latest().OutcomeName(), "completed");
  }
}

}  // namespace
}  // namespace tarnwick
