// What the benchmark programs share: the large show project built into the host simulator, the
// extension's core (with the server's steady clock under the benchmark's control), and loopback
// clients that read everything the server sends.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <span>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "core/core.h"
#include "platform/socket.h"
#include "remote/state_document.h"
#include "sim/sim_host.h"

namespace quorvane::bench {

inline constexpr int kLargeRegions = 200;
inline constexpr int kMarkersPerSong = 10;
inline constexpr int kTempoChanges = 50;
inline constexpr int kTracks = 128;
inline constexpr int kClients = 32;
inline constexpr int64_t kTickMs = 33;  // the host's timer runs about 30 times a second
inline constexpr int kPauseEvery = 10;  // a pause after every tenth song

// Set by the ctest run ("the benchmarks still run"): the long benchmarks take a short version.
inline bool ShortRun() {
  const char* value = std::getenv("QUORVANE_BENCH_SHORT");
  return value && *value && *value != '0';
}

// A show project of `songs` regions of 3 to 6 minutes, each with ten markers, a tempo map with up
// to fifty changes (tempo and time signature) on bar lines, 128 tracks in nested folders and the
// stored setlist of every song with a pause after every tenth. Song lengths are whole bars, so
// that every song starts on a bar line.
inline void BuildLargeProject(sim::Host& host, int songs = kLargeRegions) {
  struct Metre {
    int numerator;
    int denominator;
  };
  constexpr Metre kMetres[] = {{4, 4}, {3, 4}, {6, 8}, {4, 4}, {7, 8}};
  constexpr const char* kSections[kMarkersPerSong] = {
      "Intro",    "Verse 1", "Pre-chorus", "Chorus",       "Verse 2",
      "Chorus 2", "Bridge",  "Solo",       "Final chorus", "Outro"};

  std::vector<sim::TempoPoint> tempoMap;
  const int changeEvery = std::max(1, songs / kTempoChanges);
  sim::TempoPoint tempo;  // 120 bpm, 4/4 from time 0
  double at = 0.0;
  for (int i = 0; i < songs; ++i) {
    if (i % changeEvery == 0 && static_cast<int>(tempoMap.size()) <= kTempoChanges) {
      const Metre metre = kMetres[(i / changeEvery) % std::size(kMetres)];
      tempo = sim::TempoPoint{at, 84.0 + (i * 7) % 80, metre.numerator, metre.denominator};
      tempoMap.push_back(tempo);
    }
    const double bar = tempo.numerator * (4.0 / tempo.denominator) * 60.0 / tempo.bpm;
    const double wanted = 180.0 + (i * 37) % 181;  // 3 to 6 minutes
    const double length = std::max(1.0, std::round(wanted / bar)) * bar;
    char name[64];
    std::snprintf(name, sizeof name, "Song %03d - The Long Way Round", i + 1);
    host.AddRegion(i + 1, name, at, at + length);
    for (int m = 0; m < kMarkersPerSong; ++m) {
      host.AddMarker(i * kMarkersPerSong + m + 1, kSections[m], at + length * m / kMarkersPerSong);
    }
    at += length;
  }
  host.SetTempoMap(tempoMap);

  // Eight groups of sixteen: a folder with a sub-folder, closed by the group's last track.
  for (int t = 0; t < kTracks; ++t) {
    const int inGroup = t % 16;
    const int depth = inGroup == 0 || inGroup == 7 ? 1 : inGroup == 15 ? -2 : 0;
    host.AddTrack("Track " + std::to_string(t + 1) + (depth > 0 ? " (bus)" : ""), depth);
  }

  std::vector<std::string> items;  // RegionID, Type, AutoStart per item
  int count = 0;
  const auto item = [&](int region, bool pause, bool autoStart) {
    const std::string prefix = "Setlist.Item." + std::to_string(count++) + ".";
    host.SetExtState("Quorvane", prefix + "RegionID", std::to_string(region));
    host.SetExtState("Quorvane", prefix + "Type", pause ? "PAUSE" : "SONG");
    host.SetExtState("Quorvane", prefix + "AutoStart", autoStart ? "1" : "0");
  };
  for (int i = 0; i < songs; ++i) {
    item(i + 1, false, i % 3 != 0);
    if ((i + 1) % kPauseEvery == 0 && i + 1 < songs) item(-1, true, false);
  }
  host.SetExtState("Quorvane", "Setlist.Count", std::to_string(count));
  host.SetConfigVar("smoothseek", 0);
}

// The extension's core over a host simulator, with one difference from the loaded extension: the
// remote server reads the benchmark's steady clock (`serverNs`), so that a benchmark decides
// whether a state document is due. Tick() is the core's own timer tick.
struct Rig {
  explicit Rig(sim::Host& simHost)
      : sim(simHost),
        core(simHost.Info()->GetFunc,
             core::CoreOptions{.discoveryPort = 0,
                               .serverClock = [this] { return serverNs.load(); },
                               .listen = false}) {
    core.Init();
    // The first tick after load finds the project open; the show is set up after it.
    Tick();
  }

  void Tick() { core.Tick(); }

  void Command(const std::string& line) { core.RunRemoteCommand(line); }

  // The live page and a started show, as a client would ask for them.
  void StartLiveShow() {
    Command(R"({"cmd":"MODE_LIVE"})");
    Command(R"({"cmd":"LIVE_START_SHOW"})");
  }

  // What the band does when the show waits (after a song that does not start the next by itself,
  // or on a pause): play the next song. A finished setlist starts again.
  void KeepShowPlaying() {
    if (engine.Player().Playing()) return;
    if (engine.Status() != show::ShowStatus::kLive) {
      engine.ResetShow();
      StartLiveShow();
      return;
    }
    Command(R"({"cmd":"LIVE_PLAY_NEXT"})");
  }

  // Advances the host's virtual time (the transport plays on) and the server's clock together.
  void Advance(int64_t ms) {
    sim.Advance(ms);
    serverNs += ms * 1'000'000;
  }

  sim::Host& sim;
  std::atomic<int64_t> serverNs{1'000'000'000};  // before the core, whose server reads it
  core::Core core;
  host::HostApi& host = core.Host();
  show::ShowEngine& engine = core.Engine();
  remote::RemoteServer& server = core.Server();
  const remote::SystemView& view = core.System();
};

// Loopback TCP clients that read and discard whatever arrives, on a thread of their own, as
// remote apps on a stage do. Clients join and leave on request; the reader thread owns the sockets.
class ReadingClients {
 public:
  explicit ReadingClients(uint16_t port) : port_(port), thread_([this] { Run(); }) {}
  ~ReadingClients() {
    stop_ = true;
    thread_.join();
  }
  ReadingClients(const ReadingClients&) = delete;
  ReadingClients& operator=(const ReadingClients&) = delete;

  // Asks for `count` more clients (join) or fewer (the oldest leave).
  void Join(int count) { Change(count); }
  void Leave(int count) { Change(-count); }

  int Connected() const { return connected_.load(); }

  // Sends `bytes` from client `index` (not while clients join or leave); false when it could not.
  bool Send(size_t index, std::string_view bytes) {
    std::lock_guard lock(mutex_);
    if (index >= sockets_.size()) return false;
    const platform::IoResult sent = sockets_[index].Send(bytes.data(), bytes.size());
    return sent.status == platform::IoStatus::kDone && sent.bytes == bytes.size();
  }
  uint64_t BytesReceived() const { return received_.load(); }

  // Waits until nothing has arrived for `quietMs` milliseconds in a row: the clients have read
  // everything sent so far.
  void WaitQuiet(int quietMs = 2) const {
    uint64_t seen = received_.load();
    for (int quiet = 0; quiet < quietMs;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      const uint64_t now = received_.load();
      quiet = now == seen ? quiet + 1 : 0;
      seen = now;
    }
  }

  // Waits (in real time, bounded) until the clients have received `bytes` in total.
  bool WaitForBytes(uint64_t bytes, int timeoutMs = 5000) const {
    for (int waited = 0; received_.load() < bytes; ++waited) {
      if (waited >= timeoutMs * 10) return false;
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
  }

 private:
  void Change(int delta) {
    std::lock_guard lock(mutex_);
    requested_ += delta;
  }

  void Apply() {
    // Only this thread changes the list, under the lock; it reads it without.
    std::lock_guard lock(mutex_);
    const int wanted = std::max(0, requested_);
    requested_ = wanted;
    if (static_cast<int>(sockets_.size()) == wanted) return;
    while (static_cast<int>(sockets_.size()) > wanted)
      sockets_.erase(sockets_.begin());
    while (static_cast<int>(sockets_.size()) < wanted) {
      platform::Socket socket =
          platform::Socket::ConnectTcp(platform::Endpoint::Loopback(port_), 2000, nullptr);
      if (!socket.IsValid() || !socket.SetNonBlocking()) break;
      // A command goes out at once, as an interactive remote sends it; without this a command
      // sent soon after the previous one waits for the server's delayed acknowledgement.
      socket.SetNoDelay();
      sockets_.push_back(std::move(socket));
    }
    connected_ = static_cast<int>(sockets_.size());
  }

  void Run() {
    std::vector<char> buffer(256 * 1024);
    std::vector<platform::PollEntry> entries;
    while (!stop_.load()) {
      Apply();
      entries.clear();
      for (const platform::Socket& socket : sockets_) {
        entries.push_back({.handle = socket.NativeHandle(), .wantRead = true});
      }
      if (entries.empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      if (platform::WaitForSockets(entries, 2) != platform::WaitResult::kReady) continue;
      for (size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].readable) continue;
        for (;;) {
          const platform::IoResult got = sockets_[i].Receive(buffer.data(), buffer.size());
          if (got.status != platform::IoStatus::kDone || got.bytes == 0) break;
          received_ += got.bytes;
        }
      }
    }
  }

  const uint16_t port_;
  std::mutex mutex_;
  int requested_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connected_{0};
  std::atomic<uint64_t> received_{0};
  std::vector<platform::Socket> sockets_;
  std::thread thread_;
};

// A project file name of this process's own, so that the discovery answer can be told from that
// of another instance running on the machine (a demo, another developer's tests).
inline std::string BenchProjectName() {
  return "quorvane-bench-" + std::to_string(getpid());
}

// Gives the current project a file of that name (nothing is written); the extension announces the
// name after its next tick.
inline void NameBenchProject(sim::Host& host) {
  host.SaveProjectAs("/tmp/" + BenchProjectName() + ".rpp");
}

// The TCP port of the extension's server, as a remote app learns it: the discovery answer to a
// probe sent to this machine, from the instance announcing BenchProjectName(). 0 when none does.
inline uint16_t DiscoverServerPort() {
  const std::string wanted = "\"projectName\":\"" + BenchProjectName() + "\"";
  for (int attempt = 0; attempt < 10; ++attempt) {
    const platform::Socket socket = platform::Socket::BindUdp(platform::Endpoint::Loopback(0));
    if (!socket.IsValid()) return 0;
    const std::string_view probe = remote::kDiscoveryProbe;
    socket.SendTo(probe.data(), probe.size(), platform::Endpoint::Loopback(remote::kDiscoveryPort));
    platform::PollEntry entry{.handle = socket.NativeHandle(), .wantRead = true};
    if (platform::WaitForSockets(std::span(&entry, 1), 500) != platform::WaitResult::kReady) {
      continue;
    }
    char answer[2048];
    const platform::IoResult got = socket.ReceiveFrom(answer, sizeof answer - 1, nullptr);
    if (got.status != platform::IoStatus::kDone) continue;
    const std::string text(answer, got.bytes);
    const size_t at = text.find("\"port\":");
    if (at == std::string::npos || text.find(wanted) == std::string::npos) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    return static_cast<uint16_t>(std::strtoul(text.c_str() + at + 7, nullptr, 10));
  }
  return 0;
}

// Resident memory of this process in bytes (Linux: /proc/self/statm).
inline uint64_t ResidentBytes() {
  std::FILE* file = std::fopen("/proc/self/statm", "r");
  if (!file) return 0;
  unsigned long long size = 0;
  unsigned long long resident = 0;
  const int read = std::fscanf(file, "%llu %llu", &size, &resident);
  std::fclose(file);
  const long page = sysconf(_SC_PAGESIZE);
  return read == 2 && page > 0 ? resident * static_cast<uint64_t>(page) : 0;
}

}  // namespace quorvane::bench
