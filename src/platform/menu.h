// The few menu calls the custom-menu hook needs. On Windows they work on real menus (HMENU).
// Elsewhere there is no system menu, so a handle made by CreateMenuHandle points to a small
// portable menu record (a list of items), which lets the host simulator build menus through the
// hook and the menu logic run and be tested on Linux too; any other handle is refused (count -1,
// append false). Menu handles are passed as void* so that this layer depends on nothing of ours.
#pragma once

#include <string>
#include <vector>

namespace quorvane::platform {

// The number of items, -1 when the count fails.
int MenuItemCount(void* menu);
// The command id of the item at `position`, -1 when there is none.
int MenuItemId(void* menu, int position);
// Appends a plain string item; false when it fails.
bool AppendMenuItem(void* menu, int id, const std::string& utf8Text);

// For hosts (the simulator): a new empty popup menu, its items, and its destruction.
struct MenuEntry {
  int id = 0;
  std::string text;
};
void* CreateMenuHandle();
std::vector<MenuEntry> ReadMenu(void* menu);
void DestroyMenuHandle(void* menu);

}  // namespace quorvane::platform
