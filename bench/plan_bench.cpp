// What reading a plan costs: the built-in text, a shipped file, and a plan
// chosen by name, which reads every plan of the folders searched.
#include <benchmark/benchmark.h>

#include "measure/plan_catalogue.h"
#include "measure/plan_file.h"

namespace tarnwick {
namespace {

void BM_ParseBuiltinPlan(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ReadBuiltinPlan(1));
}
BENCHMARK(BM_ParseBuiltinPlan)->Unit(benchmark::kMicrosecond);

void BM_LoadShippedPlanFile(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(LoadPlanFile(TARNWICK_PLANS_DIR "/3.5G.toml"));
}
BENCHMARK(BM_LoadShippedPlanFile)->Unit(benchmark::kMicrosecond);

void BM_ChoosePlanByName(benchmark::State& state) {
  const std::vector<std::filesystem::path> folders{TARNWICK_PLANS_DIR};
  for (auto _ : state) benchmark::DoNotOptimize(ChoosePlan("3.5G", folders));
}
BENCHMARK(BM_ChoosePlanByName)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
