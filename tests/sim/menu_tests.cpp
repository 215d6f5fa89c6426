// The menu seam: on Windows real menus, elsewhere the portable menu record.
#include <gtest/gtest.h>

#include "platform/menu.h"

namespace quorvane::platform {
namespace {

TEST(MenuSeam, AppendsCountsAndReadsItems) {
  void* menu = CreateMenuHandle();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(MenuItemCount(menu), 0);
  EXPECT_TRUE(AppendMenuItem(menu, 40000, "KALVERN LIVE PLAYBACK SYSTEM"));
  EXPECT_TRUE(AppendMenuItem(menu, 40001,
                             "Zweite \xC3\x9C"
                             "bung"));
  EXPECT_EQ(MenuItemCount(menu), 2);
  EXPECT_EQ(MenuItemId(menu, 0), 40000);
  EXPECT_EQ(MenuItemId(menu, 1), 40001);
  EXPECT_EQ(MenuItemId(menu, 2), -1);
  const std::vector<MenuEntry> items = ReadMenu(menu);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].text, "KALVERN LIVE PLAYBACK SYSTEM");
  EXPECT_EQ(items[1].text,
            "Zweite \xC3\x9C"
            "bung");
  DestroyMenuHandle(menu);
}

TEST(MenuSeam, ANullHandleIsRefused) {
  EXPECT_EQ(MenuItemCount(nullptr), -1);
  EXPECT_EQ(MenuItemId(nullptr, 0), -1);
  EXPECT_FALSE(AppendMenuItem(nullptr, 1, "x"));
  EXPECT_TRUE(ReadMenu(nullptr).empty());
  DestroyMenuHandle(nullptr);
}

}  // namespace
}  // namespace quorvane::platform
