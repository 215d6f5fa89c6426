#include <windows.h>

#include "platform/menu.h"
#include "platform/wide_text.h"

namespace quorvane::platform {

int MenuItemCount(void* menu) {
  return GetMenuItemCount(static_cast<HMENU>(menu));
}

int MenuItemId(void* menu, int position) {
  const UINT id = GetMenuItemID(static_cast<HMENU>(menu), position);
  return id == static_cast<UINT>(-1) ? -1 : static_cast<int>(id);
}

bool AppendMenuItem(void* menu, int id, const std::string& utf8Text) {
  return AppendMenuW(static_cast<HMENU>(menu), MF_STRING, static_cast<UINT_PTR>(id),
                     Utf8ToWide(utf8Text).c_str()) != FALSE;
}

void* CreateMenuHandle() {
  return CreatePopupMenu();
}

std::vector<MenuEntry> ReadMenu(void* menu) {
  std::vector<MenuEntry> entries;
  const int count = GetMenuItemCount(static_cast<HMENU>(menu));
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    GetMenuStringW(static_cast<HMENU>(menu), static_cast<UINT>(i), text, 255, MF_BYPOSITION);
    entries.push_back(MenuEntry{MenuItemId(menu, i), WideToUtf8(text)});
  }
  return entries;
}

void DestroyMenuHandle(void* menu) {
  if (menu) DestroyMenu(static_cast<HMENU>(menu));
}

}  // namespace quorvane::platform
