// BuildStateDocument during a LIVE show, in projects of 20, 200 and 2,000 songs (each with ten
// markers, a pause after every tenth song, 128 tracks), and the host enumeration it rests on.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_support.h"
#include "practise/track_manager.h"

namespace quorvane::bench {
namespace {

struct Project {
  explicit Project(int songs) {
    BuildLargeProject(sim, songs);
    rig = std::make_unique<Rig>(sim);
    rig->StartLiveShow();
    rig->Advance(95'000);  // into the song, past a few of its markers
    rig->Tick();
  }
  sim::Host sim;
  std::unique_ptr<Rig> rig;
};

void BM_BuildStateDocument(benchmark::State& state) {
  Project project(static_cast<int>(state.range(0)));
  size_t bytes = 0;
  for (auto _ : state) {
    std::string document = remote::BuildStateDocument(project.rig->view);
    bytes = document.size();
    benchmark::DoNotOptimize(document);
  }
  state.counters["document_bytes"] = static_cast<double>(bytes);
  state.counters["regions"] = static_cast<double>(state.range(0));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BuildStateDocument)
    ->Arg(20)
    ->Arg(200)
    ->Arg(2000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity();

// The document as the core builds it for the clients, one after another during the show: the
// regions and the setlist are kept as text while neither they nor the played marks change.
void BM_KeptStateDocument(benchmark::State& state) {
  Project project(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::string document = project.rig->core.StateDocument();
    benchmark::DoNotOptimize(document);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_KeptStateDocument)
    ->Arg(20)
    ->Arg(200)
    ->Arg(2000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity();

// The same on the practise page with a song picked: the practise object lists its markers too.
void BM_BuildStateDocumentPractise(benchmark::State& state) {
  Project project(static_cast<int>(state.range(0)));
  project.rig->Command(R"({"cmd":"MODE_PRACTISE"})");
  project.rig->Command(R"({"cmd":"PRACTISE_REGION","index":5})");
  for (auto _ : state) {
    std::string document = remote::BuildStateDocument(project.rig->view);
    benchmark::DoNotOptimize(document);
  }
}
BENCHMARK(BM_BuildStateDocumentPractise)->Arg(200)->Unit(benchmark::kMicrosecond);

// One walk over the host's markers and regions, and one over its tracks: what any document costs
// in host calls alone.
void BM_EnumerateRegions(benchmark::State& state) {
  Project project(static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(project.rig->host.EnumerateRegions());
}
BENCHMARK(BM_EnumerateRegions)->Arg(20)->Arg(200)->Arg(2000)->Unit(benchmark::kMicrosecond);

void BM_ListProjectTracks(benchmark::State& state) {
  Project project(20);
  for (auto _ : state)
    benchmark::DoNotOptimize(practise::ListProjectTracks(project.rig->host));
}
BENCHMARK(BM_ListProjectTracks)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quorvane::bench
