// How closely a backup rig plays with the main: one core over the host simulator is the backup,
// following a main whose transport the benchmark scripts exactly on the shared clock. The main's
// samples carry its position as its audio blocks give it (256 frames at 48 kHz) and arrive one
// tick late; the backup's audio clock runs 150 ppm fast and its host starts 5 to 40 ms after play
// is pressed. Both positions are compared on the one virtual clock every tick.
//
// BM_FollowAShow: two songs chained, a jump, a vamp looped three times, a pause, a long song.
// Counters: |backup - main| over every tick both play (median_ms, p99_ms, max_ms) and the same
// once a second has passed since the main started a song or jumped (settled_*).
// BM_Failover: the main goes quiet mid-song; counters: ms until the backup leads (lead_ms), stops
// of its transport (stops: must be 0), and whether a command is then taken (command_taken: the
// backup stops on LIVE_STOP).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/core.h"
#include "rig/follower.h"
#include "rig/shared_timeline.h"
#include "sim/sim_host.h"
#include "tests/follower/virtual_timeline.h"

namespace quorvane::bench {
namespace {

using rig::test::VirtualTimeline;

// The main's transport, exact on the shared clock.
struct ScriptedMain {
  bool playing = false;
  int32_t regionId = -1;
  double from = 0.0;
  int64_t sinceUs = 0;
  uint64_t sequence = 0;

  double loopStart = 0.0;  // a vamp: the host loops loopStart .. loopEnd
  double loopEnd = 0.0;

  double At(int64_t nowUs) const {
    if (!playing) return from;
    const double position = from + static_cast<double>(nowUs - sinceUs) / 1e6;
    if (loopEnd <= loopStart || position < loopEnd) return position;
    return loopStart + std::fmod(position - loopStart, loopEnd - loopStart);
  }
  void Loop(double start, double end, int64_t nowUs) {
    from = At(nowUs);
    sinceUs = nowUs;
    loopStart = start;
    loopEnd = end;
  }
  void Play(int32_t region, double position, int64_t nowUs) {
    regionId = region;
    from = position;
    sinceUs = nowUs;
    playing = true;
  }
  void Seek(double position, int64_t nowUs) { Play(regionId, position, nowUs); }
  void Stop(int64_t nowUs) {
    from = At(nowUs);
    playing = false;
    regionId = -1;
  }
  rig::TimelineSample Sample(int64_t nowUs, double beat) {
    constexpr double kBlock = 256.0 / 48000.0;  // the position as the audio blocks give it
    rig::TimelineSample sample;
    sample.sequence = ++sequence;
    sample.linkBeat = beat;
    sample.position = playing ? std::round(At(nowUs) / kBlock) * kBlock : At(nowUs);
    sample.playing = playing;
    sample.regionId = regionId;
    return sample;
  }
};

std::string StateDocument(bool vamp) {
  return std::string(R"({"type":"STATE","showStatus":"LIVE","showElapsed":1.0,"currentIndex":0,)") +
         R"("setlist":[{"regionId":1,"pause":false,"autoStart":false,"played":false,"note":""},)" +
         R"({"regionId":2,"pause":false,"autoStart":true,"played":false,"note":""},)" +
         R"({"regionId":3,"pause":false,"autoStart":false,"played":false,"note":""}],"vamp":)" +
         (vamp ? "true" : "false") + R"(,"queuedSection":-1,"queuedAt":0.0})";
}

// One backup core and its follower, a scripted main, and the errors measured.
class Stage {
 public:
  explicit Stage(uint64_t seed) {
    host_.AddRegion(1, "Northbound", 0.0, 16.0);
    host_.AddMarker(1, "Intro", 0.0);
    host_.AddMarker(2, "Verse", 4.0);
    host_.AddMarker(3, "Chorus", 8.0);
    host_.AddMarker(4, "Outro", 12.0);
    host_.AddRegion(2, "Harbour Lights", 20.0, 36.0);
    host_.AddRegion(3, "Long Road", 40.0, 400.0);
    host_.SetClockSkewPpm(150.0);
    host_.SetStartLatency(5, 40, seed);
    core_.Init();
    core_.Tick();
    follower_ = std::make_unique<rig::Follower>(
        rig::FollowerParts{core_.Host(), core_.Held(), core_.Clock(), core_.Engine(),
                           core_.Setlist(), core_.Ui().rig},
        timeline_, rig::Role::kBackup, std::chrono::milliseconds(500));
    follower_->OnMainMessage(rig::MainState{StateDocument(false)});
  }

  int64_t NowUs() const { return timeline_.Now().count(); }
  ScriptedMain& Main() { return main_; }
  sim::Host& Host() { return host_; }
  core::Core& Core() { return core_; }
  rig::Follower& Follower() { return *follower_; }
  void Tell(bool vamp) { follower_->OnMainMessage(rig::MainState{StateDocument(vamp)}); }
  // The main started a song or jumped: the next second is not "settled".
  void Moved() { movedUs_ = NowUs(); }

  void Tick(bool mainAlive = true) {
    host_.Advance(kTickMs);
    core_.Tick();
    for (const rig::TimelineSample& sample : inFlight_)
      follower_->OnMainMessage(sample);
    inFlight_.clear();
    if (mainAlive) inFlight_.push_back(main_.Sample(NowUs(), timeline_.BeatAt(timeline_.Now())));
    follower_->Tick(nullptr, nullptr);
    if (!mainAlive || !main_.playing) return;
    const double error = std::fabs(host_.PlayPosition() - main_.At(NowUs())) * 1000.0;
    all_.push_back(error);
    if (NowUs() - movedUs_ >= 1'000'000) settled_.push_back(error);
  }
  void Run(int64_t ms) {
    for (int64_t done = 0; done < ms; done += kTickMs)
      Tick();
  }
  // Runs until the main reaches `position`.
  void RunTo(double position) {
    while (main_.At(NowUs()) < position)
      Tick();
  }

  std::vector<double>& All() { return all_; }
  std::vector<double>& Settled() { return settled_; }

 private:
  sim::Host host_;
  core::Core core_{host_.Info()->GetFunc, core::CoreOptions::Closed()};
  VirtualTimeline timeline_{host_};
  ScriptedMain main_;
  std::unique_ptr<rig::Follower> follower_;
  std::vector<rig::TimelineSample> inFlight_;
  std::vector<double> all_;
  std::vector<double> settled_;
  int64_t movedUs_ = 0;
};

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

void BM_FollowAShow(benchmark::State& state) {
  std::vector<double> all;
  std::vector<double> settled;
  uint64_t seed = 1;
  const double longSong = ShortRun() ? 10.0 : 120.0;
  for (auto _ : state) {
    Stage stage(seed++);
    ScriptedMain& main = stage.Main();
    stage.Run(500);
    main.Play(1, 0.0, stage.NowUs());
    stage.Moved();
    stage.RunTo(6.0);
    main.Seek(8.0, stage.NowUs());  // a jump to the chorus
    stage.Moved();
    stage.RunTo(9.0);
    main.Loop(8.0, 12.0, stage.NowUs());  // the chorus vamped until it has looped three times
    stage.Tell(true);
    stage.Run(12'000);
    main.Loop(0.0, 0.0, stage.NowUs());
    stage.Tell(false);
    stage.RunTo(16.0);
    main.Play(2, 20.0 + (main.At(stage.NowUs()) - 16.0), stage.NowUs());  // chained
    stage.Moved();
    stage.RunTo(36.0);
    main.Stop(stage.NowUs());  // a pause between songs
    stage.Run(5000);
    main.Play(3, 40.0, stage.NowUs());
    stage.Moved();
    stage.RunTo(40.0 + longSong);
    all.insert(all.end(), stage.All().begin(), stage.All().end());
    settled.insert(settled.end(), stage.Settled().begin(), stage.Settled().end());
  }
  state.counters["median_ms"] = Percentile(all, 0.5);
  state.counters["p99_ms"] = Percentile(all, 0.99);
  state.counters["max_ms"] = Percentile(all, 1.0);
  state.counters["settled_median_ms"] = Percentile(settled, 0.5);
  state.counters["settled_p99_ms"] = Percentile(settled, 0.99);
  state.counters["settled_max_ms"] = Percentile(settled, 1.0);
}
BENCHMARK(BM_FollowAShow)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Failover(benchmark::State& state) {
  double leadMs = 0.0;
  int stops = 0;
  bool taken = true;
  uint64_t seed = 100;
  for (auto _ : state) {
    Stage stage(seed++);
    stage.Main().Play(3, 40.0, stage.NowUs());
    stage.Run(ShortRun() ? 3000 : 30'000);
    const int stopsBefore = stage.Host().CountCalls("OnStopButton");
    const int64_t diedUs = stage.NowUs();
    while (!stage.Core().Ui().rig.leading && stage.NowUs() - diedUs < 5'000'000)
      stage.Tick(false);
    leadMs = std::max(leadMs, static_cast<double>(stage.NowUs() - diedUs) / 1000.0);
    for (int tick = 0; tick < 30; ++tick)
      stage.Tick(false);
    stops += stage.Host().CountCalls("OnStopButton") - stopsBefore;
    if (stage.Host().Transport() != sim::TransportState::kPlaying) ++stops;
    taken = taken && stage.Core().RunRemoteCommand(R"({"cmd":"LIVE_STOP"})").applied &&
            stage.Host().Transport() == sim::TransportState::kStopped;
  }
  if (stops > 0 || !taken || leadMs > 1000.0) {
    state.SkipWithError("the backup stopped, led late or refused a command after the failover");
  }
  state.counters["lead_ms"] = leadMs;
  state.counters["stops"] = stops;
  state.counters["command_taken"] = taken ? 1 : 0;
}
BENCHMARK(BM_Failover)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quorvane::bench
