// The window state record and the page switches, with and without a window.
#include <gtest/gtest.h>

#include "show_fixture.h"

namespace quorvane::show {
namespace {

using ui::LiveTransport;
using ui::UiPage;

TEST(WindowStateNames, PagesTransportsAndStatuses) {
  EXPECT_STREQ(ui::PageName(UiPage::kFinished), "FINISHED");
  EXPECT_STREQ(ui::PageName(static_cast<UiPage>(8)), "UNKNOWN");
  EXPECT_STREQ(ui::LiveTransportName(LiveTransport::kReplay), "REPLAY");
  EXPECT_STREQ(ui::LiveTransportName(static_cast<LiveTransport>(3)), "NEXT");
  EXPECT_STREQ(ui::ShowStatusName(static_cast<ui::ShowStatus>(7)), "PREPARED");
}

class WindowState : public test::ShowTest {
 protected:
  test::FakeWindow window;
};

TEST_F(WindowState, PlayedSongsAndTransportRefreshTheLivePageOnly) {
  UseSetlist({4, 0, 7});
  ui.MarkItemPlayed(1);  // a pause
  ui.MarkItemPlayed(3);
  ui.MarkItemPlayed(-1);
  EXPECT_TRUE(ui.PlayedIndexes().empty());
  ui.MarkItemPlayed(2);  // no window: recorded all the same
  EXPECT_TRUE(ui.IsItemPlayed(2));

  ui.window = &window;
  ui.page = UiPage::kSetlistSetup;
  ui.MarkItemPlayed(0);
  ui.SetLiveTransport(LiveTransport::kReplay);
  EXPECT_EQ(window.liveListRebuilds, 0);
  EXPECT_EQ(window.transportRefreshes, 0);

  ui.page = UiPage::kFinished;
  ui.SetLiveTransport(LiveTransport::kReplay);  // unchanged
  EXPECT_EQ(window.transportRefreshes, 0);
  ui.ClearPlayedItems();
  EXPECT_TRUE(ui.PlayedIndexes().empty());
  EXPECT_EQ(ui.liveTransport, LiveTransport::kNext);
  EXPECT_EQ(window.transportRefreshes, 1);
  EXPECT_EQ(window.liveListRebuilds, 1);
}

TEST_F(WindowState, AutoStartControlsReadEmptyWithoutAWindow) {
  int hour = 5;
  int minute = 5;
  EXPECT_FALSE(ui.IsAutoStartEnabled());
  EXPECT_FALSE(ui.GetAutoStartTime(&hour, &minute));
  EXPECT_EQ(hour, -1);
  EXPECT_EQ(minute, -1);
  ui.SetAutoStartEnabled(true);
  ui.ResetAutoStart();
  EXPECT_FALSE(ui.IsAutoStartEnabled());

  ui.window = &window;
  window.autoStartEnabled = true;
  window.hour = 24;
  window.minute = 0;
  EXPECT_TRUE(ui.IsAutoStartEnabled());
  EXPECT_FALSE(ui.GetAutoStartTime(&hour, &minute));
  window.hour = 23;
  window.minute = 59;
  EXPECT_TRUE(ui.GetAutoStartTime(&hour, &minute));
}

TEST_F(WindowState, PageSwitchesWithAndWithoutAWindow) {
  ShowLivePage(ui, practise, ui::ShowStatus::kPrepared);
  EXPECT_EQ(ui.page, UiPage::kLive);
  EXPECT_EQ(ui.liveTransport, LiveTransport::kSelected);  // the show is not running yet
  ASSERT_GE(host.CountCalls("CSurf_OnPlayRateChange"), 1);
  EXPECT_EQ(host.CallsTo("CSurf_OnPlayRateChange").back().time, 1.0);

  ui.window = &window;
  ui.liveTransport = LiveTransport::kReplay;
  ShowLivePage(ui, practise, ui::ShowStatus::kLive);
  EXPECT_EQ(ui.liveTransport, LiveTransport::kReplay);
  ui.aboutScroll = 120;
  ShowAboutPage(ui);
  EXPECT_EQ(ui.aboutScroll, 0);
  ShowSetupPage(ui);
  ShowModeSelectPage(ui);
  EXPECT_EQ(window.enteredPages, (std::vector{UiPage::kLive, UiPage::kAbout, UiPage::kSetlistSetup,
                                              UiPage::kModeSelect}));
}

TEST_F(WindowState, FinishedShowTurnsOnlyTheLivePage) {
  ui::ShowSnapshot finished;
  finished.status = ui::ShowStatus::kFinished;
  finished.elapsed = 42.0;
  ui.page = UiPage::kSetlistSetup;
  SyncWindowState(ui, finished);
  EXPECT_EQ(ui.page, UiPage::kSetlistSetup);
  EXPECT_EQ(ui.snapshot.elapsed, 42.0);
  ui.window = &window;
  ui.page = UiPage::kLive;
  SyncWindowState(ui, finished);
  EXPECT_EQ(ui.page, UiPage::kFinished);
  EXPECT_EQ(window.syncs, 1);
}

}  // namespace
}  // namespace quorvane::show
