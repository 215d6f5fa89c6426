// The window state record and the page switches, with and without a window.
#include <gtest/gtest.h>

#include "show_fixture.h"

namespace quorvane::show {
namespace {

using show::LiveTransport;
using ui::UiPage;

TEST(WindowStateNames, PagesTransportsAndStatuses) {
  EXPECT_STREQ(ui::PageName(UiPage::kFinished), "FINISHED");
  EXPECT_STREQ(ui::PageName(static_cast<UiPage>(8)), "UNKNOWN");
  EXPECT_STREQ(show::LiveTransportName(LiveTransport::kReplay), "REPLAY");
  EXPECT_STREQ(show::LiveTransportName(static_cast<LiveTransport>(3)), "NEXT");
  EXPECT_STREQ(show::ShowStatusName(static_cast<show::ShowStatus>(7)), "PREPARED");
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

TEST_F(WindowState, PageSwitchesWithAndWithoutAWindow) {
  ASSERT_TRUE(practise.SetPractiseRate(0.8));
  ui::ShowLivePage(ui, practise, show::ShowStatus::kPrepared);
  EXPECT_EQ(ui.page, UiPage::kLive);
  EXPECT_EQ(ui.liveTransport, LiveTransport::kSelected);  // the show is not running yet
  ASSERT_GE(host.CountCalls("CSurf_OnPlayRateChange"), 2);
  EXPECT_EQ(host.CallsTo("CSurf_OnPlayRateChange").back().time, 1.0);  // the practise rate ends

  ui.window = &window;
  ui.liveTransport = LiveTransport::kReplay;
  ui::ShowLivePage(ui, practise, show::ShowStatus::kLive);
  EXPECT_EQ(ui.liveTransport, LiveTransport::kReplay);
  ui.aboutScroll = 120;
  ui::ShowAboutPage(ui);
  EXPECT_EQ(ui.aboutScroll, 0);
  ui::ShowSetupPage(ui);
  ui::ShowModeSelectPage(ui);
  EXPECT_EQ(window.enteredPages, (std::vector{UiPage::kLive, UiPage::kAbout, UiPage::kSetlistSetup,
                                              UiPage::kModeSelect}));
}

TEST_F(WindowState, FinishedShowTurnsOnlyTheLivePage) {
  show::ShowSnapshot finished;
  finished.status = show::ShowStatus::kFinished;
  finished.elapsed = 42.0;
  ui.page = UiPage::kSetlistSetup;
  ui::SyncWindowState(ui, finished);
  EXPECT_EQ(ui.page, UiPage::kSetlistSetup);
  EXPECT_EQ(ui.snapshot.elapsed, 42.0);
  ui.window = &window;
  ui.page = UiPage::kLive;
  ui::SyncWindowState(ui, finished);
  EXPECT_EQ(ui.page, UiPage::kFinished);
  EXPECT_EQ(window.syncs, 1);
}

}  // namespace
}  // namespace quorvane::show
