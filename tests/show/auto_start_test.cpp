// The show starting by itself at the chosen minute of the local wall clock, and its countdown.
#include <gtest/gtest.h>

#include "show_fixture.h"

namespace quorvane::show {
namespace {

using show::ShowStatus;

class AutoStart : public test::ShowTest {
 protected:
  void SetUp() override {
    test::ShowTest::SetUp();
    host.AddRegion(1, "Opener", 0.0, 600.0);
    UseSetlist({1});
    ui.window = &window;
    ui.page = ui::UiPage::kLive;
    Schedule(20, 0);
  }
  void Schedule(int hour, int minute) {
    engine.SetAutoStartEnabled(true);
    ASSERT_TRUE(engine.SetAutoStartTime(hour, minute));
  }
  ShowStatus Status() const { return engine.Record().status; }

  test::FakeWindow window;
};

TEST_F(AutoStart, StartsAtItsMinuteAndOnlyOnce) {
  host.SetLocalTime(19, 59, 50);
  EXPECT_EQ(engine.AutoStartBannerText(), "AUTO-START SCHEDULED FOR 20:00    STARTS IN 00:00:10");
  RunFor(9900);
  EXPECT_EQ(Status(), ShowStatus::kPrepared);
  RunFor(200);
  EXPECT_EQ(Status(), ShowStatus::kLive);
  EXPECT_EQ(host.CountCalls("OnPlayButton"), 1);
  EXPECT_EQ(engine.AutoStartBannerText(), "");

  // Reset within the same minute: the minute has been used.
  engine.ResetShow();
  RunFor(1000);
  EXPECT_EQ(Status(), ShowStatus::kPrepared);
  EXPECT_EQ(host.CountCalls("OnPlayButton"), 1);
}

TEST_F(AutoStart, ABackupRigFollowingItsMainLeavesTheStartToTheMain) {
  engine.Player().SetFollowing(true);
  host.SetLocalTime(19, 59, 50);
  RunFor(10200);
  EXPECT_EQ(Status(), ShowStatus::kPrepared);
  EXPECT_EQ(host.CountCalls("OnPlayButton"), 0);

  // Leading now within the minute (the main went before it started the show): it starts here.
  engine.Player().SetFollowing(false);
  RunFor(800);
  EXPECT_EQ(Status(), ShowStatus::kLive);
  EXPECT_EQ(host.CountCalls("OnPlayButton"), 1);
}

TEST_F(AutoStart, MinuteThatHasPassedWaitsForNewSettings) {
  host.SetLocalTime(20, 5, 0);
  RunFor(2000);
  EXPECT_EQ(Status(), ShowStatus::kPrepared);
  EXPECT_EQ(engine.AutoStartBannerText(), "");  // no wrap to the next day

  Schedule(20, 6);
  RunFor(1000);
  EXPECT_EQ(Status(), ShowStatus::kPrepared);
  host.SetLocalTime(20, 6, 0);
  RunFor(100);
  EXPECT_EQ(Status(), ShowStatus::kLive);
}

TEST_F(AutoStart, FailedStartIsRetriedWithinTheMinute) {
  UseSetlist({2});  // not in the project yet
  host.SetLocalTime(20, 0, 0);
  RunFor(1000);
  EXPECT_EQ(Status(), ShowStatus::kPrepared);
  host.AddRegion(2, "Late arrival", 700.0, 900.0);
  RunFor(100);
  EXPECT_EQ(Status(), ShowStatus::kLive);
  EXPECT_EQ(host.EditCursor(), 700.0);
}

TEST_F(AutoStart, OnlyWhileTheLivePageIsShown) {
  ui.page = ui::UiPage::kSetlistSetup;
  host.SetLocalTime(19, 59, 0);
  EXPECT_EQ(engine.AutoStartBannerText(), "");
  host.SetLocalTime(20, 0, 0);
  RunFor(1000);
  EXPECT_EQ(Status(), ShowStatus::kPrepared);
  ui.page = ui::UiPage::kFinished;
  RunFor(100);
  EXPECT_EQ(Status(), ShowStatus::kLive);
}

TEST_F(AutoStart, NothingWhileOffButNeedsNoWindow) {
  engine.SetAutoStartEnabled(false);
  host.SetLocalTime(20, 0, 0);
  RunFor(500);
  EXPECT_EQ(Status(), ShowStatus::kPrepared);
  ui.window = nullptr;  // the setting is the engine's, not the check box's
  engine.SetAutoStartEnabled(true);
  RunFor(100);
  EXPECT_EQ(Status(), ShowStatus::kLive);
  EXPECT_EQ(host.CountCalls("OnPlayButton"), 1);
}

TEST_F(AutoStart, ClearedOnProjectChangeAndOnLeavingTheMode) {
  engine.ResetForProjectChange();
  EXPECT_FALSE(engine.AutoStartSetting().enabled);
  EXPECT_EQ(engine.AutoStartSetting().hour, 0);  // what the cleared boxes show
  EXPECT_EQ(window.autoStartResets, 1);

  Schedule(21, 30);
  core.Operations().ExitMode();
  EXPECT_FALSE(engine.AutoStartSetting().enabled);
  EXPECT_EQ(window.autoStartResets, 2);
  EXPECT_FALSE(engine.SetAutoStartTime(24, 0));
  EXPECT_FALSE(engine.SetAutoStartTime(12, 60));
  EXPECT_EQ(engine.AutoStartSetting().minute, 0);
}

TEST_F(AutoStart, CountdownRunsToATimeLaterToday) {
  Schedule(23, 59);
  host.SetLocalTime(0, 10, 0);
  EXPECT_EQ(engine.AutoStartBannerText(), "AUTO-START SCHEDULED FOR 23:59    STARTS IN 23:49:00");
  host.SetLocalTime(23, 59, 0);
  EXPECT_EQ(engine.AutoStartBannerText(), "");
}

}  // namespace
}  // namespace quorvane::show
