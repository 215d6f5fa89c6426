// From a client's LIVE_PLAY_NEXT to the host being told to play, in real time: the extension is
// loaded through its entry point into the host simulator, which ticks at 30 Hz on a thread of its
// own, with 32 more clients reading the state documents. Commands are sent at random moments
// within the tick interval. Each iteration is one command; the median and the 99th percentile
// over the run are reported as counters (milliseconds).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "web/web_client.h"

QUORVANE_EXPORT int ReaperPluginEntry(HINSTANCE instance, reaper_plugin_info_t* rec);

namespace quorvane::bench {
namespace {

using SteadyClock = std::chrono::steady_clock;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now().time_since_epoch())
      .count();
}

// The host's main thread: advances the virtual clock and calls the timer every 33 ms of real
// time, and notes when the extension pressed play.
class TickingHost {
 public:
  explicit TickingHost(sim::Host& host) : host_(host), thread_([this] { Run(); }) {}
  ~TickingHost() {
    stop_ = true;
    thread_.join();
  }
  TickingHost(const TickingHost&) = delete;
  TickingHost& operator=(const TickingHost&) = delete;

  int Plays() const { return plays_.load(); }
  int64_t LastPlayNs() const { return lastPlayNs_.load(); }
  bool Playing() const { return playing_.load(); }

 private:
  void Run() {
    auto next = SteadyClock::now();
    int seen = 0;
    while (!stop_.load()) {
      next += std::chrono::milliseconds(kTickMs);
      std::this_thread::sleep_until(next);
      host_.Advance(kTickMs);
      host_.Tick();
      const int plays = host_.CountCalls("OnPlayButton");
      if (plays != seen) {
        lastPlayNs_ = NowNs();
        seen = plays;
        plays_ = plays;
      }
      playing_ = host_.Transport() == sim::TransportState::kPlaying;
      if (plays > 1000) host_.ClearCalls(), seen = 0;  // keeps the simulator's record small
    }
  }

  sim::Host& host_;
  std::atomic<bool> stop_{false};
  std::atomic<int> plays_{0};
  std::atomic<int64_t> lastPlayNs_{0};
  std::atomic<bool> playing_{false};
  std::thread thread_;
};

bool WaitFor(const auto& condition, int timeoutMs) {
  for (int i = 0; i < timeoutMs; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const auto at = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(at, values.size() - 1)];
}

void BM_RemotePlayNextToPlayButton(benchmark::State& state) {
  sim::Host host;
  BuildLargeProject(host);
  NameBenchProject(host);
  if (ReaperPluginEntry(nullptr, host.Info()) != 1) return state.SkipWithError("load failed");
  host.Tick();  // announces the project's name
  std::vector<double> latenciesMs;
  {
    const uint16_t port = DiscoverServerPort();
    TickingHost ticking(host);
    ReadingClients clients(port);
    clients.Join(kClients + 1);  // client 0 sends the commands
    WaitFor([&] { return clients.Connected() == kClients + 1; }, 5000);
    clients.Send(0, "{\"cmd\":\"MODE_LIVE\"}\n{\"cmd\":\"LIVE_START_SHOW\"}\n");
    if (port == 0 || !WaitFor([&] { return ticking.Playing(); }, 5000)) {
      state.SkipWithError("the show did not start");
    } else {
      std::mt19937 random(12345);
      std::uniform_int_distribution<int> phase(0, static_cast<int>(kTickMs) * 1000);
      for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::microseconds(phase(random)));
        const int before = ticking.Plays();
        const int64_t sentNs = NowNs();
        if (!clients.Send(0, "{\"cmd\":\"LIVE_PLAY_NEXT\"}\n") ||
            !WaitFor([&] { return ticking.Plays() != before; }, 2000)) {
          state.SkipWithError("the command did not reach the host");
          break;
        }
        const double seconds = static_cast<double>(ticking.LastPlayNs() - sentNs) / 1e9;
        state.SetIterationTime(seconds);
        latenciesMs.push_back(seconds * 1e3);
      }
    }
  }
  ReaperPluginEntry(nullptr, nullptr);
  state.counters["median_ms"] = Percentile(latenciesMs, 0.5);
  state.counters["p90_ms"] = Percentile(latenciesMs, 0.90);
  state.counters["p99_ms"] = Percentile(latenciesMs, 0.99);
  state.counters["max_ms"] = Percentile(latenciesMs, 1.0);
  state.counters["tick_ms"] = static_cast<double>(kTickMs);
}
// 150 commands stay within the setlist's 200 songs.
BENCHMARK(BM_RemotePlayNextToPlayButton)
    ->UseManualTime()
    ->Iterations(ShortRun() ? 5 : 150)
    ->Unit(benchmark::kMillisecond);

// The same from a browser's WebSocket (the web remote's control address), with the 32 TCP clients
// reading as before.
void BM_WebPlayNextToPlayButton(benchmark::State& state) {
  sim::Host host;
  BuildLargeProject(host);
  NameBenchProject(host);
  if (ReaperPluginEntry(nullptr, host.Info()) != 1) return state.SkipWithError("load failed");
  host.Tick();
  const int webPort = std::atoi(host.GlobalExtState("Quorvane", "webPortInUse").c_str());
  const std::string key = host.GlobalExtState("Quorvane", "webControlKey");
  std::vector<double> latenciesMs;
  {
    const uint16_t port = DiscoverServerPort();
    TickingHost ticking(host);
    ReadingClients clients(port);
    clients.Join(kClients);
    web::testing::WebSocketClient browser;
    const bool connected =
        webPort > 0 && browser.Connect(static_cast<uint16_t>(webPort), "/ws?key=" + key) == 101;
    if (connected) {
      browser.Send(R"({"cmd":"MODE_LIVE"})");
      browser.Send(R"({"cmd":"LIVE_START_SHOW"})");
    }
    if (!connected || !WaitFor([&] { return ticking.Playing(); }, 5000)) {
      state.SkipWithError("the show did not start from the browser");
    } else {
      std::mt19937 random(12345);
      std::uniform_int_distribution<int> phase(0, static_cast<int>(kTickMs) * 1000);
      for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::microseconds(phase(random)));
        const int before = ticking.Plays();
        const int64_t sentNs = NowNs();
        if (!browser.Send(R"({"cmd":"LIVE_PLAY_NEXT"})") ||
            !WaitFor([&] { return ticking.Plays() != before; }, 2000)) {
          state.SkipWithError("the command did not reach the host");
          break;
        }
        const double seconds = static_cast<double>(ticking.LastPlayNs() - sentNs) / 1e9;
        state.SetIterationTime(seconds);
        latenciesMs.push_back(seconds * 1e3);
      }
    }
  }
  ReaperPluginEntry(nullptr, nullptr);
  state.counters["median_ms"] = Percentile(latenciesMs, 0.5);
  state.counters["p90_ms"] = Percentile(latenciesMs, 0.90);
  state.counters["p99_ms"] = Percentile(latenciesMs, 0.99);
  state.counters["max_ms"] = Percentile(latenciesMs, 1.0);
}
BENCHMARK(BM_WebPlayNextToPlayButton)
    ->UseManualTime()
    ->Iterations(ShortRun() ? 5 : 150)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvane::bench
