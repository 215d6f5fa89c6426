// From a client's LIVE_PLAY_NEXT to the host being told to play, in real time: the extension is
// loaded through its entry point into the host simulator, which ticks at 30 Hz on a thread of its
// own, with 32 more clients reading the state documents. Commands are sent at random moments
// within the tick interval. Each iteration is one command; the median and the 99th percentile
// over the run are reported as counters (milliseconds).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <random>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "remote/loopback_client.h"
#include "web/web_client.h"

QUORVANE_EXPORT int ReaperPluginEntry(HINSTANCE instance, reaper_plugin_info_t* rec);

namespace quorvane::bench {
namespace {

using SteadyClock = std::chrono::steady_clock;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now().time_since_epoch())
      .count();
}

// The host's main thread and its message loop: the virtual clock follows real time, the timer is
// called every 33 ms, and between ticks the loop delivers the extension's wakes (posted from the
// server's thread, and its one-shot timer) as they come. Notes when the extension pressed play.
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
  int64_t LastPlayVirtualMs() const { return lastPlayVirtualMs_.load(); }
  int64_t LastClickVirtualMs() const { return lastClickVirtualMs_.load(); }
  bool Playing() const { return playing_.load(); }

 private:
  void Run() {
    const auto start = SteadyClock::now();
    auto nextTick = start + std::chrono::milliseconds(kTickMs);
    int64_t advancedMs = 0;
    int seen = 0;
    int seenClicks = 0;
    while (!stop_.load()) {
      auto until = nextTick;
      const int64_t timerMs = host_.TimerDueInMs();
      if (timerMs >= 0)
        until = std::min(until, SteadyClock::now() + std::chrono::milliseconds(timerMs));
      const auto waitMs =
          std::chrono::ceil<std::chrono::milliseconds>(until - SteadyClock::now()).count();
      if (waitMs > 0) host_.WaitForPostedWake(waitMs);
      const auto now = SteadyClock::now();
      const int64_t elapsedMs =
          std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count();
      host_.Advance(elapsedMs - advancedMs);
      advancedMs = elapsedMs;
      host_.DeliverMessages();
      if (now >= nextTick) {
        host_.Tick();
        nextTick += std::chrono::milliseconds(kTickMs);
      }
      const int plays = host_.CountCalls("OnPlayButton");
      if (plays != seen) {
        lastPlayNs_ = NowNs();
        lastPlayVirtualMs_ = host_.CallsTo("OnPlayButton").back().atMs;
        seen = plays;
        plays_ = plays;
      }
      const int clicks = host_.CountCalls("PlayPreviewEx");
      if (clicks != seenClicks) {
        lastClickVirtualMs_ = host_.CallsTo("PlayPreviewEx").back().atMs;
        seenClicks = clicks;
      }
      playing_ = host_.Transport() == sim::TransportState::kPlaying;
      if (plays > 1000 || clicks > 1000)
        host_.ClearCalls(), seen = 0, seenClicks = 0;  // keeps the simulator's record small
    }
  }

  sim::Host& host_;
  std::atomic<bool> stop_{false};
  std::atomic<int> plays_{0};
  std::atomic<int64_t> lastPlayNs_{0};
  std::atomic<int64_t> lastPlayVirtualMs_{0};
  std::atomic<int64_t> lastClickVirtualMs_{0};
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

// Sends LIVE_PLAY_NEXT through `send` once per iteration, at a random phase of the host's tick,
// and records how long the host took to be told to play.
template <class Send>
void MeasurePlayNext(benchmark::State& state, const TickingHost& ticking, Send send,
                     std::vector<double>* latenciesMs) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> phase(0, static_cast<int>(kTickMs) * 1000);
  for (auto _ : state) {
    std::this_thread::sleep_for(std::chrono::microseconds(phase(random)));
    const int before = ticking.Plays();
    const int64_t sentNs = NowNs();
    if (!send() || !WaitFor([&] { return ticking.Plays() != before; }, 2000)) {
      state.SkipWithError("the command did not reach the host");
      break;
    }
    const double seconds = static_cast<double>(ticking.LastPlayNs() - sentNs) / 1e9;
    state.SetIterationTime(seconds);
    latenciesMs->push_back(seconds * 1e3);
  }
}

void ReportLatencies(benchmark::State& state, const std::vector<double>& latenciesMs) {
  state.counters["median_ms"] = Percentile(latenciesMs, 0.5);
  state.counters["p90_ms"] = Percentile(latenciesMs, 0.90);
  state.counters["p99_ms"] = Percentile(latenciesMs, 0.99);
  state.counters["max_ms"] = Percentile(latenciesMs, 1.0);
}

// The extension loaded into the simulated host with the large project, the host ticking in real
// time and `readers` TCP clients reading the documents; `run` gets them all, and the TCP port.
template <class Run>
void WithLoadedShow(benchmark::State& state, int readers, Run run) {
  sim::Host host;
  BuildLargeProject(host);
  NameBenchProject(host);
  if (ReaperPluginEntry(nullptr, host.Info()) != 1) return state.SkipWithError("load failed");
  host.Tick();  // announces the project's name
  {
    const uint16_t port = DiscoverServerPort();
    TickingHost ticking(host);
    ReadingClients clients(port);
    clients.Join(readers);
    WaitFor([&] { return clients.Connected() == readers; }, 5000);
    if (port == 0) {
      state.SkipWithError("no remote server");
    } else {
      run(host, port, ticking, clients);
    }
  }
  ReaperPluginEntry(nullptr, nullptr);
}

// A browser on the web remote's control address that started the show; false when it could not.
bool StartShowFromBrowser(sim::Host& host, const TickingHost& ticking,
                          web::testing::WebSocketClient& browser) {
  const int webPort = std::atoi(host.GlobalExtState("Quorvane", "webPortInUse").c_str());
  const std::string key = host.GlobalExtState("Quorvane", "webControlKey");
  if (webPort <= 0 || browser.Connect(static_cast<uint16_t>(webPort), "/ws?key=" + key) != 101)
    return false;
  browser.Send(R"({"cmd":"MODE_LIVE"})");
  browser.Send(R"({"cmd":"LIVE_START_SHOW"})");
  return WaitFor([&] { return ticking.Playing(); }, 5000);
}

constexpr std::string_view kStartShowLine =
    "{\"cmd\":\"MODE_LIVE\"}\n{\"cmd\":\"LIVE_START_SHOW\"}\n";
constexpr std::string_view kPlayNextLine = "{\"cmd\":\"LIVE_PLAY_NEXT\"}\n";

void BM_RemotePlayNextToPlayButton(benchmark::State& state) {
  std::vector<double> latenciesMs;
  WithLoadedShow(state, kClients + 1,  // client 0 sends the commands
                 [&](sim::Host&, uint16_t, TickingHost& ticking, ReadingClients& clients) {
                   clients.Send(0, kStartShowLine);
                   if (!WaitFor([&] { return ticking.Playing(); }, 5000))
                     return state.SkipWithError("the show did not start");
                   MeasurePlayNext(
                       state, ticking, [&] { return clients.Send(0, kPlayNextLine); },
                       &latenciesMs);
                 });
  ReportLatencies(state, latenciesMs);
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
  std::vector<double> latenciesMs;
  WithLoadedShow(state, kClients,
                 [&](sim::Host& host, uint16_t, TickingHost& ticking, ReadingClients&) {
                   web::testing::WebSocketClient browser;
                   if (!StartShowFromBrowser(host, ticking, browser))
                     return state.SkipWithError("the show did not start from the browser");
                   MeasurePlayNext(
                       state, ticking, [&] { return browser.Send(R"({"cmd":"LIVE_PLAY_NEXT"})"); },
                       &latenciesMs);
                 });
  ReportLatencies(state, latenciesMs);
}
BENCHMARK(BM_WebPlayNextToPlayButton)
    ->UseManualTime()
    ->Iterations(ShortRun() ? 5 : 150)
    ->Unit(benchmark::kMillisecond);

// The "currentIndex" a state document or merge patch carries; -1 when it carries none. Our
// writer puts no space after the colon.
int CurrentIndexIn(const std::string& message) {
  constexpr std::string_view kKey = "\"currentIndex\":";
  const size_t at = message.find(kKey);
  if (at == std::string::npos) return -1;
  return std::atoi(message.c_str() + at + kKey.size());
}

// Sends LIVE_PLAY_NEXT through `send` once per iteration, at a random phase of the host's tick,
// and records how long until `read` hands over a message showing a current item after `current`.
template <class Send, class Read>
void MeasurePlayNextToDocument(benchmark::State& state, Send send, Read read, int current,
                               std::vector<double>* latenciesMs) {
  std::mt19937 random(54321);
  std::uniform_int_distribution<int> phase(0, static_cast<int>(kTickMs) * 1000);
  for (auto _ : state) {
    std::this_thread::sleep_for(std::chrono::microseconds(phase(random)));
    const int64_t sentNs = NowNs();
    if (!send()) {
      state.SkipWithError("the command could not be sent");
      break;
    }
    bool seen = false;
    while (!seen && NowNs() - sentNs < 2'000'000'000) {
      const std::optional<std::string> message = read();
      if (!message) break;
      const int index = CurrentIndexIn(*message);
      seen = index > current;  // the next song (past a pause, when one comes between)
      if (seen) current = index;
    }
    if (!seen) {
      state.SkipWithError("no document showed the command's effect");
      break;
    }
    const double seconds = static_cast<double>(NowNs() - sentNs) / 1e9;
    state.SetIterationTime(seconds);
    latenciesMs->push_back(seconds * 1e3);
  }
}

// From a TCP client's LIVE_PLAY_NEXT to that client holding a state document that shows the next
// song as current, with 32 more clients reading.
void BM_RemoteCommandToDocument(benchmark::State& state) {
  std::vector<double> latenciesMs;
  WithLoadedShow(
      state, kClients, [&](sim::Host&, uint16_t port, TickingHost& ticking, ReadingClients&) {
        remote::testing::LineClient control(port);
        if (!control.IsConnected() || !control.ReadLine() || !control.Send(kStartShowLine) ||
            !WaitFor([&] { return ticking.Playing(); }, 5000))
          return state.SkipWithError("the show did not start");
        MeasurePlayNextToDocument(
            state, [&] { return control.Send(kPlayNextLine); },
            [&] { return control.ReadLine(std::chrono::milliseconds(2000)); }, 0, &latenciesMs);
      });
  ReportLatencies(state, latenciesMs);
}
BENCHMARK(BM_RemoteCommandToDocument)
    ->UseManualTime()
    ->Iterations(ShortRun() ? 5 : 150)
    ->Unit(benchmark::kMillisecond);

// The same from a browser: the merge patch that shows the next song as current.
void BM_WebCommandToDocument(benchmark::State& state) {
  std::vector<double> latenciesMs;
  WithLoadedShow(
      state, kClients, [&](sim::Host& host, uint16_t, TickingHost& ticking, ReadingClients&) {
        web::testing::WebSocketClient browser;
        if (!StartShowFromBrowser(host, ticking, browser))
          return state.SkipWithError("the show did not start from the browser");
        MeasurePlayNextToDocument(
            state, [&] { return browser.Send(R"({"cmd":"LIVE_PLAY_NEXT"})"); },
            [&] { return browser.Read(std::chrono::milliseconds(2000)); }, 0, &latenciesMs);
      });
  ReportLatencies(state, latenciesMs);
}
BENCHMARK(BM_WebCommandToDocument)
    ->UseManualTime()
    ->Iterations(ShortRun() ? 5 : 150)
    ->Unit(benchmark::kMillisecond);

// From the end of the count-in's last beat to the host being told to play: the practise run of
// the large project's first song with a four-beat count-in, started again and again. The virtual
// clock follows real time to the millisecond.
void BM_CountInEndToPlayButton(benchmark::State& state) {
  sim::Host host;
  BuildLargeProject(host);
  NameBenchProject(host);
  if (ReaperPluginEntry(nullptr, host.Info()) != 1) return state.SkipWithError("load failed");
  host.Tick();
  constexpr int kBeats = 4;  // the shorter of the two count-ins the system offers
  const double start = host.Project().regions.front().start;
  const int region = host.Project().regions.front().number;
  const double countInMs = std::round(kBeats * 60.0 / host.DividedBpmAt(start) * 1000.0);
  std::vector<double> latenciesMs;
  {
    const uint16_t port = DiscoverServerPort();
    TickingHost ticking(host);
    ReadingClients clients(port);
    clients.Join(1);
    WaitFor([&] { return clients.Connected() == 1; }, 5000);
    clients.Send(0, "{\"cmd\":\"MODE_PRACTISE\"}\n{\"cmd\":\"PRACTISE_REGION\",\"index\":" +
                        std::to_string(region) + "}\n{\"cmd\":\"PRACTISE_PRECOUNT\",\"beats\":" +
                        std::to_string(kBeats) + "}\n");
    for (auto _ : state) {
      const int before = ticking.Plays();
      if (!clients.Send(0, "{\"cmd\":\"PRACTISE_PLAY\"}\n") ||
          !WaitFor([&] { return ticking.Plays() != before; }, 5000)) {
        state.SkipWithError("the practise run did not start");
        break;
      }
      const double lateMs =
          static_cast<double>(ticking.LastPlayVirtualMs() - ticking.LastClickVirtualMs()) -
          countInMs;
      state.SetIterationTime(std::max(lateMs, 0.0) / 1e3);
      latenciesMs.push_back(lateMs);
      clients.Send(0, "{\"cmd\":\"PRACTISE_STOP\"}\n");
      if (!WaitFor([&] { return !ticking.Playing(); }, 5000)) {
        state.SkipWithError("the practise run did not stop");
        break;
      }
    }
  }
  ReaperPluginEntry(nullptr, nullptr);
  state.counters["median_ms"] = Percentile(latenciesMs, 0.5);
  state.counters["p99_ms"] = Percentile(latenciesMs, 0.99);
  state.counters["max_ms"] = Percentile(latenciesMs, 1.0);
  state.counters["min_ms"] = Percentile(latenciesMs, 0.0);
}
BENCHMARK(BM_CountInEndToPlayButton)
    ->UseManualTime()
    ->Iterations(ShortRun() ? 3 : 60)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvane::bench
