// The shipped library loaded through its entry point into a host simulator whose settings keep the
// Link option on, with a setlist of one song.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "host/reaper_api.h"
#include "sim/platform/dynamic_library.h"
#include "sim/sim_host.h"

namespace quorvane::link_tests {

class LibraryStage {
 public:
  LibraryStage() {
    std::string error;
    opened_ = library_.Open(QUORVANE_LIBRARY_FILE, &error);
    EXPECT_TRUE(opened_) << error;
    if (opened_)
      entry_ = reinterpret_cast<ReaperPluginEntryFn>(library_.Symbol("ReaperPluginEntry"));
    host.SetGlobalExtState("Quorvane", "linkEnabled", "1");
    host.AddRegion(1, "Only", 0.0, 8.0);
    host.SetExtState("Quorvane", "Setlist.Count", "1");
    host.SetExtState("Quorvane", "Setlist.Item.0.RegionID", "1");
  }

  bool Load() {
    return entry_ && entry_(static_cast<HINSTANCE>(library_.Handle()), host.Info()) == 1;
  }
  bool Unload() {
    return entry_ && entry_(static_cast<HINSTANCE>(library_.Handle()), nullptr) == 0;
  }
  // Loaded, the show started and its song playing for a while.
  void LoadAndPlay() {
    ASSERT_TRUE(Load());
    host.Run(100);
    ASSERT_TRUE(host.RunAction("Quorvane_StartShow"));
    host.Run(2000);
    EXPECT_EQ(host.Transport(), sim::TransportState::kPlaying);
  }

  sim::Host host;

 private:
  platform::DynamicLibrary library_;
  bool opened_ = false;
  ReaperPluginEntryFn entry_ = nullptr;
};

}  // namespace quorvane::link_tests
