// One host track as the sound-check page and the state document show it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::practise {

struct BackingTrackRow {
  std::string name;  // "(UNNAMED TRACK)" when the host gives none
  bool muted = false;
  bool soloed = false;
  int32_t trackIndex = 0;
  int32_t folderDepth = 0;
  int32_t indentLevel = 0;
};

using BackingTrackRows = std::vector<BackingTrackRow>;

}  // namespace quorvane::practise
