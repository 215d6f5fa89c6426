// The eight host actions, in the order they are registered.
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
};

struct ActionInfo {
  const char* commandName;  // registered with "command_id"
  const char* description;  // shown in the host's action list
};

inline constexpr std::array<ActionInfo, 8> kActions = {{
    {"Quorvane_ShowWindow", "KALVERN LIVE PLAYBACK SYSTEM: Show/Hide Window"},
    {"Quorvane_ShowSetlist", "Quorvane: Show Setlist"},
    {"Quorvane_EnginePlayCurrent", "Quorvane: Engine Play Current"},
    {"Quorvane_EnginePlayNext", "Quorvane: Engine Play Next"},
    {"Quorvane_EngineStop", "Quorvane: Engine Stop"},
    {"Quorvane_StartShow", "Quorvane: Start Show"},
    {"Quorvane_EndShow", "Quorvane: End Show"},
    {"Quorvane_ShowState", "Quorvane: Show State"},
}};

inline constexpr const char* kMenuText = "KALVERN LIVE PLAYBACK SYSTEM";
inline constexpr const char* kExtensionsMenuId = "Main extensions";

}  // namespace quorvane::host
