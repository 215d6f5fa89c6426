// Live control inside a song, through the core on virtual time: a vamp repeats its section until
// released and play runs on without a gap; a jump lands exactly on the bar line the host counts;
// a chain waits for the vamp; every way out gives the host's settings back; the show clock knows.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "show_fixture.h"

namespace quorvane::show {
namespace {

using Json = nlohmann::json;

class LiveSectionsTest : public test::ShowTest {
 protected:
  // 120 bpm 4/4 unless a test sets its own map: 2 s bars. "Song" 0-32: a start section, then
  // Verse at 8, Chorus at 16, Outro at 24. "Next" 40-56.
  void AddSongs() {
    host.AddRegion(1, "Song", 0.0, 32.0);
    host.AddMarker(1, "Verse", 8.0);
    host.AddMarker(2, "Chorus", 16.0);
    host.AddMarker(3, "Outro", 24.0);
    host.AddRegion(2, "Next", 40.0, 56.0);
  }
  void StartShow(const std::vector<int>& regions = {1, 2},
                 const std::vector<int>& autoStarts = {}) {
    UseSetlist(regions, autoStarts);
    ASSERT_TRUE(engine.StartShow());
    Tick();
  }
  // Plays on until the play position has reached `position` (a tick at a time).
  void PlayTo(double position) {
    for (int i = 0; i < 10000 && host.PlayPosition() < position; ++i) {
      host.Advance(33);
      Tick();
    }
  }
  remote::CommandResult Send(const std::string& line) { return core.RunRemoteCommand(line); }
  Json Document() const { return Json::parse(core.StateDocument()); }
};

TEST_F(LiveSectionsTest, TheDocumentListsTheSongsSectionsAndWhichOnePlays) {
  AddSongs();
  EXPECT_TRUE(Document()["sections"].empty());
  EXPECT_EQ(Document()["sectionIndex"], -1);
  StartShow();
  PlayTo(9.0);
  const Json doc = Document();
  ASSERT_EQ(doc["sections"].size(), 4u);
  EXPECT_EQ(doc["sections"][0]["name"], "");
  EXPECT_EQ(doc["sections"][2]["name"], "Chorus");
  EXPECT_EQ(doc["sections"][2]["start"], 16.0);
  EXPECT_EQ(doc["sections"][2]["end"], 24.0);
  EXPECT_EQ(doc["sectionIndex"], 1);
  EXPECT_EQ(doc["vamp"], false);
  EXPECT_EQ(doc["queuedSection"], -1);
  EXPECT_EQ(doc["queuedAt"], 0.0);
  // The new members come last: everything older clients read keeps its place.
  const std::string text = core.StateDocument();
  EXPECT_LT(text.find("\"remote\""), text.find("\"sections\""));
}

TEST_F(LiveSectionsTest, AVampRepeatsThreeTimesAndReleasedPlaysOnWithoutAGap) {
  AddSongs();
  host.SetRepeat(true);  // the user's; the show keeps repeat off while it plays
  StartShow();
  PlayTo(17.0);
  ASSERT_TRUE(Send(R"({"cmd":"LIVE_VAMP","enabled":true})").applied);
  EXPECT_EQ(Document()["vamp"], true);

  int wraps = 0;
  double last = host.PlayPosition();
  for (int tick = 0; tick < 24000 / 40; ++tick) {  // 24 s: three passes of the 8 s chorus
    host.Advance(40);
    Tick();
    const double now = host.PlayPosition();
    if (now < last) ++wraps;
    EXPECT_GE(now, 16.0);
    EXPECT_LT(now, 24.0);
    last = now;
  }
  EXPECT_EQ(wraps, 3);
  EXPECT_EQ(Document()["sectionIndex"], 2);

  ASSERT_TRUE(Send(R"({"cmd":"LIVE_VAMP","enabled":false})").applied);
  const double released = host.PlayPosition();
  for (int tick = 0; tick < 200; ++tick) {  // 8 s on, past the chorus' end
    host.Advance(40);
    Tick();
  }
  EXPECT_NEAR(host.PlayPosition(), released + 8.0, 1e-9);  // not one sample lost or repeated
  EXPECT_EQ(Document()["sectionIndex"], 3);
  EXPECT_EQ(Document()["vamp"], false);
  EXPECT_FALSE(host.RepeatOn());  // still the show's until it stops
  engine.StopLive();
  EXPECT_TRUE(host.RepeatOn());
}

struct BarCase {
  const char* name;
  std::vector<sim::TempoPoint> tempo;
  double bar;  // the first bar line after 9.3 s
};

class JumpOnTheBar : public LiveSectionsTest, public ::testing::WithParamInterface<BarCase> {};

TEST_P(JumpOnTheBar, LandsExactlyOnTheNextBarLine) {
  AddSongs();
  host.SetTempoMap(GetParam().tempo);
  StartShow();
  PlayTo(9.3);
  const double asked = host.PlayPosition();
  ASSERT_TRUE(Send(R"({"cmd":"LIVE_JUMP_SECTION","index":0,"when":1})").applied);
  Json doc = Document();
  EXPECT_EQ(doc["queuedSection"], 0);
  EXPECT_DOUBLE_EQ(doc["queuedAt"].get<double>(), GetParam().bar);

  const double played = GetParam().bar - asked + 0.5;  // half a second past the bar line
  host.Advance(static_cast<int64_t>(played * 1000.0 + 0.5));
  Tick();
  EXPECT_NEAR(host.PlayPosition(), 0.5, 1e-6);  // section 0 from its start, since the bar
  doc = Document();
  EXPECT_EQ(doc["queuedSection"], -1);
  EXPECT_EQ(doc["queuedAt"], 0.0);
  EXPECT_EQ(doc["sectionIndex"], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Meters, JumpOnTheBar,
    ::testing::Values(BarCase{"FourFour", {{0.0, 120.0, 4, 4}}, 10.0},
                      BarCase{"SixEight", {{0.0, 120.0, 6, 8}}, 10.5},
                      BarCase{"AcrossATempoChange", {{0.0, 120.0, 4, 4}, {8.0, 60.0, 4, 4}}, 12.0}),
    [](const ::testing::TestParamInfo<BarCase>& param) { return param.param.name; });

TEST_F(LiveSectionsTest, JumpsAtTheSectionsEndReplacedAndCancelled) {
  AddSongs();
  StartShow();
  PlayTo(17.0);
  // At the end of the chorus, back to the verse.
  ASSERT_TRUE(Send(R"({"cmd":"LIVE_JUMP_SECTION","index":1,"when":2})").applied);
  EXPECT_EQ(Document()["queuedAt"], 24.0);
  PlayTo(22.5);  // the host is asked once the chorus' last bar has begun
  const double from = host.PlayPosition();
  host.Advance(static_cast<int64_t>((24.0 - from + 1.0) * 1000.0 + 0.5));
  Tick();
  EXPECT_NEAR(host.PlayPosition(), 9.0, 1e-6);

  // A second jump replaces the first: the outro, not the chorus.
  PlayTo(11.1);
  ASSERT_TRUE(Send(R"({"cmd":"LIVE_JUMP_SECTION","index":2})").applied);
  ASSERT_TRUE(Send(R"({"cmd":"LIVE_NEXT_SECTION"})").applied);  // the chorus after the verse
  ASSERT_TRUE(Send(R"({"cmd":"LIVE_JUMP_SECTION","index":3,"when":1})").applied);
  EXPECT_EQ(Document()["queuedSection"], 3);
  const double asked = host.PlayPosition();
  host.Advance(static_cast<int64_t>((12.0 - asked + 0.25) * 1000.0 + 0.5));
  Tick();
  EXPECT_NEAR(host.PlayPosition(), 24.25, 1e-6);

  // Cancelled: play goes on as if nothing had been asked for.
  PlayTo(25.1);
  ASSERT_TRUE(Send(R"({"cmd":"LIVE_PREVIOUS_SECTION"})").applied);  // the outro's own start
  ASSERT_TRUE(Send(R"({"cmd":"LIVE_CANCEL_JUMP"})").applied);
  EXPECT_EQ(Document()["queuedSection"], -1);
  const double kept = host.PlayPosition();
  for (int tick = 0; tick < 50; ++tick) {
    host.Advance(40);
    Tick();
  }
  EXPECT_NEAR(host.PlayPosition(), kept + 2.0, 1e-9);
  EXPECT_FALSE(Send(R"({"cmd":"LIVE_CANCEL_JUMP"})").applied);
}

TEST_F(LiveSectionsTest, PreviousWithinASectionsFirstBarGoesToTheSectionBefore) {
  AddSongs();
  StartShow();
  PlayTo(16.5);  // the chorus' first bar
  ASSERT_TRUE(Send(R"({"cmd":"LIVE_PREVIOUS_SECTION"})").applied);
  EXPECT_EQ(Document()["queuedSection"], 1);
  PlayTo(20.5);  // later in the verse it lands in: its own start
  ASSERT_TRUE(Send(R"({"cmd":"LIVE_PREVIOUS_SECTION"})").applied);
  EXPECT_EQ(Document()["queuedSection"], Document()["sectionIndex"]);
}

TEST_F(LiveSectionsTest, AChainWaitsForTheVampOnTheLastSection) {
  AddSongs();
  StartShow({1, 2}, {1});
  PlayTo(25.0);
  ASSERT_TRUE(Send(R"({"cmd":"LIVE_VAMP","enabled":true})").applied);
  RunFor(20000);
  EXPECT_EQ(setlist.CurrentIndex(), 0);
  EXPECT_GE(host.PlayPosition(), 24.0);
  EXPECT_LT(host.PlayPosition(), 32.0);
  EXPECT_TRUE(engine.Player().Playing());

  ASSERT_TRUE(Send(R"({"cmd":"LIVE_VAMP","enabled":false})").applied);
  RunFor(10000);
  EXPECT_EQ(setlist.CurrentIndex(), 1);
  EXPECT_GE(host.PlayPosition(), 40.0);
  EXPECT_TRUE(engine.Player().Playing());
}

TEST_F(LiveSectionsTest, RefusedWithAReasonAndNothingChanged) {
  AddSongs();
  remote::CommandResult result = Send(R"({"cmd":"LIVE_VAMP","enabled":true})");
  EXPECT_FALSE(result.applied);
  EXPECT_EQ(result.refusal, "Nothing is playing.");

  StartShow({1, 2}, {1});
  PlayTo(9.0);
  result = Send(R"({"cmd":"LIVE_JUMP_SECTION","index":4})");
  EXPECT_EQ(result.refusal, "There is no such section.");
  result = Send(R"({"cmd":"LIVE_JUMP_SECTION","index":1,"when":7})");
  EXPECT_FALSE(result.applied);
  EXPECT_EQ(Document()["queuedSection"], -1);

  PlayTo(31.0);  // the last bar: the next song is cued
  ASSERT_TRUE(engine.Player().ChainArmed());
  result = Send(R"({"cmd":"LIVE_PREVIOUS_SECTION"})");
  EXPECT_EQ(result.refusal, "Not while the next song is cued.");
  RunFor(2000);
  EXPECT_EQ(setlist.CurrentIndex(), 1);  // the chain went on as if nothing had been asked
}

TEST_F(LiveSectionsTest, AThirtySecondVampAddsThirtySecondsToTheDelay) {
  host.AddRegion(3, "Long", 100.0, 160.0);
  host.AddMarker(1, "Bridge", 106.0);
  host.AddMarker(2, "Solo", 112.0);  // the bridge: 6 s, three bars
  StartShow({3});
  ASSERT_TRUE(engine.SetShowDuration(10.0));
  PlayTo(107.0);
  Tick();
  const double before = engine.Snapshot().delay;
  const double at = host.PlayPosition();
  ASSERT_TRUE(Send(R"({"cmd":"LIVE_VAMP","enabled":true})").applied);
  RunFor(30000, 40);  // five passes, back where it began
  EXPECT_NEAR(host.PlayPosition(), at, 1e-6);
  EXPECT_NEAR(engine.Snapshot().delay - before, 30.0, 0.05);
}

// Every way out of a vamp or a queued jump gives the user's settings back.
enum class Exit { kStop, kEndShow, kProjectChange, kUnload };
struct WayOut {
  const char* name;
  bool vamp;  // a vamp (repeat, time selection) or a queued jump (smooth seek)
  Exit exit;
};

class LeavingLiveControl : public LiveSectionsTest, public ::testing::WithParamInterface<WayOut> {
 protected:
  void Leave() {
    switch (GetParam().exit) {
      case Exit::kStop:
        Send(R"({"cmd":"LIVE_STOP"})");
        break;
      case Exit::kEndShow:
        Send(R"({"cmd":"LIVE_END_SHOW"})");
        break;
      case Exit::kProjectChange:
        host.SelectProject(host.AddProject("/shows/other.rpp"));
        Tick();
        break;
      case Exit::kUnload:
        core.Shutdown();
        break;
    }
  }
};

TEST_P(LeavingLiveControl, GivesEveryHostSettingBack) {
  AddSongs();
  host.SetRepeat(true);
  host.SetConfigVar("smoothseek", 4);
  host.Project().selectionStart = 2.0;
  host.Project().selectionEnd = 5.0;
  StartShow();
  PlayTo(17.0);
  if (GetParam().vamp) {
    ASSERT_TRUE(Send(R"({"cmd":"LIVE_VAMP","enabled":true})").applied);
    ASSERT_EQ(host.Project().selectionStart, 16.0);
  } else {
    ASSERT_TRUE(Send(R"({"cmd":"LIVE_JUMP_SECTION","index":0,"when":1})").applied);
    ASSERT_NE(host.ConfigVar("smoothseek"), 4);
  }
  const int project = host.CurrentProjectIndex();
  Leave();
  EXPECT_TRUE(host.RepeatOn());
  EXPECT_EQ(host.ConfigVar("smoothseek"), 4);
  if (host.CurrentProjectIndex() == project) {
    EXPECT_EQ(host.Project().selectionStart, 2.0);
    EXPECT_EQ(host.Project().selectionEnd, 5.0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryWayOut, LeavingLiveControl,
    ::testing::Values(WayOut{"StopDuringAVamp", true, Exit::kStop},
                      WayOut{"EndShowDuringAVamp", true, Exit::kEndShow},
                      WayOut{"ProjectChangeDuringAVamp", true, Exit::kProjectChange},
                      WayOut{"UnloadDuringAVamp", true, Exit::kUnload},
                      WayOut{"StopWithAJumpQueued", false, Exit::kStop},
                      WayOut{"ProjectChangeWithAJumpQueued", false, Exit::kProjectChange},
                      WayOut{"UnloadWithAJumpQueued", false, Exit::kUnload}),
    [](const ::testing::TestParamInfo<WayOut>& param) { return param.param.name; });

}  // namespace
}  // namespace quorvane::show
