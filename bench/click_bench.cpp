// The count-in click at its longest: 8 beats at 40 BPM (576,480 stereo frames, 2.3 MB), as
// samples, as a WAV image, and written to a new file in the temporary folder.
#include <benchmark/benchmark.h>

#include "practise/count_in_player.h"

namespace quorvane::bench {
namespace {

constexpr double kSlowestBpm = 40.0;
constexpr int32_t kLongestClick = 8;

void BM_SynthesiseClick(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(practise::SynthesiseClick(kSlowestBpm, kLongestClick));
  }
}
BENCHMARK(BM_SynthesiseClick)->Unit(benchmark::kMillisecond);

void BM_EncodeClickWave(benchmark::State& state) {
  const std::vector<int16_t> samples = practise::SynthesiseClick(kSlowestBpm, kLongestClick);
  for (auto _ : state)
    benchmark::DoNotOptimize(practise::EncodeClickWave(samples));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(samples.size() * 2));
}
BENCHMARK(BM_EncodeClickWave)->Unit(benchmark::kMillisecond);

// Synthesis, encoding and the file write together (the file is deleted after each iteration,
// outside the measured time, as the next count-in deletes the previous one).
void BM_WriteClickFile(benchmark::State& state) {
  for (auto _ : state) {
    platform::TempFile file = practise::WriteClickFile(kSlowestBpm, kLongestClick);
    if (file.Empty()) {
      state.SkipWithError("the click file could not be written");
      break;
    }
    state.PauseTiming();
    file.Reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WriteClickFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvane::bench
