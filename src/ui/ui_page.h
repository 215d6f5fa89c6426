// The page the window shows.
#pragma once

#include <cstdint>

namespace quorvane::ui {

enum class UiPage : uint32_t {
  kModeSelect = 0,
  kLive = 1,
  kSetlistSetup = 2,
  kPractise = 3,
  kAbout = 4,
  kOptions = 5,
  kSoundCheck = 6,
  kFinished = 7,
};

// "MODE_SELECT", "LIVE", ... "FINISHED"; "UNKNOWN" for any other value.
const char* PageName(UiPage page);

}  // namespace quorvane::ui
