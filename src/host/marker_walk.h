// The one walk through the host's marker and region list that every enumeration makes.
#pragma once

#include "host/host_api.h"

namespace quorvane::host {

// One entry of the host's marker and region list, as EnumProjectMarkers3 answers it. The name is
// the host's own text, valid until the project changes.
struct HostEntry {
  bool isRegion = false;
  double pos = 0.0;
  double end = 0.0;
  const char* name = nullptr;
  int number = 0;
  int colour = 0;
};

// The number of entries from "CountProjectMarkers", then each entry the host answers for (a zero
// answer skips it), in host order.
template <class Visit>
void WalkEntries(const HostApi& host, Visit visit) {
  int markers = 0;
  int regionCount = 0;
  host.CountProjectMarkers(nullptr, &markers, &regionCount);
  const int total = markers + regionCount;
  for (int i = 0; i < total; ++i) {
    HostEntry entry;
    if (host.EnumProjectMarkers3(nullptr, i, &entry.isRegion, &entry.pos, &entry.end, &entry.name,
                                 &entry.number, &entry.colour) == 0) {
      continue;
    }
    visit(entry);
  }
}

}  // namespace quorvane::host
