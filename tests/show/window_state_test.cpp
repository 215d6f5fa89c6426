// The window state record and the page switches, with and without a window.
#include <gtest/gtest.h>

#include <set>

#include "show/played_songs.h"
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

TEST_F(WindowState, PlayedMarksFollowTheSongAndRefreshTheLivePageOnly) {
  UseSetlist({4, 0, 7});
  PlayedSongs played(setlist);
  EXPECT_FALSE(played.Mark(1));  // a pause
  EXPECT_FALSE(played.Mark(3));
  EXPECT_FALSE(played.Mark(-1));
  EXPECT_TRUE(played.Mark(2));
  ASSERT_TRUE(setlist.MoveItemUp(2));  // the mark goes with the song
  EXPECT_EQ(played.Indexes(), std::set<int32_t>{1});
  EXPECT_FALSE(played.IsPlayed(2));

  ui.window = &window;
  ui.page = UiPage::kSetlistSetup;
  engine.SetLiveTransport(LiveTransport::kReplay);
  EXPECT_EQ(window.transportRefreshes, 0);

  ui.page = UiPage::kFinished;
  engine.SetLiveTransport(LiveTransport::kReplay);  // unchanged
  EXPECT_EQ(window.transportRefreshes, 0);
  engine.ClearPlayed();
  EXPECT_TRUE(engine.Played().Indexes().empty());
  EXPECT_EQ(engine.LiveTransportChoice(), LiveTransport::kNext);
  EXPECT_EQ(window.transportRefreshes, 1);
  EXPECT_EQ(window.liveListRebuilds, 1);
}

// Counts the play button's changes; leaves the engine on the first one when asked to.
class TransportView : public ShowListener {
 public:
  TransportView(ShowEngine& engine, bool leaves) : engine_(engine), leaves_(leaves) {}
  int heard = 0;
  void LiveTransportChanged(LiveTransport /*transport*/) override {
    ++heard;
    if (leaves_) engine_.RemoveListener(*this);
  }

 private:
  ShowEngine& engine_;
  bool leaves_;
};

TEST_F(WindowState, EveryViewHearsTheEngineAndOneThatLeftHearsNothingMore) {
  TransportView leaving(engine, true);
  TransportView staying(engine, false);
  engine.AddListener(leaving);
  const host::ListenerScope<ShowEngine, ShowListener> scope(engine, staying);
  engine.SetLiveTransport(LiveTransport::kReplay);
  engine.SetLiveTransport(LiveTransport::kSelected);
  EXPECT_EQ(leaving.heard, 1);
  EXPECT_EQ(staying.heard, 2);
}

TEST_F(WindowState, PageSwitchesWithAndWithoutAWindow) {
  host.AddRegion(1, "Opener", 0.0, 8.0);
  UseSetlist({1});
  ASSERT_TRUE(practise.SetPractiseRate(0.8));
  core.Operations().EnterLiveMode();
  EXPECT_EQ(ui.page, UiPage::kLive);
  EXPECT_EQ(engine.LiveTransportChoice(), LiveTransport::kSelected);  // not running yet
  ASSERT_GE(host.CountCalls("CSurf_OnPlayRateChange"), 2);
  EXPECT_EQ(host.CallsTo("CSurf_OnPlayRateChange").back().time, 1.0);  // the practise rate ends

  ASSERT_TRUE(engine.StartShow());
  engine.StopLive();
  core.Operations().OpenSetup();
  core.Operations().BackToLive();  // a running show keeps its choice
  EXPECT_EQ(engine.LiveTransportChoice(), LiveTransport::kReplay);

  ui.window = &window;
  ui::ShowLivePage(ui, practise);
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
