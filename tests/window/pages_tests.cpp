// The setup, practise, sound-check, options and about pages: what their boxes and lists hold and
// what their controls do, as a user sees it and as the host is told.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "window/control_table.h"
#include "window/screenshot.h"
#include "window/open_window_test.h"
#include "window/window_stage.h"

namespace quorvane::window_tests {
namespace {

class PageTest : public OpenWindowTest {
 protected:
  std::string Stored(const std::string& key) const { return stage.host.ExtState("Quorvane", key); }
  // Whether a toggle button (loop, pre-count) shows its gold "on" ring.
  bool RingOn(int id) const {
    Capture capture(window);
    const Placement p = stage.PlacementOf(C(id));
    // The ring lies just inside the edge; the middle of the top side is clear of the caption.
    return NearColour(capture.Pixel(p.left + p.width / 2, p.top + 2), Rgb(255, 205, 0), 30);
  }
};

// --- Setup page ---

class SetupPage : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    ASSERT_TRUE(stage.Click(ids::kLiveMode));
    ASSERT_TRUE(stage.Click(ids::kShowSetup));
    list = C(ids::kSetlistList);
  }
  // The x of a row cell's middle: cells are 34 wide on a 38 pitch, ending 7 before the right edge
  // of the list's rows (117 + 38 for the auto-start cell).
  int CellX(bool offersAutoStart, int cell) const {
    RECT client;
    GetClientRect(list, &client);
    const int x0 = client.right - (offersAutoStart ? 155 : 117);
    return x0 + 38 * cell + 17;
  }
  std::vector<std::wstring> Setlist() const { return stage.Rows(list); }

  HWND list = nullptr;
};

TEST_F(SetupPage, ShowsTheSetlistTheSongsLeftToAddAndTheDurationChoices) {
  EXPECT_EQ(Setlist(),
            (std::vector<std::wstring>{L"Opener", L"Second", L"PAUSE", L"Third", L"Closer"}));
  EXPECT_EQ(stage.Entries(ids::kSongBox), std::vector<std::wstring>{L"Encore - 01:00"})
      << "only regions not in the setlist, never region 99";
  EXPECT_EQ(stage.Selected(ids::kSongBox), 0);

  const std::vector<std::wstring> durations = stage.Entries(ids::kDurationBox);
  ASSERT_EQ(durations.size(), 96u);
  EXPECT_EQ(durations.front(), L"5min");
  EXPECT_EQ(durations[11], L"1h00min");
  EXPECT_EQ(durations.back(), L"8h00min");
  EXPECT_EQ(durations[static_cast<size_t>(stage.Selected(ids::kDurationBox))], L"45min");
  EXPECT_EQ(stage.Entries(ids::kHourBox).size(), 24u);
  EXPECT_EQ(stage.Entries(ids::kMinuteBox).back(), L"59");

  const int w = ClientWidth();
  const Placement listPlace = stage.PlacementOf(list);
  EXPECT_EQ(listPlace.left, 15);
  EXPECT_EQ(listPlace.top, 230);
  EXPECT_EQ(listPlace.width, w - 30);
  EXPECT_FALSE(IsWindowEnabled(C(ids::kHourBox)));
  EXPECT_FALSE(IsWindowEnabled(C(ids::kMinuteBox)));
  Capture capture(window);
  EXPECT_TRUE(NearColour(capture.Pixel(20, 100), Rgb(34, 34, 34))) << "the setup panel";
  EXPECT_TRUE(capture.SavePng("setup"));
}

TEST_F(SetupPage, AddingSongsAndPausesExtendsTheStoredSetlist) {
  ASSERT_TRUE(stage.Click(ids::kAddSong));
  EXPECT_EQ(Setlist().back(), L"Encore");
  EXPECT_EQ(Stored("Setlist.Count"), "6");
  EXPECT_EQ(stage.Entries(ids::kSongBox),
            std::vector<std::wstring>{L"All songs are already in the setlist"});
  EXPECT_TRUE(stage.host.Messages().empty());

  // The placeholder cannot be added.
  ASSERT_TRUE(stage.Click(ids::kAddSong));
  ASSERT_EQ(stage.host.Messages().size(), 1u);
  EXPECT_EQ(stage.host.Messages()[0].text, "This song is already in the setlist.");
  EXPECT_EQ(stage.host.Messages()[0].title, "Quorvane");
  EXPECT_EQ(Stored("Setlist.Count"), "6");

  ASSERT_TRUE(stage.Click(ids::kAddPause));
  EXPECT_EQ(Setlist().back(), L"PAUSE");
  EXPECT_EQ(Stored("Setlist.Count"), "7");
  EXPECT_GT(stage.host.CountCalls("MarkProjectDirty"), 0);
}

TEST_F(SetupPage, RowCellsMoveRemoveAndMarkSongs) {
  // Move "Third" (row 3, after a pause: no auto-start cell) up.
  stage.ClickListRow(list, 3, CellX(false, 0));
  EXPECT_EQ(Setlist(),
            (std::vector<std::wstring>{L"Opener", L"Second", L"Third", L"PAUSE", L"Closer"}));
  EXPECT_EQ(stage.ListSelection(list), 2);
  EXPECT_EQ(Stored("Setlist.Item.2.RegionID"), "3");

  // Mark "Third" (now after a song) to start by itself.
  EXPECT_EQ(Stored("Setlist.Item.2.AutoStart"), "0");
  stage.ClickListRow(list, 2, CellX(true, 0));
  EXPECT_EQ(Stored("Setlist.Item.2.AutoStart"), "1");

  // Move "Opener" down, then remove the pause.
  stage.ClickListRow(list, 0, CellX(true, 2));
  EXPECT_EQ(Setlist(),
            (std::vector<std::wstring>{L"Second", L"Opener", L"Third", L"PAUSE", L"Closer"}));
  stage.ClickListRow(list, 3, CellX(false, 2));
  EXPECT_EQ(Setlist(), (std::vector<std::wstring>{L"Second", L"Opener", L"Third", L"Closer"}));
  EXPECT_EQ(Stored("Setlist.Count"), "4");

  // Clicks between cells or on the name do nothing.
  const int between = CellX(true, 0) + 19;
  stage.ClickListRow(list, 1, between);
  stage.ClickListRow(list, 1, 80);
  EXPECT_EQ(Setlist(), (std::vector<std::wstring>{L"Second", L"Opener", L"Third", L"Closer"}));
  EXPECT_TRUE(stage.host.Messages().empty());
}

TEST_F(SetupPage, ATypedLetterLeavesTheSelectedRowWhereItIs) {
  stage.ClickListRow(list, 0, 80);  // on the name, away from the cells
  ASSERT_EQ(stage.ListSelection(list), 0);
  stage.PressKey(list, 'T');  // "Third"
  EXPECT_EQ(stage.ListSelection(list), 0);
  stage.PressKey(list, VK_DOWN);
  EXPECT_EQ(stage.ListSelection(list), 1) << "the arrow keys still move the selection";
  EXPECT_EQ(Setlist(),
            (std::vector<std::wstring>{L"Opener", L"Second", L"PAUSE", L"Third", L"Closer"}));
}

TEST_F(SetupPage, ADurationTooShortForTheMusicShowsTheExcess) {
  // Four one-minute songs in a 5-minute show fit; nothing is shown.
  ASSERT_TRUE(stage.Choose(ids::kDurationBox, 0));
  EXPECT_EQ(stage.Text(C(ids::kExcessText)), L"");
  EXPECT_EQ(Stored("show_duration").substr(0, 3), "300");
  ASSERT_TRUE(stage.Click(ids::kAddSong));
  ASSERT_TRUE(stage.Click(stage.ControlWithText(L"BUTTON", L"GO BACK TO LIVE MODE")));
  ASSERT_TRUE(stage.Click(ids::kShowSetup));
  EXPECT_EQ(stage.Text(C(ids::kExcessText)), L"");
  // A sixth minute of music in a five-minute show: one minute too much.
  ASSERT_TRUE(stage.Click(ids::kAddPause));
  stage.host.AddRegion(6, "Extra", 300.0, 360.0);
  ASSERT_TRUE(stage.Click(ids::kAddPause));
  ASSERT_TRUE(stage.Choose(ids::kSongBox, 0));
  ASSERT_TRUE(stage.Click(ids::kAddSong));
  EXPECT_EQ(stage.Text(C(ids::kExcessText)), L"THE SETLIST EXCEEDS THE SET TIME BY 00:01:00");
  Capture capture(window);
  EXPECT_TRUE(capture.SavePng("setup-excess"));
}

// --- Practise page ---

class PractisePage : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    ASSERT_TRUE(stage.Click(ids::kPractiseMode));
  }
};

TEST_F(PractisePage, ListsSongsMarkersAndRates) {
  const std::vector<std::wstring> songs = stage.Entries(ids::kPractiseSong);
  ASSERT_EQ(songs.size(), 6u);
  EXPECT_EQ(songs[0], L"Opener - 01:00");
  EXPECT_EQ(songs[5], L"Soundcheck Loop - 00:30") << "region 99 can be practised";
  EXPECT_EQ(stage.Selected(ids::kPractiseSong), 0);

  // A marker at the song's very start replaces "START OF SONG".
  EXPECT_EQ(stage.Entries(ids::kPractiseStart),
            (std::vector<std::wstring>{L"Intro - 00:00:00", L"Verse - 00:00:32"}));
  EXPECT_EQ(stage.Entries(ids::kPractiseStopPoint),
            (std::vector<std::wstring>{L"END OF SONG", L"Intro - 00:00:00", L"Verse - 00:00:32"}));
  EXPECT_EQ(stage.Rows(C(ids::kMarkersList)),
            (std::vector<std::wstring>{L"Intro - 00:00:00", L"Verse - 00:00:32"}));

  const std::vector<std::wstring> rates = stage.Entries(ids::kRateBox);
  ASSERT_EQ(rates.size(), 21u);
  EXPECT_EQ(rates.front(), L"50% slower");
  EXPECT_EQ(rates[9], L"5% slower");
  EXPECT_EQ(rates[10], L"normal");
  EXPECT_EQ(rates[11], L"5% faster");
  EXPECT_EQ(rates.back(), L"50% faster");
  EXPECT_EQ(stage.Selected(ids::kRateBox), 10);

  // A song whose markers come after its start begins with "START OF SONG".
  ASSERT_TRUE(stage.Choose(ids::kPractiseSong, 1));
  EXPECT_EQ(stage.Entries(ids::kPractiseStart),
            (std::vector<std::wstring>{L"START OF SONG", L"Chorus - 00:00:30"}));
  ASSERT_TRUE(stage.Choose(ids::kPractiseSong, 2));
  EXPECT_EQ(stage.Rows(C(ids::kMarkersList)), std::vector<std::wstring>{L"(NO MARKERS IN SONG)"});
  EXPECT_EQ(stage.Entries(ids::kPractiseStart), std::vector<std::wstring>{L"START OF SONG"});
  EXPECT_EQ(stage.Entries(ids::kPractiseStopPoint), std::vector<std::wstring>{L"END OF SONG"});

  ASSERT_TRUE(stage.Choose(ids::kRateBox, 8));
  EXPECT_NEAR(stage.host.PlayRate(), 0.9, 1e-9);
}

TEST_F(PractisePage, PrecountTogglesExcludeEachOtherAndLoopToggles) {
  EXPECT_FALSE(RingOn(ids::kPrecount4));
  ASSERT_TRUE(stage.Click(ids::kPrecount4));
  EXPECT_TRUE(RingOn(ids::kPrecount4));
  ASSERT_TRUE(stage.Click(ids::kPrecount8));
  EXPECT_FALSE(RingOn(ids::kPrecount4));
  EXPECT_TRUE(RingOn(ids::kPrecount8));
  ASSERT_TRUE(stage.Click(ids::kPrecount8));
  EXPECT_FALSE(RingOn(ids::kPrecount8)) << "a second click switches the pre-count off";
  ASSERT_TRUE(stage.Click(ids::kLoop));
  EXPECT_TRUE(RingOn(ids::kLoop));
}

TEST_F(PractisePage, ARunLocksTheSectionUntilStop) {
  ASSERT_TRUE(stage.Choose(ids::kPractiseStart, 1));  // from "Verse"
  EXPECT_FALSE(IsWindowEnabled(C(ids::kPractiseStop))) << "STOP waits for a run";
  ASSERT_TRUE(stage.Click(ids::kPractisePlay));
  stage.Run(200);
  EXPECT_EQ(stage.host.Transport(), sim::TransportState::kPlaying);
  EXPECT_NEAR(stage.host.EditCursor(), 32.0, 1e-6);
  EXPECT_TRUE(stage.Usable(C(ids::kPractiseStop)));
  for (int locked :
       {ids::kPractisePlay, ids::kPrecount4, ids::kPrecount8, ids::kLoop, ids::kExitPractise,
        ids::kPractiseSong, ids::kPractiseStart, ids::kPractiseStopPoint}) {
    EXPECT_FALSE(IsWindowEnabled(C(locked))) << locked;
  }
  EXPECT_TRUE(stage.Usable(C(ids::kRateBox))) << "the rate stays usable";
  EXPECT_EQ(stage.Selected(ids::kMarkersList), 1) << "the section being played is marked";
  Capture capture(window);
  EXPECT_TRUE(capture.SavePng("practise-playing"));

  ASSERT_TRUE(stage.Click(ids::kPractiseStop));
  stage.Run(100);
  EXPECT_EQ(stage.host.Transport(), sim::TransportState::kStopped);
  EXPECT_TRUE(stage.Usable(C(ids::kPractisePlay)));
  EXPECT_TRUE(stage.Usable(C(ids::kExitPractise)));
  EXPECT_EQ(stage.Selected(ids::kMarkersList), -1);
}

TEST_F(PageTest, EndOfSongChosenAgainAfterAMarkerPlaysTheSectionToTheSongsEnd) {
  struct Page {
    const char* name;
    int open;
    int exit;
  };
  for (const Page page : {Page{"practise", ids::kPractiseMode, ids::kExitPractise},
                          Page{"sound check", ids::kSoundCheckMode, ids::kExitSoundCheck}}) {
    SCOPED_TRACE(page.name);
    ASSERT_TRUE(stage.Click(page.open));
    ASSERT_EQ(
        stage.Entries(ids::kPractiseStopPoint),
        (std::vector<std::wstring>{L"END OF SONG", L"Intro - 00:00:00", L"Verse - 00:00:32"}));
    ASSERT_TRUE(stage.Choose(ids::kPractiseStopPoint, 2));  // stop at "Verse"
    ASSERT_TRUE(stage.Choose(ids::kPractiseStopPoint, 0));  // and back to the song's end
    ASSERT_TRUE(stage.Click(ids::kPractisePlay));
    stage.Run(36000, 100);
    EXPECT_EQ(stage.host.Transport(), sim::TransportState::kPlaying)
        << "the run goes on past the Verse marker at 0:32";
    EXPECT_GT(stage.host.PlayPosition(), 33.0);
    EXPECT_EQ(stage.Selected(ids::kPractiseStopPoint), 0);
    stage.Click(ids::kPractiseStop);  // when the run still goes on
    stage.Run(100);
    ASSERT_TRUE(stage.Click(page.exit));
  }
}

TEST_F(PageTest, TheSectionChosenForPractiseIsTheOneTheSoundCheckPlays) {
  ASSERT_TRUE(stage.Click(ids::kPractiseMode));
  ASSERT_TRUE(stage.Choose(ids::kPractiseSong, 1));   // "Second", 1:00 to 2:00
  ASSERT_TRUE(stage.Choose(ids::kPractiseStart, 1));  // from "Chorus" at 1:30
  ASSERT_TRUE(stage.Click(ids::kLoop));
  ASSERT_TRUE(stage.Click(ids::kPrecount8));
  ASSERT_TRUE(stage.Click(ids::kExitPractise));

  ASSERT_TRUE(stage.Click(ids::kSoundCheckMode));
  EXPECT_EQ(stage.Selected(ids::kPractiseSong), 1);
  EXPECT_EQ(stage.Entries(ids::kPractiseStart),
            (std::vector<std::wstring>{L"START OF SONG", L"Chorus - 00:00:30"}));
  EXPECT_EQ(stage.Selected(ids::kPractiseStart), 1);
  EXPECT_TRUE(RingOn(ids::kLoop));
  EXPECT_TRUE(RingOn(ids::kPrecount8));
  EXPECT_FALSE(RingOn(ids::kPrecount4));

  ASSERT_TRUE(stage.Click(ids::kPractisePlay));
  stage.Run(200);
  EXPECT_NEAR(stage.host.EditCursor(), 90.0, 1e-6) << "the run starts at the chosen marker";
}

// --- Sound-check page ---

class SoundCheckPage : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    ASSERT_TRUE(stage.Click(ids::kSoundCheckMode));
    tracks = stage.ControlWithText(L"LISTBOX", L"");
    for (HWND candidate = GetWindow(window, GW_CHILD); candidate;
         candidate = GetWindow(candidate, GW_HWNDNEXT)) {
      wchar_t name[32] = {};
      GetClassNameW(candidate, name, 32);
      if (lstrcmpiW(name, L"LISTBOX") == 0 && IsWindowVisible(candidate)) tracks = candidate;
    }
  }
  int CellX(int fromRight) const {
    RECT client;
    GetClientRect(tracks, &client);
    return client.right - fromRight;
  }

  HWND tracks = nullptr;
};

TEST_F(SoundCheckPage, ListsTheTracksAndMutesAndSolosThemFromTheirCells) {
  EXPECT_EQ(stage.Rows(tracks),
            (std::vector<std::wstring>{L"Click", L"Backing", L"Keys", L"Vocals"}));
  EXPECT_EQ(stage.PlacementOf(tracks).top, 245);
  EXPECT_TRUE(stage.Usable(C(ids::kPractisePlay)));
  EXPECT_TRUE(stage.Usable(C(ids::kExitSoundCheck)));
  EXPECT_FALSE(stage.Shown(C(ids::kMarkersList)));
  EXPECT_FALSE(stage.Shown(C(ids::kRateBox)));

  stage.ClickListRow(tracks, 1, CellX(8 + 52));  // the M cell
  EXPECT_TRUE(stage.host.Track(1).mute);
  stage.ClickListRow(tracks, 3, CellX(8 + 16));  // the S cell
  EXPECT_NE(stage.host.Track(3).solo, 0);
  stage.ClickListRow(tracks, 2, CellX(42));  // between the cells
  EXPECT_FALSE(stage.host.Track(2).mute);
  EXPECT_EQ(stage.host.Track(2).solo, 0);

  Capture capture(window);
  const int height = static_cast<int>(SendMessageW(tracks, LB_GETITEMHEIGHT, 0, 0));
  EXPECT_EQ(height, 42);
  // The lit M cell of row 1 (beside its letter), seen through the list's client origin.
  POINT cell{CellX(8 + 68 - 4), height + height / 2};
  MapWindowPoints(tracks, window, &cell, 1);
  EXPECT_TRUE(NearColour(capture.Pixel(cell.x, cell.y), Rgb(180, 40, 40), 30))
      << "a muted track's M cell is red";
  EXPECT_TRUE(capture.SavePng("sound-check-muted"));
}

TEST_F(SoundCheckPage, ATrackMutedInTheHostShowsWithinATick) {
  stage.host.Track(0).mute = true;
  stage.Run(100);
  Capture capture(window);
  POINT cell{CellX(8 + 68 - 4), 21};
  MapWindowPoints(tracks, window, &cell, 1);
  EXPECT_TRUE(NearColour(capture.Pixel(cell.x, cell.y), Rgb(180, 40, 40), 30));
}

TEST_F(SoundCheckPage, ARunLocksTheSectionAndThisPagesExitUntilStop) {
  ASSERT_TRUE(stage.Click(ids::kPractisePlay));
  stage.Run(200);
  EXPECT_EQ(stage.host.Transport(), sim::TransportState::kPlaying);
  EXPECT_TRUE(stage.Usable(C(ids::kPractiseStop)));
  for (int locked :
       {ids::kPractisePlay, ids::kPrecount4, ids::kPrecount8, ids::kLoop, ids::kExitSoundCheck,
        ids::kPractiseSong, ids::kPractiseStart, ids::kPractiseStopPoint}) {
    EXPECT_FALSE(IsWindowEnabled(C(locked))) << locked;
  }
  EXPECT_TRUE(stage.Usable(tracks)) << "the tracks stay at hand during the run";

  ASSERT_TRUE(stage.Click(ids::kPractiseStop));
  stage.Run(100);
  EXPECT_EQ(stage.host.Transport(), sim::TransportState::kStopped);
  EXPECT_TRUE(stage.Usable(C(ids::kPractisePlay)));
  EXPECT_TRUE(stage.Usable(C(ids::kExitSoundCheck)));
}

// --- Options and about pages ---

TEST_F(PageTest, OptionsStartOnAndFollowTheirCheckBoxes) {
  ASSERT_TRUE(stage.Click(ids::kOptions));
  HWND markers = C(ids::kOptionMarkerNames);
  HWND signature = C(ids::kOptionTimeSignature);
  const int w = ClientWidth();
  EXPECT_EQ(stage.PlacementOf(markers), (Placement{43, 105, w - 75, 36}));
  EXPECT_EQ(stage.PlacementOf(signature), (Placement{43, 150, w - 75, 36}));
  EXPECT_EQ(SendMessageW(markers, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(signature, BM_GETCHECK, 0, 0), BST_CHECKED);
  // Link starts off for a single rig (clicking it would join the network: the Link suites, in a
  // namespace of their own, switch it).
  HWND link = C(ids::kOptionLink);
  EXPECT_EQ(stage.PlacementOf(link), (Placement{43, 195, w - 75, 36}));
  EXPECT_EQ(SendMessageW(link, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  {
    Capture capture(window);
    EXPECT_TRUE(NearColour(capture.Pixel(43 + 5, 105 + 2), Rgb(26, 26, 26)))
        << "the check box is painted dark";
  }
  ASSERT_TRUE(stage.Click(markers));
  EXPECT_EQ(SendMessageW(markers, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  ASSERT_TRUE(stage.Click(ids::kExitOptions));
  ASSERT_TRUE(stage.Click(ids::kOptions));
  EXPECT_EQ(SendMessageW(markers, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "kept while loaded";
}

TEST_F(PageTest, TheRigsRoleAndItsMainsAddressAreKeptForTheNextStart) {
  stage.host.SetGlobalExtState("Quorvane", "rigMainAddress", "http://10.0.0.5:8470/?key=abc");
  ASSERT_TRUE(stage.Click(ids::kOptions));
  HWND single = C(ids::kOptionRigSingle);
  HWND backup = C(ids::kOptionRigBackup);
  HWND address = C(ids::kOptionRigMainAddress);
  const auto checked = [](HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; };
  EXPECT_TRUE(checked(single)) << "a rig is single until told otherwise";
  EXPECT_FALSE(IsWindowEnabled(address)) << "only a backup dials a main";
  wchar_t text[128] = {};
  GetWindowTextW(address, text, 128);
  EXPECT_EQ(std::wstring(text), L"http://10.0.0.5:8470/?key=abc");

  ASSERT_TRUE(stage.Click(backup));
  EXPECT_TRUE(checked(backup));
  EXPECT_FALSE(checked(single)) << "one role at a time";
  EXPECT_FALSE(checked(C(ids::kOptionRigMain)));
  EXPECT_TRUE(IsWindowEnabled(address));
  EXPECT_EQ(stage.host.GlobalExtState("Quorvane", "rigRole"), "backup");
  EXPECT_TRUE(stage.host.GlobalExtStatePersists("Quorvane", "rigRole"));

  SetWindowTextW(address, L"http://10.0.0.7:8470/?key=k3y");  // sends EN_CHANGE as typing does
  EXPECT_EQ(stage.host.GlobalExtState("Quorvane", "rigMainAddress"),
            "http://10.0.0.7:8470/?key=k3y");

  ASSERT_TRUE(stage.Click(ids::kOptionRigMain));
  EXPECT_EQ(stage.host.GlobalExtState("Quorvane", "rigRole"), "main");
  EXPECT_FALSE(IsWindowEnabled(address));
  EXPECT_EQ(stage.host.GlobalExtState("Quorvane", "rigMainAddress"),
            "http://10.0.0.7:8470/?key=k3y")
      << "the address is kept for when the rig is a backup again";
}

TEST_F(PageTest, TheAboutTextScrollsWithTheWheelAndStopsAtItsEnds) {
  ASSERT_TRUE(stage.Click(ids::kAbout));
  EXPECT_TRUE(stage.Usable(C(ids::kBackToMenu)));
  EXPECT_TRUE(stage.Usable(C(ids::kDonate)));
  RECT client;
  GetClientRect(window, &client);
  const RECT text{33, 260, client.right - 40, client.bottom - 62};
  Capture top(window);
  EXPECT_TRUE(top.SavePng("about"));

  stage.Wheel(120);  // up at the top: nothing moves
  Capture stillTop(window);
  EXPECT_FALSE(stillTop.DiffersFrom(top, text));

  stage.Wheel(-120);
  Capture scrolled(window);
  EXPECT_TRUE(scrolled.DiffersFrom(top, text));
  for (int i = 0; i < 100; ++i)
    stage.Wheel(-120);
  Capture end(window);
  stage.Wheel(-120);
  Capture pastEnd(window);
  EXPECT_FALSE(pastEnd.DiffersFrom(end, text)) << "no scrolling past the end";
  EXPECT_TRUE(end.SavePng("about-scrolled"));
  for (int i = 0; i < 100; ++i)
    stage.Wheel(120);
  Capture back(window);
  EXPECT_FALSE(back.DiffersFrom(top, text));
}

}  // namespace
}  // namespace quorvane::window_tests
