// How long one whole measurement run takes when the bus costs nothing: the
// program's own overhead per START.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <string_view>

#include "bus/analyzer_commands.h"
#include "measure/measurement_run.h"

namespace tarnwick {
namespace {

// Answers at once: a fixed marker reply, and "done" for the status byte.
class InstantDriver : public GpibDriver {
 public:
  int RegisterGpibGlobalsForThread(int32_t* sta, int32_t* err, int32_t* cnt,
                                   int32_t* cntl) override {
    sta_ = sta;
    err_ = err;
    cnt_ = cnt;
    cntl_ = cntl;
    return 0;
  }
  int UnregisterGpibGlobalsForThread() override { return 0; }
  int ibdev(int, int, int, int, int, int) override { return Finish(0), 1; }
  int ibonl(int, int) override { return Finish(0); }
  int ibwrt(int, const void* buf, long cnt) override {
    last_.assign(static_cast<const char*>(buf), static_cast<std::size_t>(cnt));
    return Finish(cnt);
  }
  int ibrd(int, void* buf, long cnt) override {
    std::string_view reply = "1234567890\r\n";
    if (last_ == cmd::kMarkerLevel) reply = "-45.3\r\n";
    if (last_ == cmd::kStatusByteQuery) reply = "128\r\n";
    const auto n = std::min<std::size_t>(reply.size(), static_cast<std::size_t>(cnt));
    std::memcpy(buf, reply.data(), n);
    return Finish(static_cast<long>(n));
  }

 private:
  int Finish(long count) {
    *sta_ = kStatusCmpl;
    *err_ = 0;
    *cnt_ = static_cast<int32_t>(count);
    *cntl_ = static_cast<int32_t>(count);
    return kStatusCmpl;
  }
  int32_t* sta_ = nullptr;
  int32_t* err_ = nullptr;
  int32_t* cnt_ = nullptr;
  int32_t* cntl_ = nullptr;
  std::string last_;
};

class QuietPlatform : public SystemPlatform {
 public:
  void SleepMs(int) override {}
  void PumpEvents() override {}
  void CriticalMessage(std::string_view) override {}
  [[noreturn]] void EndProgram() override { std::abort(); }
};

class DefaultHost : public RunHost {
 public:
  explicit DefaultHost(int averaging) : averaging_(averaging) {}
  std::string CarrierText() override { return "1940"; }
  std::string RefLevelText() override { return "20"; }
  std::string RefOffsetText() override { return "0"; }
  bool Band800MSelected() override { return false; }
  int AveragingValue() override { return averaging_; }
  void InsertResult(std::string_view text) override { benchmark::DoNotOptimize(text.data()); }

 private:
  int averaging_;
};

void RunOnce(benchmark::State& state, int averaging) {
  InstantDriver driver;
  QuietPlatform platform;
  DefaultHost host(averaging);
  AnalyzerBus bus(driver, platform);
  MeasurementRun run(bus, host, platform);
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
