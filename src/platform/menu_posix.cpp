#include <cstdint>

#include "platform/menu.h"

namespace quorvane::platform {
namespace {

// The portable menu record behind a handle made by CreateMenuHandle. The magic number lets the
// calls refuse a pointer that is not one of these (a dummy handle, or a destroyed menu).
struct PortableMenu {
  static constexpr uint32_t kMagic = 0x514d4e55;  // "QMNU"
  uint32_t magic = kMagic;
  std::vector<MenuEntry> items;
};

PortableMenu* FromHandle(void* menu) {
  auto* record = static_cast<PortableMenu*>(menu);
  return record && record->magic == PortableMenu::kMagic ? record : nullptr;
}

}  // namespace

int MenuItemCount(void* menu) {
  const PortableMenu* record = FromHandle(menu);
  return record ? static_cast<int>(record->items.size()) : -1;
}

int MenuItemId(void* menu, int position) {
  const PortableMenu* record = FromHandle(menu);
  if (!record || position < 0 || position >= static_cast<int>(record->items.size())) return -1;
  return record->items[static_cast<size_t>(position)].id;
}

bool AppendMenuItem(void* menu, int id, const std::string& utf8Text) {
  PortableMenu* record = FromHandle(menu);
  if (!record) return false;
  record->items.push_back(MenuEntry{id, utf8Text});
  return true;
}

void* CreateMenuHandle() {
  return new PortableMenu();
}

std::vector<MenuEntry> ReadMenu(void* menu) {
  const PortableMenu* record = FromHandle(menu);
  return record ? record->items : std::vector<MenuEntry>{};
}

void DestroyMenuHandle(void* menu) {
  PortableMenu* record = FromHandle(menu);
  if (!record) return;
  record->magic = 0;
  delete record;
}

}  // namespace quorvane::platform
