// The page the window shows, and the live page's play-button choice.
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

// What the live page's big play button does next.
enum class LiveTransport : uint32_t { kNext = 0, kSelected = 1, kReplay = 2 };

// "SELECTED" for 1, "REPLAY" for 2, "NEXT" for every other value.
const char* LiveTransportName(LiveTransport transport);

}  // namespace quorvane::ui
