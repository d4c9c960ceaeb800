// How long one whole measurement run takes when the bus costs nothing: the
// program's own overhead per START.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <string_view>

#include "analyser/builtin_commands.h"
#include "analyser/builtin_dialogue.h"
#include "bus/analyzer_bus.h"
#include "bus/status_words.h"
#include "measure/measurement_run.h"
#include "results/block_text.h"

namespace tarnwick {
namespace {

// Answers at once: a peak at the start of the segment swept, and "done" for
// the status byte.
class InstantDriver : public StatusWordDriver {
 public:
  int ibdev(int, int, int, int, int, int) override { return Finish(0), 1; }
  int ibonl(int, int) override { return Finish(0); }
  int ibwrt(int, const void* buf, long cnt) override {
    last_.assign(static_cast<const char*>(buf), static_cast<std::size_t>(cnt));
    if (last_.starts_with(cmd::kStartPrefix)) {
      start_ = last_.substr(cmd::kStartPrefix.size(), last_.size() - cmd::kStartPrefix.size() -
                                                          cmd::kHzSuffix.size()) + "\r\n";
    }
    return Finish(cnt);
  }
  int ibrd(int, void* buf, long cnt) override {
    std::string_view reply = start_;
    if (last_ == cmd::kMarkerLevel) reply = "-45.3\r\n";
    if (last_ == cmd::kStatusByteQuery) reply = "128\r\n";
    const auto n = std::min<std::size_t>(reply.size(), static_cast<std::size_t>(cnt));
    std::memcpy(buf, reply.data(), n);
    return Finish(static_cast<long>(n));
  }

 private:
  int Finish(long count) { return StatusWordDriver::Finish(kStatusCmpl, 0, count); }
  std::string last_;
  std::string start_ = "0\r\n";
};

class QuietPlatform : public SystemPlatform {
 public:
  void SleepMs(int) override {}
};

class DefaultHost : public RunHost {
 public:
  explicit DefaultHost(int averaging) : averaging_(averaging) {}
  std::string CarrierText() override { return "1940"; }
  std::string RefLevelText() override { return "20"; }
  std::string RefOffsetText() override { return "0"; }
  bool Band800MSelected() override { return false; }
  int AveragingValue() override { return averaging_; }

 private:
  int averaging_;
};

void RunOnce(benchmark::State& state, int averaging) {
  InstantDriver driver;
  QuietPlatform platform;
  DefaultHost host(averaging);
  AnalyzerBus bus(driver);
  BuiltinDialogue analyser(bus, platform);
  MeasurementRun run(analyser, host, platform);
  BlockWriter box([](std::string_view text) { benchmark::DoNotOptimize(text.data()); });
  run.AddObserver(box);
  for (auto _ : state) {
    benchmark::DoNotOptimize(run.OnStart());
  }
}

void BM_Full2GRun(benchmark::State& state) { RunOnce(state, 0); }
void BM_Full2GRunAveraged(benchmark::State& state) { RunOnce(state, 1); }

BENCHMARK(BM_Full2GRun)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Full2GRunAveraged)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
