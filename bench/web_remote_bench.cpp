// The web remote's budgets: bytes a web client receives per second during a playing show on the
// large project, against what a TCP client receives; and the page's size on first load.
#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

#include "bench/bench_support.h"
#include "web/web_client.h"
#include "web/web_page.h"
#include "web/web_server.h"

namespace quorvane::bench {
namespace {

const web::AccessKeys kKeys{"benchkey22", "benchview2"};

// A web client reading on a thread of its own, as a browser does.
class ReadingWebClient {
 public:
  explicit ReadingWebClient(uint16_t port) {
    connected_ = client_.Connect(port, "/ws?key=" + kKeys.control) == 101;
    thread_ = std::thread([this] {
      while (!stop_.load() && connected_) {
        // A heartbeat comes every second, so a stop is noticed soon.
        if (const auto message = client_.Read(std::chrono::seconds(30))) {
          received_ += message->size();
        } else if (!client_.IsOpen()) {
          return;
        }
      }
    });
  }
  ~ReadingWebClient() {
    stop_ = true;
    thread_.join();
  }
  bool Connected() const { return connected_; }
  uint64_t BytesReceived() const { return received_.load(); }

 private:
  web::testing::WebSocketClient client_;
  bool connected_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> received_{0};
  std::thread thread_;
};

// Twenty seconds of a playing show (the show restarted when it waits), ticked in real time as the
// host does, about 30 times a second; bytes per second for one web client and one TCP client.
void BM_WebClientBytesDuringShow(benchmark::State& state) {
  sim::Host host;
  BuildLargeProject(host);
  Rig rig(host);
  web::WebServer& web = rig.core.Web().Server();  // the core ticks it
  if (!rig.server.Start() || !web.Start(0, kKeys)) return state.SkipWithError("no server");
  ReadingClients tcp(rig.server.Port());
  tcp.Join(1);
  ReadingWebClient browser(web.Port());
  for (int i = 0; i < 5000 && (tcp.Connected() < 1 || web.ClientCount() < 1); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (!browser.Connected() || tcp.Connected() < 1) return state.SkipWithError("no clients");
  rig.StartLiveShow();
  const int64_t ticksPerIteration = (ShortRun() ? 3000 : 20000) / kTickMs;
  auto next = std::chrono::steady_clock::now();
  int64_t ticks = 0;
  uint64_t tcpStart = 0;
  uint64_t webStart = 0;
  for (auto _ : state) {
    for (int64_t i = 0; i < ticksPerIteration; ++i) {
      next += std::chrono::milliseconds(kTickMs);
      std::this_thread::sleep_until(next);
      rig.KeepShowPlaying();
      rig.Advance(kTickMs);
      rig.Tick();
      if (ticks++ == 30) {  // the greetings are not part of the rate
        tcp.WaitQuiet(20);
        tcpStart = tcp.BytesReceived();
        webStart = browser.BytesReceived();
      }
    }
  }
  tcp.WaitQuiet(50);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the last patch on its way
  const double seconds = static_cast<double>((ticks - 31) * kTickMs) / 1000.0;
  const double tcpRate = static_cast<double>(tcp.BytesReceived() - tcpStart) / seconds;
  const double webRate = static_cast<double>(browser.BytesReceived() - webStart) / seconds;
  state.counters["web_bytes_per_s"] = webRate;
  state.counters["tcp_bytes_per_s"] = tcpRate;
  state.counters["web_percent_of_tcp"] = tcpRate > 0 ? 100.0 * webRate / tcpRate : 0.0;
  web.Stop();
  rig.server.Stop();
}
BENCHMARK(BM_WebClientBytesDuringShow)->Iterations(1)->Unit(benchmark::kMillisecond);

// The page with everything it needs (style, script, QR encoder, keep-awake fallback): one
// request on first load, plain and as a browser gets it, gzip-compressed.
void BM_WebPageFirstLoad(benchmark::State& state) {
  inbox::CommandInbox commands;
  web::WebServer web(commands);
  if (!web.Start(0, kKeys)) return state.SkipWithError("no server");
  std::size_t bytes = 0;
  std::size_t gzipBytes = 0;
  for (auto _ : state) {
    const auto reply = web::testing::Request(web.Port(), "/?key=" + kKeys.control);
    const auto zipped = web::testing::Request(web.Port(), "/?key=" + kKeys.control, "GET",
                                              "127.0.0.1", "gzip, deflate, br");
    if (reply.status != 200 || zipped.status != 200) {
      return state.SkipWithError("the page was refused");
    }
    bytes = reply.body.size();
    gzipBytes = zipped.body.size();
  }
  state.counters["page_bytes"] = static_cast<double>(bytes);
  state.counters["page_gzip_bytes"] = static_cast<double>(gzipBytes);
  state.counters["budget_bytes"] = 150.0 * 1024;
}
BENCHMARK(BM_WebPageFirstLoad)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvane::bench
