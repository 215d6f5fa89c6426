// The timer tick while a LIVE show plays with 32 reading clients: a tick with no state document
// due, a tick that builds the document and sends it to every client, and a whole minute of ticks
// at 30 a second. Projects of 20, 200 and 2,000 songs show how the cost grows. Last, the ticks
// that work off a flood of commands from one client.
//
// The extension constructs its remote server with the system's steady clock, which a benchmark
// cannot reach through the entry point; so these ticks run the timer tick's steps on the same
// records wired the same way (bench_support.h, Rig), with the server's clock in the benchmark's
// hands. BM_ExtensionTimerTick runs the real entry point's tick for comparison.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <string>

#include "bench/bench_support.h"

QUORVANE_EXPORT int ReaperPluginEntry(HINSTANCE instance, reaper_plugin_info_t* rec);

namespace quorvane::bench {
namespace {

constexpr int64_t kBroadcastIntervalNs = remote::RemoteServer::kBroadcastIntervalNanoseconds;

// The calling thread's processor time: what a tick costs the host's main thread, without the time
// other processes of a shared machine hold the processor.
double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A LIVE show in a project of `songs` songs with `clientCount` connected, greeted clients.
struct LiveShow {
  explicit LiveShow(int songs, int readers = kClients) : clientCount(readers) {
    BuildLargeProject(sim, songs);
    rig = std::make_unique<Rig>(sim);
    ok = rig->server.Start();
    if (!ok) return;
    clients = std::make_unique<ReadingClients>(rig->server.Port());
    clients->Join(clientCount);
    for (int i = 0; i < 2000 && rig->server.ClientCount() < static_cast<size_t>(clientCount); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ok = rig->server.ClientCount() == static_cast<size_t>(clientCount);
    rig->StartLiveShow();
    for (int i = 0; i < 4; ++i) {  // greetings and the first documents
      rig->Advance(kTickMs);
      rig->Tick();
      clients->WaitQuiet(5);
    }
    // Ends with a document sent, so that the next one is due 50 ms from now.
    rig->serverNs += kBroadcastIntervalNs;
    rig->Tick();
    clients->WaitQuiet(5);
    lastDocumentNs = rig->serverNs.load();
    ok = ok && rig->engine.Player().Playing() && rig->engine.Status() == show::ShowStatus::kLive;
  }

  // The bytes one broadcast of the current state sends to all clients.
  uint64_t BroadcastBytes() const {
    return static_cast<uint64_t>(clientCount) * (remote::BuildStateDocument(rig->view).size() + 1);
  }

  const int clientCount;
  sim::Host sim;
  std::unique_ptr<Rig> rig;
  std::unique_ptr<ReadingClients> clients;
  int64_t lastDocumentNs = 0;  // the server's clock when it last sent a document
  bool ok = false;
};

// A tick within 50 ms of the last document: the show's supervision and timing, no document.
void BM_TickNoDocumentDue(benchmark::State& state) {
  LiveShow show(static_cast<int>(state.range(0)));
  if (!show.ok) return state.SkipWithError("could not set up the live show");
  Rig& rig = *show.rig;
  for (auto _ : state) {
    rig.sim.Advance(kTickMs);  // the server's clock stands still: no document is due
    rig.Tick();
    rig.KeepShowPlaying();
  }
  state.counters["clients"] = static_cast<double>(rig.server.ClientCount());
}
BENCHMARK(BM_TickNoDocumentDue)->Arg(20)->Arg(200)->Arg(2000)->Unit(benchmark::kMicrosecond);

// A tick with a document due: built once and sent to 32 clients (second argument). The clients
// read it before the next tick (outside the measured time), as they have 66 ms to in a show.
void BM_TickDocumentDue(benchmark::State& state) {
  LiveShow show(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  if (!show.ok) return state.SkipWithError("could not set up the live show");
  Rig& rig = *show.rig;
  uint64_t received = show.clients->BytesReceived();
  for (auto _ : state) {
    rig.Advance(kTickMs);
    rig.serverNs += kBroadcastIntervalNs;  // always due
    rig.Tick();
    state.PauseTiming();
    const uint64_t sent = show.BroadcastBytes();
    received += sent;
    if (!show.clients->WaitForBytes(received)) {
      state.SkipWithError("the clients did not receive the document");
      break;
    }
    rig.KeepShowPlaying();
    state.ResumeTiming();
  }
  state.counters["document_bytes"] =
      static_cast<double>(remote::BuildStateDocument(rig.view).size());
  state.counters["clients"] = static_cast<double>(rig.server.ClientCount());
}
BENCHMARK(BM_TickDocumentDue)
    ->Args({20, kClients})
    ->Args({200, kClients})
    ->Args({2000, kClients})
    ->Args({200, 0})  // the same without clients: what the sends cost
    ->Unit(benchmark::kMicrosecond);

// A minute of the show at 30 ticks a second (1,800 ticks; a document is due on every second one),
// with 32 clients (second argument; without clients no document is sent). Only the ticks are
// timed; the clients read between them. Reports the average tick and its share of the 33.3 ms
// tick interval, in real time and in the main thread's processor time.
void BM_ShowMinute(benchmark::State& state) {
  LiveShow show(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  if (!show.ok) return state.SkipWithError("could not set up the live show");
  Rig& rig = *show.rig;
  // A short run (ctest) takes two seconds of the show instead of a minute.
  const int ticksPerIteration = ShortRun() ? 60 : 1800;
  uint64_t received = show.clients->BytesReceived();
  int64_t lastDue = show.lastDocumentNs;
  double totalSeconds = 0.0;
  double totalCpuSeconds = 0.0;
  int64_t ticks = 0;
  for (auto _ : state) {
    double seconds = 0.0;
    for (int i = 0; i < ticksPerIteration; ++i) {
      rig.Advance(kTickMs);
      const double cpuStart = ThreadCpuSeconds();
      const auto start = std::chrono::steady_clock::now();
      rig.Tick();
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      totalCpuSeconds += ThreadCpuSeconds() - cpuStart;
      if (rig.serverNs.load() - lastDue >= kBroadcastIntervalNs) {
        lastDue = rig.serverNs.load();
        received += show.BroadcastBytes();
        if (!show.clients->WaitForBytes(received)) {
          state.SkipWithError("the clients did not receive the document");
          return;
        }
      }
      rig.KeepShowPlaying();
    }
    state.SetIterationTime(seconds);
    totalSeconds += seconds;
    ticks += ticksPerIteration;
  }
  const double average = ticks > 0 ? totalSeconds / static_cast<double>(ticks) : 0.0;
  const double averageCpu = ticks > 0 ? totalCpuSeconds / static_cast<double>(ticks) : 0.0;
  state.counters["avg_tick_us"] = average * 1e6;
  state.counters["pct_of_interval"] = average / (1.0 / 30.0) * 100.0;
  state.counters["avg_tick_cpu_us"] = averageCpu * 1e6;
  state.counters["cpu_pct_of_interval"] = averageCpu / (1.0 / 30.0) * 100.0;
}
BENCHMARK(BM_ShowMinute)
    ->Apply([](benchmark::internal::Benchmark* b) {
      for (const int songs : {20, 200, 2000}) {
        if (!ShortRun() || songs == 20) b->Args({songs, kClients});
      }
      if (!ShortRun()) b->Args({2000, 0});  // what the show alone costs
    })
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The real extension's timer tick through its entry point, in the large project with 32 clients
// and a LIVE show. Its server paces documents by real time (one per 50 ms), so this is the mean of
// ticks run back to back: mostly ticks without a document.
void BM_ExtensionTimerTick(benchmark::State& state) {
  sim::Host host;
  BuildLargeProject(host);
  NameBenchProject(host);
  if (ReaperPluginEntry(nullptr, host.Info()) != 1) return state.SkipWithError("load failed");
  host.Tick();  // announces the project's name
  const uint16_t port = DiscoverServerPort();
  if (port == 0) {
    ReaperPluginEntry(nullptr, nullptr);
    return state.SkipWithError("no discovery answer");
  }
  {
    ReadingClients clients(port);
    clients.Join(kClients);
    for (int i = 0; i < 2000 && clients.Connected() < kClients; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    clients.Send(0, "{\"cmd\":\"MODE_LIVE\"}\n{\"cmd\":\"LIVE_START_SHOW\"}\n");
    for (int i = 0; i < 200 && host.Transport() != sim::TransportState::kPlaying; ++i) {
      host.Run(kTickMs);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (host.Transport() != sim::TransportState::kPlaying) {
      state.SkipWithError("the show did not start");
    } else {
      for (auto _ : state) {
        host.Advance(kTickMs);
        host.Tick();
        if (host.Transport() != sim::TransportState::kPlaying) {
          clients.Send(0, "{\"cmd\":\"LIVE_PLAY_NEXT\"}\n");
        }
      }
      state.counters["clients"] = clients.Connected();
    }
  }
  ReaperPluginEntry(nullptr, nullptr);
}
BENCHMARK(BM_ExtensionTimerTick)->Unit(benchmark::kMicrosecond);

// One client floods the real extension with 1,000 SETUP_ADD_PAUSE lines at once, in the 20-song
// project (21 items): the ticks that work the flood off, each one's main-thread time, until the
// setlist stands at its limit. The dispatch budget keeps every tick short; the flood spreads over
// more ticks instead.
void BM_ExtensionTicksUnderCommandFlood(benchmark::State& state) {
  for (auto _ : state) {
    sim::Host host;
    BuildLargeProject(host, 20);
    NameBenchProject(host);
    if (ReaperPluginEntry(nullptr, host.Info()) != 1) return state.SkipWithError("load failed");
    host.Tick();  // announces the project's name
    const uint16_t port = DiscoverServerPort();
    double longest = 0.0;
    double total = 0.0;
    int ticks = 0;
    bool full = false;
    {
      ReadingClients clients(port);
      clients.Join(1);
      for (int i = 0; i < 2000 && clients.Connected() < 1; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      std::string flood;
      for (int i = 0; i < 1000; ++i)
        flood += "{\"cmd\":\"SETUP_ADD_PAUSE\"}\n";
      if (port == 0 || !clients.Send(0, flood)) {
        state.SkipWithError("no client");
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the server reads it all
        for (; ticks < 20000 && !full; ++ticks) {
          host.Advance(kTickMs);
          const double start = ThreadCpuSeconds();
          host.Tick();
          const double spent = ThreadCpuSeconds() - start;
          longest = std::max(longest, spent);
          total += spent;
          full = host.ExtState("Quorvane", "Setlist.Count") == "1000";
          host.ClearCalls();  // the simulator's own record of the saves is not the extension's cost
        }
      }
    }
    ReaperPluginEntry(nullptr, nullptr);
    if (!full) return state.SkipWithError("the setlist did not fill up");
    state.SetIterationTime(total);
    state.counters["ticks"] = ticks;
    state.counters["longest_tick_ms"] = longest * 1e3;
    state.counters["total_cpu_s"] = total;
  }
}
BENCHMARK(BM_ExtensionTicksUnderCommandFlood)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvane::bench
