// Memory over a three-hour show on the virtual clock: the large project, the timer at 30 Hz, a
// document on every second tick, 32 clients of which four leave and four others join every two
// minutes, and the band pressing NEXT whenever the show waits. The allocator's bytes in use and
// the resident size are sampled every minute; what they grew after the first ten minutes is
// reported (KiB): the end against the tenth minute, the highest point and the trend per hour.
// Clients change every second sample. The simulator's own record of calls is emptied before each
// sample, as it is the simulator's memory, not the extension's.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "bench/bench_support.h"

namespace quorvane::bench {
namespace {

constexpr int kSettleSamples = 10;

uint64_t HeapBytesInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// The show's length and the sampling interval in virtual milliseconds: three hours sampled every
// minute, or (a short run, for ctest) one minute sampled every five seconds.
void BM_ThreeHourShowMemory(benchmark::State& state) {
  const int samples = static_cast<int>(state.range(0));
  const int64_t sampleMs = state.range(1);
  for (auto _ : state) {
    sim::Host sim;
    BuildLargeProject(sim);
    Rig rig(sim);
    if (!rig.server.Start()) return state.SkipWithError("the server did not start");
    ReadingClients clients(rig.server.Port());
    clients.Join(kClients);
    for (int i = 0; i < 2000 && rig.server.ClientCount() < kClients; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    rig.StartLiveShow();

    std::vector<double> heapKiB;  // one per sample
    std::vector<double> rssKiB;
    int64_t msInSample = 0;
    int64_t msSinceDrain = 0;
    int lowestClients = kClients;
    while (static_cast<int>(heapKiB.size()) < samples) {
      rig.Advance(kTickMs);
      rig.Tick();
      rig.KeepShowPlaying();
      msInSample += kTickMs;
      msSinceDrain += kTickMs;
      // The ticks run far faster than real time; once a virtual second the clients catch up, as
      // they would have in a show (otherwise the server would rightly drop them as too slow).
      if (msSinceDrain >= 1000) {
        clients.WaitQuiet();
        msSinceDrain = 0;
      }
      if (msInSample < sampleMs) continue;
      msInSample -= sampleMs;
      // Sampled with every document read, so that the samples compare the same moment.
      clients.WaitQuiet();
      // Clients that joined or left at the last sample have been seen by the server by now.
      for (int i = 0; i < 2000 && rig.server.ClientCount() != kClients; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      lowestClients = std::min(lowestClients, static_cast<int>(rig.server.ClientCount()));
      sim.ClearCalls();
      heapKiB.push_back(static_cast<double>(HeapBytesInUse()) / 1024.0);
      rssKiB.push_back(static_cast<double>(ResidentBytes()) / 1024.0);
      if (heapKiB.size() % 2 == 0) {
        clients.Leave(4);
        clients.Join(4);
      }
    }
    // From the tenth sample on: where memory ended, its highest point and its trend.
    const auto settled = static_cast<size_t>(kSettleSamples - 1);
    const auto maxAfter = [&](const std::vector<double>& values) {
      return *std::max_element(values.begin() + static_cast<std::ptrdiff_t>(settled), values.end());
    };
    const auto slopePerHour = [&](const std::vector<double>& values) {
      // Least squares over the samples after settling, in KiB per hour of show.
      double n = 0.0, sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
      for (size_t i = settled; i < values.size(); ++i) {
        const double x = static_cast<double>(i) * static_cast<double>(sampleMs) / 3'600'000.0;
        n += 1.0;
        sx += x;
        sy += values[i];
        sxx += x * x;
        sxy += x * values[i];
      }
      const double denominator = n * sxx - sx * sx;
      return denominator > 0.0 ? (n * sxy - sx * sy) / denominator : 0.0;
    };
    state.counters["heap_settled_KiB"] = heapKiB[settled];
    state.counters["heap_end_KiB"] = heapKiB.back();
    state.counters["heap_max_after_KiB"] = maxAfter(heapKiB);
    state.counters["heap_trend_KiB_per_h"] = slopePerHour(heapKiB);
    state.counters["rss_settled_KiB"] = rssKiB[settled];
    state.counters["rss_end_KiB"] = rssKiB.back();
    state.counters["rss_trend_KiB_per_h"] = slopePerHour(rssKiB);
    state.counters["min_clients"] = lowestClients;
    state.counters["show_minutes"] = static_cast<double>(samples * sampleMs) / 60'000.0;
    if (lowestClients < kClients) state.SkipWithError("clients were dropped during the show");
  }
}
BENCHMARK(BM_ThreeHourShowMemory)
    ->Args(ShortRun() ? std::vector<int64_t>{12, 5'000} : std::vector<int64_t>{180, 60'000})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace quorvane::bench
