// Whole shows run by the host's actions and timer, asserting what the host was told and what the
// project stores.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/stage.h"

namespace {

using quorvane::e2e::Stage;

// Seeks the extension made with seek-play on: the pre-roll into an auto-start song.
int PreRollSeeks(const quorvane::sim::Host& host) {
  const auto seeks = host.CallsTo("SetEditCurPos");
  return static_cast<int>(
      std::count_if(seeks.begin(), seeks.end(), [](const auto& call) { return call.seekPlay; }));
}

TEST(ShowEndToEnd, LoadingTreatsTheProjectAsNewAndStoresAPreparedShow) {
  Stage stage;
  ASSERT_TRUE(stage.loaded);
  EXPECT_EQ(stage.host.ExtState("Quorvane", "show_status"), "PREPARED");
  EXPECT_EQ(stage.host.ExtState("Quorvane", "show_duration"), "2700.000");
  EXPECT_EQ(stage.host.ExtState("Quorvane", "show_current"), "-1");
}

TEST(ShowEndToEnd, ActionsRunAWholeShowWithAChainAPauseAndAFinish) {
  Stage stage;
  auto& host = stage.host;
  ASSERT_TRUE(stage.loaded);
  host.Run(100);
  host.ClearCalls();

  ASSERT_TRUE(host.RunAction("Quorvane_StartShow"));
  EXPECT_EQ(host.ExtState("Quorvane", "show_status"), "LIVE");
  EXPECT_EQ(host.CountCalls("OnPlayButton"), 1);

  // The Opener chains into the auto-start Second at the bar line, without a stop.
  host.Run(61000);
  EXPECT_EQ(host.CountCalls("OnStopButton"), 0);
  EXPECT_EQ(PreRollSeeks(host), 1);
  EXPECT_GT(host.PlayPosition(), 60.0);
  EXPECT_EQ(host.ConfigVar("smoothseek"), 0);  // the override is given back after the chain

  // The Second stops before the pause, which becomes the current item.
  host.Run(60000);
  EXPECT_EQ(host.CountCalls("OnStopButton"), 1);
  EXPECT_EQ(host.Transport(), quorvane::sim::TransportState::kStopped);

  ASSERT_TRUE(host.RunAction("Quorvane_EnginePlayNext"));
  host.Run(61000);  // the Third ends; the Closer has no auto-start, so the show waits
  EXPECT_EQ(host.Transport(), quorvane::sim::TransportState::kStopped);
  EXPECT_EQ(host.ExtState("Quorvane", "show_status"), "LIVE");

  ASSERT_TRUE(host.RunAction("Quorvane_EnginePlayNext"));
  host.Run(61000);  // the last song ends the show
  EXPECT_EQ(host.ExtState("Quorvane", "show_status"), "FINISHED");
  EXPECT_NE(host.ExtState("Quorvane", "show_finish"), "0");
  EXPECT_EQ(host.CountCalls("OnPlayButton"), 3);
}

TEST(ShowEndToEnd, AUserStopInTheHostLeavesTheSongToBePlayedAgain) {
  Stage stage;
  auto& host = stage.host;
  ASSERT_TRUE(stage.loaded);
  host.Run(100);
  ASSERT_TRUE(host.RunAction("Quorvane_StartShow"));
  host.Run(5000);
  host.UserStop();
  host.Run(1000);

  // Replaying from the action starts the same song from its start.
  host.ClearCalls();
  ASSERT_TRUE(host.RunAction("Quorvane_EnginePlayCurrent"));
  const auto seeks = host.CallsTo("SetEditCurPos");
  ASSERT_FALSE(seeks.empty());
  EXPECT_DOUBLE_EQ(seeks.back().time, 0.0);
  EXPECT_EQ(host.Transport(), quorvane::sim::TransportState::kPlaying);
}

TEST(ShowEndToEnd, ShowKeepsRunningAcrossTicksAndEndsByAction) {
  Stage stage;
  auto& host = stage.host;
  ASSERT_TRUE(stage.loaded);
  host.Run(100);
  ASSERT_TRUE(host.RunAction("Quorvane_StartShow"));
  host.Run(3000);
  ASSERT_TRUE(host.RunAction("Quorvane_EndShow"));
  EXPECT_EQ(host.ExtState("Quorvane", "show_status"), "FINISHED");
  EXPECT_EQ(host.Transport(), quorvane::sim::TransportState::kStopped);
  EXPECT_FALSE(host.RepeatOn());
}

TEST(ShowEndToEnd, RepeatIsSwitchedOffForTheShowAndGivenBackAtTheEnd) {
  Stage stage;
  auto& host = stage.host;
  ASSERT_TRUE(stage.loaded);
  host.SetRepeat(true);
  host.Run(100);
  ASSERT_TRUE(host.RunAction("Quorvane_StartShow"));
  EXPECT_FALSE(host.RepeatOn());
  ASSERT_TRUE(host.RunAction("Quorvane_EngineStop"));
  EXPECT_TRUE(host.RepeatOn());
}

// Every way out of a pre-rolled chain gives the user's own smooth-seek and repeat settings back.
class LeavingAPreRoll : public ::testing::TestWithParam<const char*> {};

TEST_P(LeavingAPreRoll, PutsBackTheHostSettings) {
  const std::string way = GetParam();
  Stage stage;
  auto& host = stage.host;
  ASSERT_TRUE(stage.loaded);
  host.SetConfigVar("smoothseek", 4);
  host.SetRepeat(true);
  host.Run(100);
  ASSERT_TRUE(host.RunAction("Quorvane_StartShow"));
  host.Run(59000);  // into the Opener's last bar: the Second is pre-rolled
  ASSERT_EQ(PreRollSeeks(host), 1);
  ASSERT_EQ(host.ConfigVar("smoothseek"), 7);
  ASSERT_FALSE(host.RepeatOn());

  if (way == "unload") {
    ReaperPluginEntry(nullptr, nullptr);
  } else if (way == "close") {
    host.CloseProject(0);
    host.Run(100);
  } else if (way == "stop") {
    ASSERT_TRUE(host.RunAction("Quorvane_EngineStop"));
  } else if (way == "next") {
    ASSERT_TRUE(host.RunAction("Quorvane_EnginePlayNext"));
  } else {
    ASSERT_TRUE(host.RunAction("Quorvane_EndShow"));
  }
  EXPECT_EQ(host.ConfigVar("smoothseek"), 4);
  if (way != "next") {
    EXPECT_TRUE(host.RepeatOn());  // play next keeps playing: repeat stays off until a stop
  }
}

INSTANTIATE_TEST_SUITE_P(Ways, LeavingAPreRoll,
                         ::testing::Values("unload", "close", "stop", "next", "end"),
                         [](const auto& param) { return std::string(param.param); });

TEST(ShowEndToEnd, AProjectChangeMidShowStopsAndLoadsTheNewProjectsSetlist) {
  Stage stage;
  auto& host = stage.host;
  ASSERT_TRUE(stage.loaded);
  host.Run(100);
  ASSERT_TRUE(host.RunAction("Quorvane_StartShow"));
  host.Run(2000);
  const int other = host.AddProject("/shows/other.rpp");
  host.SelectProject(other);
  host.Run(100);
  EXPECT_EQ(host.Transport(), quorvane::sim::TransportState::kStopped);
  EXPECT_EQ(host.ExtState("Quorvane", "show_status"), "PREPARED");  // written into the new project

  host.ClearCalls();
  host.RunAction("Quorvane_ShowSetlist");
  const auto printed = host.CallsTo("ShowConsoleMsg");
  ASSERT_EQ(printed.size(), 1u);
  EXPECT_NE(printed[0].text.find("Total: 0\n"), std::string::npos);
}

TEST(ShowEndToEnd, SetlistReportMarksTheCurrentItem) {
  Stage stage;
  auto& host = stage.host;
  ASSERT_TRUE(stage.loaded);
  host.Run(100);
  host.RunAction("Quorvane_ShowSetlist");
  const auto printed = host.CallsTo("ShowConsoleMsg");
  ASSERT_EQ(printed.size(), 1u);
  EXPECT_EQ(
      printed[0].text,
      "\n=== QUORVANE ===\nSETLIST\n---------------------------\nTotal: 5\nCurrent Index: 0\n\n"
      "1. Region ID: 1  <-- CURRENT\n2. Region ID: 2\n3. Region ID: -1\n4. Region ID: 3\n"
      "5. Region ID: 4\n");
}

}  // namespace
