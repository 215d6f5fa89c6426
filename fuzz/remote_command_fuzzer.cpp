// Remote command lines, as a client on the network sends them, through the scanner and the
// handler into a running show: the extension's records over a simulated host with a small
// project and a stored setlist. Each line of the input is one command; an empty line lets a
// second of show time pass, so that songs end, chain and stop. After every line the state
// document must parse and agree with the setlist, the project must store the setlist the show
// runs on, and the host must not have been misused.
#include <cstddef>
#include <algorithm>
#include <cstdint>

#include "fuzz_support.h"
#include "show/project_store.h"
#include "support/stored_setlist.h"

namespace {

using quorvane::fuzz::CheckedStateDocument;
using quorvane::fuzz::Require;
using quorvane::fuzz::RequireNoHostProblems;
using quorvane::fuzz::RunFor;
using quorvane::fuzz::System;
using quorvane::sim::Host;
using quorvane::sim::TempoPoint;
using quorvane::testing::Pause;
using quorvane::testing::StoreSetlist;

// Enough lines for a show's worth of edits and playing, few enough for many runs a second.
constexpr int kMaxLines = 32;
constexpr int64_t kIdleStepMs = 1000;

// Short songs (two bars of 2 s, one in 6/8 at 1.5 s a bar) so that a few idle lines play one
// through; markers for the practise commands; tracks in a folder for the sound-check commands.
void BuildShowProject(Host& host) {
  host.Project().path = "Shows/Fuzz Night.rpp";
  host.SetTempoMap({TempoPoint{0.0, 120.0, 4, 4}, TempoPoint{16.0, 120.0, 6, 8}});
  host.AddRegion(1, "One", 0.0, 4.0);
  host.AddRegion(2, "Two \"live\"", 4.0, 8.0);
  host.AddRegion(3, "Three", 8.0, 12.0);
  host.AddRegion(4, "Vier \xC3\xA4", 16.0, 19.0);
  host.AddRegion(5, "", 19.0, 19.0);
  host.AddMarker(1, "Verse", 1.0);
  host.AddMarker(2, "Chorus", 2.0);
  host.AddMarker(3, "Bridge", 5.0);
  host.AddMarker(4, "Outro", 17.5);
  host.AddTrack("Backing", 1);
  host.AddTrack("Click", 0);
  host.AddTrack("Keys", -1);
  host.AddTrack("Guide", 0);
  StoreSetlist(host, {{1, false}, {2, true}, Pause(), {3, false}, {4, true}});
}

// The setlist the project stores is the one the show runs on.
void RequireStoredSetlistMatches(const Host& host, const System& system) {
  quorvane::show::Setlist stored;
  const bool loads = quorvane::show::LoadSetlist(system.host, stored);
  Require(loads && stored.Items() == system.setlist.Items(),
          "the project stores the setlist the show runs on",
          "stored count " + host.ExtState("Quorvane", "Setlist.Count"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input = quorvane::fuzz::AsText(data, size);
  Host host;
  BuildShowProject(host);
  System system(host);
  RunFor(host, system, 33);  // the first tick takes the project up

  for (int lines = 0; lines < kMaxLines && !input.empty(); ++lines) {
    const size_t end = std::min(input.find('\n'), input.size());
    const std::string line(input.substr(0, end));
    input.remove_prefix(std::min(end + 1, input.size()));
    if (line.empty()) {
      RunFor(host, system, kIdleStepMs);
    } else {
      system.core.RunRemoteCommand(line);
      RunFor(host, system, 33);
    }
    CheckedStateDocument(system);
    RequireStoredSetlistMatches(host, system);
    RequireNoHostProblems(host);
  }
  system.practise.StopPractise();
  RequireNoHostProblems(host);
  return 0;
}
