// Memory over a three-hour show on the virtual clock: the large project, the timer at 30 Hz, a
// document on every second tick, 32 clients of which four leave and four others join every two
// minutes, and the band pressing NEXT whenever the show waits. The allocator's bytes in use and
// the resident size are sampled every minute; what they grew after the first ten minutes is
// reported (KiB). Clients change every second sample. The simulator's own record of calls is
// emptied before each sample, as it is the simulator's memory, not the extension's.
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

    uint64_t heapAtSettle = 0;
    uint64_t rssAtSettle = 0;
    uint64_t heapPeakAfter = 0;
    uint64_t rssPeakAfter = 0;
    uint64_t heapEnd = 0;
    int64_t msInSample = 0;
    int sample = 0;
    int lowestClients = kClients;
    while (sample < samples) {
      rig.Advance(kTickMs);
      rig.Tick();
      rig.KeepShowPlaying();
      msInSample += kTickMs;
      // Let the readers keep pace with the virtual clock, as they would in real time.
      if (msInSample % (10 * kTickMs) == 0) std::this_thread::yield();
      if (msInSample < sampleMs) continue;
      msInSample -= sampleMs;
      ++sample;
      lowestClients = std::min(lowestClients, static_cast<int>(rig.server.ClientCount()));
      if (sample % 2 == 0) {
        clients.Leave(4);
        clients.Join(4);
      }
      sim.ClearCalls();
      const uint64_t heap = HeapBytesInUse();
      const uint64_t rss = ResidentBytes();
      if (sample == kSettleSamples) {
        heapAtSettle = heap;
        rssAtSettle = rss;
      } else if (sample > kSettleSamples) {
        heapPeakAfter = std::max(heapPeakAfter, heap);
        rssPeakAfter = std::max(rssPeakAfter, rss);
      }
      heapEnd = heap;
    }
    const auto growthKiB = [](uint64_t peak, uint64_t base) {
      return peak > base ? static_cast<double>(peak - base) / 1024.0 : 0.0;
    };
    state.counters["heap_settled_KiB"] = static_cast<double>(heapAtSettle) / 1024.0;
    state.counters["heap_end_KiB"] = static_cast<double>(heapEnd) / 1024.0;
    state.counters["heap_growth_KiB"] = growthKiB(heapPeakAfter, heapAtSettle);
    state.counters["rss_settled_KiB"] = static_cast<double>(rssAtSettle) / 1024.0;
    state.counters["rss_growth_KiB"] = growthKiB(rssPeakAfter, rssAtSettle);
    state.counters["min_clients"] = lowestClients;
    state.counters["show_minutes"] = static_cast<double>(samples * sampleMs) / 60'000.0;
  }
}
BENCHMARK(BM_ThreeHourShowMemory)
    ->Args(ShortRun() ? std::vector<int64_t>{12, 5'000} : std::vector<int64_t>{180, 60'000})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace quorvane::bench
