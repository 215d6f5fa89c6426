// The main's show as its state document tells it (the document its clients get, sent whole over
// the rig channel): what a backup mirrors, and the live control it carries on with if the main
// goes.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "show/setlist.h"
#include "show/show_snapshot.h"

namespace quorvane::rig {

struct MainShow {
  show::ShowStatus status = show::ShowStatus::kPrepared;
  double elapsed = 0.0;  // seconds since the show started (showElapsed)
  int32_t currentIndex = -1;
  std::vector<show::SetlistItem> items;
  std::set<int32_t> played;  // setlist indexes
  bool vamp = false;
  int32_t queuedSection = -1;
  // The queued jump waits for the end of the section playing (not for the next bar line).
  bool queuedAtSectionEnd = false;
};

// Nullopt when the document is not a state document (not JSON, another type, members missing).
std::optional<MainShow> ReadMainShow(std::string_view document);

}  // namespace quorvane::rig
