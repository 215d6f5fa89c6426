// A stage for end-to-end runs: the host simulator with a small band project and its stored
// setlist, and the extension loaded through its real entry point.
#pragma once

#include <string>

#include "host/reaper_api.h"
#include "platform/host_seams.h"
#include "sim/sim_host.h"
#include "support/stored_setlist.h"

QUORVANE_EXPORT int ReaperPluginEntry(HINSTANCE instance, reaper_plugin_info_t* rec);

namespace quorvane::e2e {

// Four one-minute songs at 120 BPM in 4/4 (one bar = 2 s), stored as the setlist
// [Opener, Second (auto-start), pause, Third, Closer].
inline void BuildBandProject(sim::Host& host) {
  host.AddRegion(1, "Opener", 0.0, 60.0);
  host.AddMarker(1, "Verse", 10.0);
  host.AddMarker(2, "Chorus", 30.0);
  host.AddRegion(2, "Second", 60.0, 120.0);
  host.AddRegion(3, "Third", 120.0, 180.0);
  host.AddRegion(4, "Closer", 180.0, 240.0);
  host.AddTrack("Click", 0);
  host.AddTrack("Backing", 1);
  host.AddTrack("Keys", -1);
  testing::StoreSetlist(host, {{1}, {2, true}, testing::Pause(), {3}, {4}});
  host.SetConfigVar("smoothseek", 0);
}

class Stage {
 public:
  struct Options {
    // The simulator withholds its wake seam: the extension makes the system's own wake (the
    // message-only window on Windows; none elsewhere, where the ticks run every command).
    bool systemWake = false;
  };

  Stage() : Stage(Options{}) {}
  explicit Stage(Options options) {
    BuildBandProject(host);
    if (options.systemWake) host.RemoveFunction(platform::kMainThreadWakeName);
    loaded = ReaperPluginEntry(nullptr, host.Info()) == 1;
  }
  ~Stage() { ReaperPluginEntry(nullptr, nullptr); }
  Stage(const Stage&) = delete;
  Stage& operator=(const Stage&) = delete;

  sim::Host host;
  bool loaded = false;
};

}  // namespace quorvane::e2e
