// A plain driver for instruction counts: `valgrind --tool=callgrind
// --toggle-collect='*MeasuredTicks*' tick_driver MODE TICKS SONGS` runs TICKS timer ticks of a LIVE
// show with 32 reading clients, where MODE is "idle" (no document due) or "document" (a document
// due on every tick). Divide the collected instructions by TICKS.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/bench_support.h"

namespace quorvane::bench {
namespace {

constexpr int64_t kIntervalNs = remote::RemoteServer::kBroadcastIntervalNanoseconds;

// Kept out of line so that callgrind can collect exactly this.
[[gnu::noinline]] void MeasuredTicks(Rig& rig, ReadingClients& clients, bool documents, int ticks) {
  for (int i = 0; i < ticks; ++i) {
    rig.sim.Advance(kTickMs);
    if (documents) rig.serverNs += kIntervalNs;
    rig.Tick();
    if (documents) clients.WaitQuiet(20);
  }
}

int Run(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s idle|document TICKS SONGS\n", argv[0]);
    return 2;
  }
  const bool documents = std::strcmp(argv[1], "document") == 0;
  const int ticks = std::atoi(argv[2]);
  const int songs = std::atoi(argv[3]);
  sim::Host sim;
  BuildLargeProject(sim, songs);
  Rig rig(sim);
  if (!rig.server.Start()) return 1;
  ReadingClients clients(rig.server.Port());
  clients.Join(kClients);
  for (int i = 0; i < 5000 && rig.server.ClientCount() < kClients; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  rig.StartLiveShow();
  for (int i = 0; i < 4; ++i) {
    rig.Advance(kTickMs);
    rig.Tick();
  }
  rig.serverNs += kIntervalNs;
  rig.Tick();
  clients.WaitQuiet(20);
  MeasuredTicks(rig, clients, documents, ticks);
  std::printf("%d %s ticks, %d songs, %zu clients, playing %d\n", ticks, argv[1], songs,
              rig.server.ClientCount(), rig.engine.Player().Playing() ? 1 : 0);
  return rig.server.ClientCount() == kClients ? 0 : 1;
}

}  // namespace
}  // namespace quorvane::bench

int main(int argc, char** argv) {
  return quorvane::bench::Run(argc, argv);
}
