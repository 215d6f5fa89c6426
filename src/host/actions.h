// The host actions, in the order they are registered.
#pragma once

#include <array>
#include <cstddef>

namespace quorvane::host {

enum class Action : std::size_t {
  kShowWindow = 0,
  kShowSetlist,
  kEnginePlayCurrent,
  kEnginePlayNext,
  kEngineStop,
  kStartShow,
  kEndShow,
  kShowState,
  kVampSection,
  kNextSection,
  kPreviousSection,
  kCancelJump,
};

struct ActionInfo {
  const char* commandName;  // registered with "command_id"
  const char* description;  // shown in the host's action list
};

inline constexpr std::array<ActionInfo, 12> kActions = {{
    {"Quorvane_ShowWindow", "KALVERN LIVE PLAYBACK SYSTEM: Show/Hide Window"},
    {"Quorvane_ShowSetlist", "Quorvane: Show Setlist"},
    {"Quorvane_EnginePlayCurrent", "Quorvane: Engine Play Current"},
    {"Quorvane_EnginePlayNext", "Quorvane: Engine Play Next"},
    {"Quorvane_EngineStop", "Quorvane: Engine Stop"},
    {"Quorvane_StartShow", "Quorvane: Start Show"},
    {"Quorvane_EndShow", "Quorvane: End Show"},
    {"Quorvane_ShowState", "Quorvane: Show State"},
    // A toggle: the host asks its state ("toggleaction") to light a controller's button.
    {"Quorvane_VampSection", "Quorvane: Vamp Current Section"},
    {"Quorvane_NextSection", "Quorvane: Next Section"},
    {"Quorvane_PreviousSection", "Quorvane: Previous Section"},
    {"Quorvane_CancelJump", "Quorvane: Cancel Queued Jump"},
}};

inline constexpr const char* kMenuText = "KALVERN LIVE PLAYBACK SYSTEM";
inline constexpr const char* kExtensionsMenuId = "Main extensions";

}  // namespace quorvane::host
