// The window's frame and life (open, hide, close, destroy, unload), the menu and the live page,
// driven through real window messages under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "window/control_table.h"
#include "window/screenshot.h"
#include "window/open_window_test.h"
#include "window/window_stage.h"

namespace quorvane::window_tests {
namespace {

class WindowTest : public OpenWindowTest {
 protected:
  // The colour in the middle of a control, a few pixels in from its left edge.
  COLORREF FillOf(const Capture& capture, HWND control) const {
    const Placement p = stage.PlacementOf(control);
    return capture.Pixel(p.left + 6, p.top + p.height / 2);
  }
};

// --- Frame and life ---

TEST_F(WindowTest, OpensAsAFixedFrameTitledWithTheBrandOnTheMenu) {
  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  EXPECT_STREQ(title, L"KALVERN LIVE PLAYBACK SYSTEM");
  EXPECT_TRUE(IsWindowVisible(window));
  RECT frame;
  GetWindowRect(window, &frame);
  EXPECT_EQ(frame.right - frame.left, 560);
  EXPECT_EQ(frame.bottom - frame.top, 800);
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_EQ(style & WS_THICKFRAME, 0) << "no sizing border";
  EXPECT_EQ(style & WS_MAXIMIZEBOX, 0) << "no maximize box";
  EXPECT_NE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0) << "on the task bar";

  MINMAXINFO limits{};
  SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMinTrackSize.x, 560);
  EXPECT_EQ(limits.ptMinTrackSize.y, 800);
  EXPECT_EQ(limits.ptMaxTrackSize.x, 560);
  EXPECT_EQ(limits.ptMaxTrackSize.y, 800);

  const int w = ClientWidth();
  const std::vector<std::pair<int, std::wstring>> menu = {
      {ids::kLiveMode, L"LIVE MODE"},
      {ids::kPractiseMode, L"PRACTISE MODE"},
      {ids::kSoundCheckMode, L"SOUND-CHECK MODE"},
      {ids::kOptions, L"OPTIONS"},
      {ids::kAbout, L"ABOUT / HOW TO USE"},
      {ids::kHideInterface, L"HIDE PLUGIN INTERFACE"}};
  for (size_t i = 0; i < menu.size(); ++i) {
    HWND button = C(menu[i].first);
    EXPECT_TRUE(stage.Usable(button)) << i;
    EXPECT_EQ(stage.Text(button), menu[i].second);
    EXPECT_EQ(stage.PlacementOf(button),
              (Placement{60, 390 + 58 * static_cast<int>(i), w - 120, 50}))
        << i;
  }
  for (int other : {ids::kStartShow, ids::kLiveList, ids::kSetlistList, ids::kPractisePlay,
                    ids::kBackToMenu, ids::kExitOptions}) {
    EXPECT_FALSE(stage.Shown(C(other))) << other;
  }
  Capture capture(window);
  ASSERT_TRUE(capture.Valid());
  EXPECT_TRUE(NearColour(capture.Pixel(5, 380), Rgb(0, 0, 0))) << "the menu is black";
  EXPECT_TRUE(NearColour(FillOf(capture, C(ids::kLiveMode)), Rgb(51, 51, 51)))
      << "menu buttons in the button grey";
  EXPECT_TRUE(capture.SavePng("menu"));
}

TEST_F(WindowTest, ShowHideActionTogglesTheWindow) {
  EXPECT_EQ(stage.ShowHide(), window);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(stage.ShowHide(), window);
  EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(WindowTest, CloseButtonOnlyHidesAndTheActionBringsBackTheSamePage) {
  ASSERT_TRUE(stage.Click(ids::kPractiseMode));
  ASSERT_TRUE(stage.Choose(ids::kPractiseSong, 1));
  SendMessageW(window, WM_CLOSE, 0, 0);
  stage.Pump();
  EXPECT_EQ(stage.Window(), window) << "closing keeps the window";
  EXPECT_FALSE(IsWindowVisible(window));

  EXPECT_EQ(stage.ShowHide(), window);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_TRUE(stage.Usable(C(ids::kPractisePlay)));
  EXPECT_EQ(stage.Selected(ids::kPractiseSong), 1);
}

TEST_F(WindowTest, HideInterfaceDestroysTheWindowAndTheActionRecreatesItWithTheSameState) {
  // An option switched off survives the window.
  ASSERT_TRUE(stage.Click(ids::kOptions));
  ASSERT_TRUE(stage.Click(ids::kOptionTimeSignature));
  ASSERT_TRUE(stage.Click(ids::kExitOptions));
  ASSERT_TRUE(stage.Click(ids::kHideInterface));
  EXPECT_EQ(stage.Window(), nullptr);
  EXPECT_FALSE(IsWindow(window));

  window = stage.ShowHide();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(stage.Usable(C(ids::kLiveMode))) << "back on the menu it was left on";
  Capture capture(window);
  // The menu picture is drawn again: the area above "MENU" is no longer plain black.
  bool picture = false;
  for (int x = 40; x < ClientWidth() - 40 && !picture; x += 10) {
    for (int y = 40; y < 320 && !picture; y += 10) {
      picture = !NearColour(capture.Pixel(x, y), Rgb(0, 0, 0), 12);
    }
  }
  EXPECT_TRUE(picture) << "the menu picture is loaded again";

  ASSERT_TRUE(stage.Click(ids::kOptions));
  EXPECT_EQ(SendMessageW(C(ids::kOptionTimeSignature), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageW(C(ids::kOptionMarkerNames), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(WindowTest, ARecreatedWindowsListsStillRunTheirCellsAndIgnoreTypedLetters) {
  ASSERT_TRUE(stage.Click(ids::kHideInterface));
  window = stage.ShowHide();
  ASSERT_NE(window, nullptr);

  ASSERT_TRUE(stage.Click(ids::kLiveMode));
  HWND live = C(ids::kLiveList);
  ASSERT_EQ(stage.ListSelection(live), 0);
  stage.PressKey(live, 'C');  // "Closer"
  EXPECT_EQ(stage.ListSelection(live), 0);

  ASSERT_TRUE(stage.Click(ids::kShowSetup));
  HWND setlist = C(ids::kSetlistList);
  RECT client;
  GetClientRect(setlist, &client);
  // The remove cell of "Closer", the last row (after a song: four cells, remove the rightmost).
  stage.ClickListRow(setlist, 4, client.right - 155 + 38 * 3 + 17);
  EXPECT_EQ(stage.Rows(setlist),
            (std::vector<std::wstring>{L"Opener", L"Second", L"PAUSE", L"Third"}));
  EXPECT_EQ(stage.host.ExtState("Quorvane", "Setlist.Count"), "4");
}

TEST_F(WindowTest, UnloadDestroysTheWindowAndGivesBackItsClassAndAReloadOpensItAgain) {
  ReaperPluginEntry(nullptr, nullptr);
  stage.Pump();
  EXPECT_EQ(stage.Window(), nullptr);
  WNDCLASSEXW info{};
  info.cbSize = sizeof info;
  EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), L"QuorvaneWindow", &info));

  ASSERT_EQ(ReaperPluginEntry(nullptr, stage.host.Info()), 1);
  stage.Run(100);
  EXPECT_EQ(stage.Window(), nullptr) << "a load alone opens no window";
  window = stage.ShowHide();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(stage.Usable(C(ids::kLiveMode)));
}

// --- Menu and pages ---

TEST_F(WindowTest, EveryPageIsReachedFromTheMenuAndLeadsBack) {
  struct Route {
    int open;
    int pageOnly;  // a control only that page shows
    int back;
    const char* screenshot;
  };
  const Route routes[] = {
      {ids::kLiveMode, ids::kStartShow, ids::kExitLive, "live-before-show"},
      {ids::kPractiseMode, ids::kMarkersList, ids::kExitPractise, "practise"},
      {ids::kSoundCheckMode, ids::kExitSoundCheck, ids::kExitSoundCheck, "sound-check"},
      {ids::kOptions, ids::kOptionMarkerNames, ids::kExitOptions, "options"},
      {ids::kAbout, ids::kDonate, ids::kBackToMenu, "about"},
  };
  for (const Route& route : routes) {
    SCOPED_TRACE(route.screenshot);
    ASSERT_TRUE(stage.Click(route.open));
    EXPECT_TRUE(stage.Shown(C(route.pageOnly)));
    EXPECT_FALSE(stage.Shown(C(ids::kLiveMode))) << "the menu is gone";
    Capture capture(window);
    EXPECT_TRUE(NearColour(capture.Pixel(3, 380), Rgb(26, 26, 26))) << "dark page background";
    EXPECT_TRUE(capture.SavePng(route.screenshot));
    ASSERT_TRUE(stage.Click(route.back));
    EXPECT_TRUE(stage.Usable(C(ids::kLiveMode))) << "back on the menu";
  }
}

TEST(WindowWithoutSetlist, LiveModeOpensTheSetupPageWhileTheSetlistIsEmpty) {
  WindowStage stage(false);
  ASSERT_TRUE(stage.loaded);
  ASSERT_NE(stage.ShowHide(), nullptr);
  ASSERT_TRUE(stage.Click(ids::kLiveMode));
  EXPECT_TRUE(stage.Shown(stage.Control(ids::kSetlistList)));
  EXPECT_FALSE(stage.Shown(stage.Control(ids::kStartShow)));
  HWND back = stage.ControlWithText(L"BUTTON", L"GO BACK TO LIVE MODE");
  ASSERT_TRUE(stage.Usable(back));
  ASSERT_TRUE(stage.Click(ids::kAddPause));
  ASSERT_TRUE(stage.Click(back));
  EXPECT_TRUE(stage.Usable(stage.Control(ids::kStartShow))) << "one item is enough for a show";
}

// --- Live page ---

class LivePage : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(stage.Click(ids::kLiveMode));
  }
};

TEST_F(LivePage, BeforeTheShowOffersOnlyStartTheListSetupAndExit) {
  const int w = ClientWidth();
  const int h = ClientHeight();
  EXPECT_TRUE(stage.Usable(C(ids::kStartShow)));
  EXPECT_TRUE(stage.Shown(C(ids::kEndShow)));
  EXPECT_FALSE(IsWindowEnabled(C(ids::kEndShow)));
  for (int hidden : {ids::kPlayNext, ids::kPlaySelected, ids::kLiveStop}) {
    EXPECT_FALSE(stage.Shown(C(hidden))) << hidden;
  }
  EXPECT_TRUE(stage.Usable(C(ids::kShowSetup)));
  EXPECT_TRUE(stage.Usable(C(ids::kExitLive)));
  EXPECT_EQ(stage.PlacementOf(C(ids::kStartShow)), (Placement{15, 27, (w - 40) / 2, 44}));
  EXPECT_EQ(stage.PlacementOf(C(ids::kEndShow)),
            (Placement{(w - 40) / 2 + 25, 27, (w - 40) / 2, 44}));
  const Placement list = stage.PlacementOf(C(ids::kLiveList));
  EXPECT_EQ(list.left, 15);
  EXPECT_EQ(list.top, 73) << "the list follows the start row while no banner is due";
  EXPECT_EQ(list.width, w - 30);
  EXPECT_EQ(stage.PlacementOf(C(ids::kShowSetup)), (Placement{15, h - 92, w - 30, 38}));
  EXPECT_EQ(stage.PlacementOf(C(ids::kExitLive)), (Placement{15, h - 48, w - 30, 38}));

  EXPECT_EQ(stage.Rows(C(ids::kLiveList)),
            (std::vector<std::wstring>{L"Opener", L"Second", L"PAUSE", L"Third", L"Closer"}));
  Capture capture(window);
  EXPECT_TRUE(NearColour(FillOf(capture, C(ids::kStartShow)), Rgb(46, 122, 62)))
      << "START SHOW is green";
  EXPECT_TRUE(NearColour(FillOf(capture, C(ids::kEndShow)), Rgb(42, 42, 42)))
      << "a disabled END SHOW is grey";
}

TEST_F(LivePage, PickingASongWhoseRegionIsGoneExplainsWhyInAnErrorBox) {
  std::erase_if(stage.host.Project().regions,
                [](const sim::SimRegion& region) { return region.name == "Closer"; });
  stage.host.ProjectEdited();
  stage.ClickListRow(C(ids::kLiveList), 4, 100);
  stage.Run(100);
  ASSERT_EQ(stage.host.Messages().size(), 1u);
  EXPECT_EQ(stage.host.Messages()[0].text, "Could not select this song.");
  EXPECT_EQ(stage.host.Messages()[0].title, "Quorvane");
  EXPECT_EQ(stage.host.Messages()[0].icon, platform::MessageIcon::kError);
}

TEST_F(LivePage, AShowRunsStopsOffersAReplayAndEnds) {
  const int w = ClientWidth();
  ASSERT_TRUE(stage.Click(ids::kStartShow));
  stage.Run(300);
  EXPECT_EQ(stage.host.Transport(), sim::TransportState::kPlaying);

  // While a song plays only STOP and END SHOW act.
  EXPECT_FALSE(IsWindowEnabled(C(ids::kStartShow)));
  EXPECT_TRUE(stage.Usable(C(ids::kEndShow)));
  EXPECT_TRUE(stage.Usable(C(ids::kLiveStop)));
  EXPECT_TRUE(stage.Shown(C(ids::kPlayNext)));
  EXPECT_FALSE(IsWindowEnabled(C(ids::kPlayNext)));
  EXPECT_FALSE(IsWindowEnabled(C(ids::kLiveList)));
  EXPECT_FALSE(IsWindowEnabled(C(ids::kShowSetup)));
  EXPECT_FALSE(IsWindowEnabled(C(ids::kExitLive)));
  EXPECT_EQ(stage.PlacementOf(C(ids::kPlayNext)), (Placement{15, 235, w - 30, 50}));
  EXPECT_EQ(stage.PlacementOf(C(ids::kLiveStop)), (Placement{15, 292, w - 30, 48}));
  EXPECT_EQ(stage.PlacementOf(C(ids::kLiveList)).top, 349);
  EXPECT_EQ(stage.ListSelection(C(ids::kLiveList)), 0);
  {
    Capture capture(window);
    EXPECT_TRUE(NearColour(capture.Pixel(30, 90), Rgb(34, 34, 34))) << "the status panel";
    EXPECT_TRUE(capture.SavePng("live-during-show"));
  }

  ASSERT_TRUE(stage.Click(ids::kLiveStop));
  stage.Run(200);
  EXPECT_EQ(stage.host.Transport(), sim::TransportState::kStopped);
  EXPECT_FALSE(stage.Shown(C(ids::kPlayNext)));
  EXPECT_TRUE(stage.Usable(C(ids::kPlaySelected)));
  EXPECT_EQ(stage.Text(C(ids::kPlaySelected)), L"RE-PLAY CURRENT SONG");
  EXPECT_FALSE(IsWindowEnabled(C(ids::kLiveStop)));
  EXPECT_TRUE(IsWindowEnabled(C(ids::kLiveList)));
  {
    Capture capture(window);
    EXPECT_TRUE(NearColour(FillOf(capture, C(ids::kPlaySelected)), Rgb(122, 96, 24)))
        << "the replay button is amber";
    EXPECT_TRUE(capture.SavePng("live-stopped"));
  }

  // Picking the pause while stopped makes the big button play the next song.
  HWND list = C(ids::kLiveList);
  stage.ClickListRow(list, 2, 100);
  stage.Run(100);
  EXPECT_EQ(stage.ListSelection(list), 2);
  EXPECT_TRUE(stage.Shown(C(ids::kPlayNext)));
  EXPECT_FALSE(stage.Shown(C(ids::kPlaySelected)));

  ASSERT_TRUE(stage.Click(ids::kEndShow));
  stage.Run(200);
  EXPECT_TRUE(stage.Usable(C(ids::kStartShow)));
  EXPECT_FALSE(IsWindowEnabled(C(ids::kEndShow)));
  EXPECT_TRUE(stage.Usable(C(ids::kPlaySelected)));
  EXPECT_EQ(stage.Text(C(ids::kPlaySelected)), L"PLAY SELECTED SONG");
  EXPECT_TRUE(stage.Usable(C(ids::kShowSetup)));
  EXPECT_TRUE(stage.Usable(C(ids::kExitLive)));
  Capture capture(window);
  EXPECT_TRUE(NearColour(FillOf(capture, C(ids::kPlaySelected)), Rgb(46, 122, 62)))
      << "PLAY SELECTED SONG is green again";
  EXPECT_TRUE(capture.SavePng("live-after-show"));
}

TEST_F(LivePage, APlayedSongIsStruckThroughAndTheChainedSongIsSelected) {
  ASSERT_TRUE(stage.Click(ids::kStartShow));
  stage.Run(61000, 100);  // past the end of "Opener"; "Second" follows by itself
  HWND list = C(ids::kLiveList);
  EXPECT_EQ(stage.ListSelection(list), 1);
  EXPECT_EQ(stage.host.Transport(), sim::TransportState::kPlaying);

  Capture capture(window);
  const int rowHeight = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  // Between the name and the duration, on the row's middle line.
  POINT played{300, rowHeight / 2};
  POINT waiting{300, 3 * rowHeight + rowHeight / 2};
  MapWindowPoints(list, window, &played, 1);
  MapWindowPoints(list, window, &waiting, 1);
  EXPECT_TRUE(NearColour(capture.Pixel(played.x, played.y), Rgb(150, 150, 150), 20))
      << "the played song is struck through";
  EXPECT_TRUE(NearColour(capture.Pixel(waiting.x, waiting.y), Rgb(21, 21, 21)))
      << "a song still to come is not";
  EXPECT_TRUE(capture.SavePng("live-second-song"));
}

TEST_F(LivePage, SelectingARowDuringPlaybackIsImpossible) {
  ASSERT_TRUE(stage.Click(ids::kStartShow));
  stage.Run(200);
  HWND list = C(ids::kLiveList);
  EXPECT_FALSE(IsWindowEnabled(list)) << "a user cannot click a disabled list";
  EXPECT_EQ(stage.ListSelection(list), 0);
}

TEST_F(LivePage, ATypedLetterNeverPicksAnotherSongButTheArrowKeysDo) {
  ASSERT_TRUE(stage.Click(ids::kStartShow));
  stage.Run(200);
  ASSERT_TRUE(stage.Click(ids::kLiveStop));
  stage.Run(200);
  HWND list = C(ids::kLiveList);
  ASSERT_TRUE(stage.Usable(list));
  ASSERT_EQ(stage.ListSelection(list), 0);

  // A stray key on stage: "Closer" and "Third" begin with these letters.
  stage.PressKey(list, 'C');
  stage.PressKey(list, 'T');
  stage.Run(100);
  EXPECT_EQ(stage.ListSelection(list), 0);
  EXPECT_EQ(stage.Text(C(ids::kPlaySelected)), L"RE-PLAY CURRENT SONG");
  ASSERT_TRUE(stage.Click(ids::kPlaySelected));
  stage.Run(200);
  EXPECT_EQ(stage.host.Transport(), sim::TransportState::kPlaying);
  EXPECT_LT(stage.host.PlayPosition(), 60.0) << "the opener is played again";

  // The arrow keys still pick the next song.
  ASSERT_TRUE(stage.Click(ids::kLiveStop));
  stage.Run(200);
  stage.PressKey(list, VK_DOWN);
  stage.Run(100);
  EXPECT_EQ(stage.ListSelection(list), 1);
  ASSERT_TRUE(stage.Click(ids::kPlaySelected));
  stage.Run(200);
  EXPECT_EQ(stage.host.Transport(), sim::TransportState::kPlaying);
  EXPECT_GE(stage.host.PlayPosition(), 60.0) << "the second song plays";
  EXPECT_LT(stage.host.PlayPosition(), 120.0);
}

TEST_F(LivePage, ScheduledAutoStartMovesTheListBelowTheBanner) {
  stage.host.SetLocalTime(20, 0, 0);
  ASSERT_TRUE(stage.Click(ids::kShowSetup));
  EXPECT_FALSE(IsWindowEnabled(C(ids::kHourBox))) << "the time waits for the check box";
  ASSERT_TRUE(stage.Click(ids::kAutoStartCheck));
  EXPECT_TRUE(stage.Usable(C(ids::kHourBox)));
  EXPECT_TRUE(stage.Usable(C(ids::kMinuteBox)));
  ASSERT_TRUE(stage.Choose(ids::kHourBox, 21));
  ASSERT_TRUE(stage.Choose(ids::kMinuteBox, 30));
  ASSERT_TRUE(stage.Click(stage.ControlWithText(L"BUTTON", L"GO BACK TO LIVE MODE")));
  stage.Run(1100);
  EXPECT_EQ(stage.PlacementOf(C(ids::kLiveList)).top, 112);
  Capture capture(window);
  // The countdown's gold text lies somewhere in the right half of the banner strip.
  bool countdown = false;
  for (int x = ClientWidth() / 2; x < ClientWidth() - 15 && !countdown; ++x) {
    for (int y = 80; y < 104 && !countdown; ++y) {
      countdown = NearColour(capture.Pixel(x, y), Rgb(220, 190, 70), 40);
    }
  }
  EXPECT_TRUE(countdown) << "the banner counts down to 21:30";
  EXPECT_TRUE(capture.SavePng("live-auto-start-banner"));
}

TEST_F(LivePage, DestroyingTheWindowClearsTheTimedStartAsItsCheckBoxWentWithIt) {
  stage.host.SetLocalTime(20, 0, 58);
  ASSERT_TRUE(stage.Click(ids::kShowSetup));
  ASSERT_TRUE(stage.Click(ids::kAutoStartCheck));
  ASSERT_TRUE(stage.Choose(ids::kHourBox, 20));
  ASSERT_TRUE(stage.Choose(ids::kMinuteBox, 1));
  ASSERT_TRUE(stage.Click(stage.ControlWithText(L"BUTTON", L"GO BACK TO LIVE MODE")));

  ASSERT_TRUE(DestroyWindow(window));
  stage.Run(3000);  // past 20:01 on the live page
  EXPECT_EQ(stage.host.Transport(), sim::TransportState::kStopped) << "no timed start";
  EXPECT_EQ(stage.host.CountCalls("OnPlayButton"), 0);

  window = stage.ShowHide();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(stage.Click(ids::kShowSetup));
  EXPECT_EQ(SendMessageW(C(ids::kAutoStartCheck), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_FALSE(IsWindowEnabled(C(ids::kHourBox)));
}

}  // namespace
}  // namespace quorvane::window_tests
