#include "platform/menu.h"

namespace quorvane::platform {

int MenuItemCount(void*) { return -1; }

int MenuItemId(void*, int) { return -1; }

bool AppendMenuItem(void*, int, const std::string&) { return false; }

void* CreateMenuHandle() { return nullptr; }

std::vector<MenuEntry> ReadMenu(void*) { return {}; }

void DestroyMenuHandle(void*) {}

}  // namespace quorvane::platform
