// Writes a setlist into a simulated project's extended state the way the extension stores it, so
// that a suite can start from a project that already carries its show.
#pragma once

#include <string>
#include <vector>

#include "sim/sim_host.h"

namespace quorvane::testing {

struct StoredItem {
  int regionId = -1;  // -1 for a pause
  bool autoStart = false;
};

inline StoredItem Pause() {
  return StoredItem{-1, false};
}

inline void StoreSetlist(sim::Host& host, const std::vector<StoredItem>& items) {
  host.SetExtState("Quorvane", "Setlist.Count", std::to_string(items.size()));
  int index = 0;
  for (const StoredItem& item : items) {
    const std::string prefix = "Setlist.Item." + std::to_string(index++) + ".";
    host.SetExtState("Quorvane", prefix + "RegionID", std::to_string(item.regionId));
    host.SetExtState("Quorvane", prefix + "Type", item.regionId < 0 ? "PAUSE" : "SONG");
    host.SetExtState("Quorvane", prefix + "AutoStart", item.autoStart ? "1" : "0");
  }
}

}  // namespace quorvane::testing
