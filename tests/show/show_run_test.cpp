// Whole shows in the host simulator: songs chained at the bar line, stops before pauses, the end
// of the show, interruptions, the show clock and a change of project.
#include <gtest/gtest.h>

#include <string>

#include "show_fixture.h"

namespace quorvane::show {
namespace {

using show::LiveTransport;
using show::ShowStatus;
using sim::TempoPoint;
using sim::TransportState;

class ShowRun : public test::ShowTest {
 protected:
  // Where playback stood when the host was told something, measured from the first play.
  double PositionAt(const sim::HostCall& call) const {
    return static_cast<double>(call.atMs - host.CallsTo("OnPlayButton").front().atMs) / 1000.0;
  }
  std::set<int32_t> Played() const { return engine.Played().Indexes(); }
};

struct BarLineCase {
  const char* name;
  std::vector<TempoPoint> tempoMap;
  double songEnd;  // song 1 runs from 0 to here, on a bar line
  double lastBar;  // where its last bar starts
};
void PrintTo(const BarLineCase& c, std::ostream* out) {
  *out << c.name;
}

class ChainAtBarLine : public ShowRun, public ::testing::WithParamInterface<BarLineCase> {};

// The next song is sought during the last bar, so that the host's smooth seek carries playback
// into it at the bar line: no stop, no gap.
TEST_P(ChainAtBarLine, AutoStartSongTakesOverAtTheBarLine) {
  const BarLineCase& c = GetParam();
  host.SetTempoMap(c.tempoMap);
  host.SetConfigVar("smoothseek", 4);
  host.AddRegion(1, "Opener", 0.0, c.songEnd);
  host.AddRegion(2, "Segue", 40.0, 50.0);
  UseSetlist({1, 2}, {1});
  ASSERT_TRUE(engine.StartShow());

  RunFor(static_cast<int64_t>((c.songEnd + 0.5) * 1000.0));
  const std::vector<sim::HostCall> seeks = SeekPlayCalls();
  ASSERT_EQ(seeks.size(), 1u);
  EXPECT_EQ(seeks[0].time, 40.0);
  EXPECT_FALSE(seeks[0].moveView);
  EXPECT_GE(PositionAt(seeks[0]), c.lastBar);
  EXPECT_LT(PositionAt(seeks[0]), c.lastBar + 0.1);

  EXPECT_EQ(host.CountCalls("OnStopButton"), 0);
  EXPECT_EQ(host.CountCalls("OnPlayButton"), 1);
  EXPECT_EQ(host.Transport(), TransportState::kPlaying);
  EXPECT_NEAR(host.PlayPosition(), 40.5, 0.05);
  EXPECT_EQ(setlist.CurrentIndex(), 1);
  EXPECT_EQ(Played(), std::set<int32_t>{0});
  EXPECT_EQ(engine.LiveTransportChoice(), LiveTransport::kNext);
  EXPECT_EQ(host.ConfigVar("smoothseek"), 4);  // the user's setting is back
  EXPECT_EQ(Key("show_current"), "1");         // the moved current item is stored
  EXPECT_EQ(engine.Snapshot().regionStart, 40.0);
}

INSTANTIATE_TEST_SUITE_P(
    TempoMaps, ChainAtBarLine,
    ::testing::Values(BarLineCase{"FourFour", {TempoPoint{0.0, 120.0, 4, 4}}, 8.0, 6.0},
                      BarLineCase{"SixEight", {TempoPoint{0.0, 120.0, 6, 8}}, 9.0, 7.5},
                      // 4/4 at 120 up to 4 s, then 3/4 at 60: bars at 4, 7, 10, 13.
                      BarLineCase{"TempoAndMeterChange",
                                  {TempoPoint{0.0, 120.0, 4, 4}, TempoPoint{4.0, 60.0, 3, 4}},
                                  13.0,
                                  10.0}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(ShowRun, WithoutTheTimeMapTheHostPlaysOnIntoTheNextSong) {
  host.RemoveFunction("TimeMap2_timeToBeats");
  ASSERT_TRUE(api.Bind(host.Info()->GetFunc));
  host.AddRegion(1, "Opener", 0.0, 8.0);
  host.AddRegion(2, "Segue", 8.0, 14.0);
  UseSetlist({1, 2}, {1});
  ASSERT_TRUE(engine.StartShow());

  RunFor(8100);
  EXPECT_TRUE(SeekPlayCalls().empty());
  EXPECT_EQ(host.CountCalls("OnStopButton"), 0);
  EXPECT_EQ(setlist.CurrentIndex(), 1);
  EXPECT_EQ(Played(), std::set<int32_t>{0});
  EXPECT_TRUE(engine.Player().Playing());
  EXPECT_EQ(engine.Record().status, ShowStatus::kLive);
}

// Auto-start songs follow the same way in a run-through and in an encore after the show: only
// the show's own bookkeeping waits for a LIVE show.
class ChainWithoutAShow : public ShowRun, public ::testing::WithParamInterface<bool> {};

TEST_P(ChainWithoutAShow, EveryAutoStartSongFollowsAndTheLastOneStops) {
  const bool afterTheShow = GetParam();
  host.SetConfigVar("smoothseek", 4);
  host.AddRegion(1, "Opener", 0.0, 8.0);
  host.AddRegion(2, "Segue", 20.0, 28.0);
  host.AddRegion(3, "Coda", 40.0, 48.0);
  UseSetlist({1, 2, 3}, {1, 2});
  if (afterTheShow) {
    ASSERT_TRUE(engine.StartShow());
    ASSERT_TRUE(engine.EndShow());
    ASSERT_TRUE(setlist.MakeCurrent(0));
    host.ClearCalls();
  }
  ASSERT_TRUE(engine.PlayCurrent());

  RunFor(16500);  // the Opener and the Segue have ended
  EXPECT_EQ(host.CountCalls("OnStopButton"), 0);
  EXPECT_EQ(host.Transport(), TransportState::kPlaying);
  EXPECT_NEAR(host.PlayPosition(), 40.5, 0.05);
  EXPECT_EQ(setlist.CurrentIndex(), 2);
  EXPECT_EQ(SeekPlayCalls().size(), 2u);
  EXPECT_EQ(host.ConfigVar("smoothseek"), 4);

  RunFor(8000);  // the Coda ends: nothing follows it
  EXPECT_EQ(host.CountCalls("OnStopButton"), 1);
  EXPECT_EQ(host.Transport(), TransportState::kStopped);
  EXPECT_FALSE(ui.snapshot.playing);
  EXPECT_TRUE(Played().empty());  // marks belong to a show
  EXPECT_EQ(engine.LiveTransportChoice(), LiveTransport::kNext);
}

INSTANTIATE_TEST_SUITE_P(RunThroughAndEncore, ChainWithoutAShow, ::testing::Bool(),
                         [](const auto& param) {
                           return std::string(param.param ? "AfterEndShow" : "NoShow");
                         });

TEST_F(ShowRun, AHostStoppedOutsideAShowEndsThePlayersRun) {
  host.SetRepeat(true);
  host.AddRegion(1, "Opener", 0.0, 8.0);
  host.AddRegion(2, "Second", 10.0, 16.0);
  UseSetlist({1, 2});
  ASSERT_TRUE(engine.PlayCurrent());
  RunFor(2000);
  ASSERT_TRUE(ui.snapshot.playing);

  host.UserStop();
  RunFor(1000);
  EXPECT_FALSE(ui.snapshot.playing);
  EXPECT_TRUE(host.RepeatOn());  // the user's repeat is back
  EXPECT_EQ(engine.LiveTransportChoice(),
            LiveTransport::kNext);  // nothing to replay outside a show
  EXPECT_TRUE(Played().empty());
  EXPECT_TRUE(engine.SelectSong(1).applied);
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_EQ(host.EditCursor(), 10.0);
}

TEST_F(ShowRun, PlayNextDuringAPreRollGivesBackSmoothSeekAndForgetsTheChain) {
  host.SetConfigVar("smoothseek", 4);
  host.AddRegion(1, "Opener", 0.0, 8.0);
  host.AddRegion(2, "Segue", 20.0, 28.0);
  host.AddRegion(3, "Closer", 40.0, 48.0);
  UseSetlist({1, 2, 3}, {1});
  ASSERT_TRUE(engine.StartShow());
  RunFor(6500);  // into the last bar: the Segue is pre-rolled
  ASSERT_EQ(host.ConfigVar("smoothseek"), 7);
  ASSERT_TRUE(engine.Player().ChainArmed());

  ASSERT_TRUE(engine.PlayNext());
  EXPECT_EQ(host.ConfigVar("smoothseek"), 4);
  RunFor(1000);
  EXPECT_EQ(setlist.CurrentIndex(), 1);
  EXPECT_NEAR(host.PlayPosition(), 21.0, 0.05);
  EXPECT_TRUE(Played().empty());  // the Opener was cut short, not finished

  RunFor(7500);  // the Segue ends; the Closer does not start by itself
  EXPECT_EQ(host.Transport(), TransportState::kStopped);
  EXPECT_EQ(Played(), std::set<int32_t>{1});
  EXPECT_EQ(host.ConfigVar("smoothseek"), 4);
}

// Played marks follow their songs through the setup page's edits during a show.
TEST_F(ShowRun, PlayedMarksFollowTheirSongsWhenTheSetlistIsEdited) {
  host.AddRegion(1, "Opener", 0.0, 4.0);
  host.AddRegion(2, "Second", 10.0, 16.0);
  host.AddRegion(3, "Third", 20.0, 26.0);
  UseSetlist({1, 2, 3});
  ASSERT_TRUE(engine.StartShow());
  RunFor(4100);
  ASSERT_EQ(Played(), std::set<int32_t>{0});

  ASSERT_TRUE(setlist.MoveItemDown(0));  // [Second, Opener, Third]
  EXPECT_EQ(Played(), std::set<int32_t>{1});
  EXPECT_FALSE(engine.Played().IsPlayed(0));
  EXPECT_TRUE(engine.Played().IsPlayed(1));
  ASSERT_TRUE(setlist.RemoveItem(0));  // [Opener, Third]
  EXPECT_EQ(Played(), std::set<int32_t>{0});
  ASSERT_TRUE(setlist.AddPause());
  ASSERT_TRUE(setlist.MoveItemUp(2));  // [Opener, pause, Third]
  EXPECT_EQ(Played(), std::set<int32_t>{0});
  ASSERT_TRUE(setlist.RemoveItem(0));  // [pause, Third]: the played song is gone
  EXPECT_TRUE(Played().empty());
}

TEST_F(ShowRun, SongBeforeAPauseStopsAndThePauseBecomesCurrent) {
  host.AddRegion(1, "Opener", 0.0, 8.0);
  host.AddRegion(2, "After the break", 20.0, 28.0);
  UseSetlist({1, 0, 2});
  ASSERT_TRUE(engine.StartShow());

  RunFor(8100);
  EXPECT_TRUE(SeekPlayCalls().empty());  // nothing is pre-rolled across a pause
  EXPECT_EQ(host.CountCalls("OnStopButton"), 1);
  EXPECT_EQ(host.Transport(), TransportState::kStopped);
  EXPECT_EQ(setlist.CurrentIndex(), 1);
  EXPECT_EQ(Played(), std::set<int32_t>{0});
  EXPECT_EQ(engine.LiveTransportChoice(), LiveTransport::kNext);
  EXPECT_EQ(Key("show_current"), "1");
  EXPECT_EQ(Key("show_song"), "0");  // a pause
  EXPECT_EQ(Key("show_played"), "1");

  RunFor(5000);  // the show waits on the pause
  EXPECT_EQ(host.CountCalls("OnPlayButton"), 1);
  EXPECT_TRUE(engine.PlayNext());
  EXPECT_EQ(setlist.CurrentIndex(), 2);
  EXPECT_EQ(host.EditCursor(), 20.0);
  EXPECT_EQ(host.Transport(), TransportState::kPlaying);
}

TEST_F(ShowRun, SongWithoutAutoStartSuccessorWaitsOnTheFinishedSong) {
  host.AddRegion(1, "Opener", 0.0, 8.0);
  host.AddRegion(2, "Second", 8.0, 16.0);
  UseSetlist({1, 2});
  ASSERT_TRUE(engine.StartShow());
  RunFor(8100);
  EXPECT_EQ(host.Transport(), TransportState::kStopped);
  EXPECT_EQ(setlist.CurrentIndex(), 0);
  EXPECT_EQ(Played(), std::set<int32_t>{0});
  EXPECT_TRUE(engine.PlayNext());
  EXPECT_EQ(setlist.CurrentIndex(), 1);
}

TEST_F(ShowRun, LastSongEndsTheShow) {
  host.AddRegion(1, "Finale", 0.0, 4.0);
  UseSetlist({0, 1});
  ui.page = ui::UiPage::kLive;
  ASSERT_TRUE(engine.StartShow());
  EXPECT_EQ(engine.Record().showCurrentIndex, 1);  // the leading pause is skipped
  EXPECT_EQ(Key("show_status"), "LIVE");
  // The calendar's time, which the next run of the host reads too.
  const int64_t startedAt = host.WallClockMs();
  EXPECT_EQ(Key("show_start"), std::to_string(startedAt));

  RunFor(4100);
  EXPECT_EQ(engine.Record().status, ShowStatus::kFinished);
  EXPECT_EQ(host.Transport(), TransportState::kStopped);
  EXPECT_EQ(Played(), std::set<int32_t>{1});
  EXPECT_NEAR(static_cast<double>(engine.Record().finishMs - engine.Record().startMs), 4000.0,
              40.0);
  EXPECT_EQ(Key("show_status"), "FINISHED");
  EXPECT_NEAR(std::stod(Key("show_finish")) - static_cast<double>(startedAt), 4000.0, 40.0);
  EXPECT_EQ(Key("show_played"), "");  // a restart after the end starts fresh
  EXPECT_EQ(Key("show_current"), "1");
  EXPECT_EQ(ui.page, ui::UiPage::kFinished);
  EXPECT_EQ(ui.snapshot.status, ShowStatus::kFinished);
}

TEST_F(ShowRun, FailedStartLeavesTheShowPrepared) {
  UseSetlist({9});  // its region is not in the project
  EXPECT_FALSE(engine.StartShow());
  EXPECT_EQ(engine.Record().status, ShowStatus::kPrepared);
  EXPECT_EQ(host.CountCalls("OnPlayButton"), 0);
}

class Interruption : public ShowRun {
 protected:
  void SetUp() override {
    ShowRun::SetUp();
    host.AddRegion(1, "Opener", 2.0, 12.0);
    host.AddRegion(2, "Second", 12.0, 20.0);
    UseSetlist({1, 2}, {1});
    ASSERT_TRUE(engine.StartShow());
    RunFor(3000);
  }
  void ExpectReadyToReplay() {
    EXPECT_FALSE(engine.Player().Playing());
    EXPECT_EQ(engine.Record().status, ShowStatus::kLive);
    EXPECT_EQ(engine.LiveTransportChoice(), LiveTransport::kReplay);
    EXPECT_TRUE(Played().empty());
    EXPECT_EQ(setlist.CurrentIndex(), 0);

    host.ClearCalls();
    EXPECT_TRUE(engine.PlayCurrent());
    ASSERT_EQ(host.CountCalls("SetEditCurPos"), 1);
    EXPECT_EQ(host.CallsTo("SetEditCurPos")[0].time, 2.0);
    EXPECT_EQ(host.Transport(), TransportState::kPlaying);
    EXPECT_EQ(host.PlayPosition(), 2.0);
  }
};

TEST_F(Interruption, UserStopInTheHost) {
  host.UserStop();
  RunFor(1000);
  EXPECT_EQ(host.CountCalls("OnStopButton"), 1);
  ExpectReadyToReplay();
}

TEST_F(Interruption, PlayPositionStandingStillFor700Milliseconds) {
  host.UserPause();
  RunFor(660);
  EXPECT_TRUE(engine.Player().Playing());
  RunFor(66);
  ExpectReadyToReplay();
}

// A remote command starts the show inside a tick, before the host has moved: the time the
// transport stood still before the start is not a stall.
TEST_F(ShowRun, SongStartedWithinATickIsNotMistakenForAStall) {
  host.AddRegion(1, "Opener", 0.0, 8.0);
  UseSetlist({1});
  RunFor(2000);
  ASSERT_TRUE(engine.StartShow());
  Tick();
  RunFor(500);
  EXPECT_TRUE(engine.Player().Playing());
  EXPECT_EQ(host.CountCalls("OnStopButton"), 0);
}

TEST_F(ShowRun, ShowClockCountsTheMusicStillToPlay) {
  host.AddRegion(1, "Long set", 0.0, 4200.0);
  UseSetlist({1, 0, 9});  // a pause and a song whose region is gone add nothing
  ASSERT_TRUE(engine.SetShowDuration(3600.0));
  ASSERT_TRUE(engine.StartShow());
  host.Advance(20 * 60 * 1000);
  Tick();
  const show::ShowSnapshot& shown = ui.snapshot;
  EXPECT_NEAR(shown.elapsed, 1200.0, 0.01);
  EXPECT_NEAR(shown.showRemaining, 2400.0, 0.01);
  EXPECT_NEAR(shown.playbackRemaining, 3000.0, 0.05);
  EXPECT_TRUE(shown.hasDelay);
  EXPECT_NEAR(shown.delay, 600.0, 0.05);
  EXPECT_NEAR(shown.position, 1200.0, 0.05);

  ASSERT_TRUE(engine.EndShow());  // the clock stops with the show
  Tick();
  EXPECT_NEAR(ui.snapshot.elapsed, 1200.0, 0.01);
  EXPECT_EQ(ui.snapshot.playbackRemaining, 0.0);
  EXPECT_FALSE(ui.snapshot.hasDelay);
}

TEST_F(ShowRun, ProjectChangeMidShowGivesEverythingBack) {
  test::FakeWindow window;
  ui.window = &window;
  host.SetRepeat(true);
  host.SetConfigVar("smoothseek", 4);
  host.AddRegion(1, "Opener", 0.0, 8.0);
  host.AddRegion(2, "Segue", 20.0, 28.0);
  UseSetlist({1, 2}, {1});
  ASSERT_TRUE(engine.StartShow());
  EXPECT_FALSE(host.RepeatOn());
  RunFor(6500);  // into the last bar: the next song is pre-rolled
  ASSERT_EQ(host.ConfigVar("smoothseek"), 7);
  ASSERT_TRUE(practise.SetPractiseRate(0.8));

  const int other = host.AddProject("/shows/second.rpp");
  host.SelectProject(other);
  host.AddRegion(5, "Elsewhere", 0.0, 30.0);
  host.SetExtState("Quorvane", "Setlist.Count", "1");
  host.SetExtState("Quorvane", "Setlist.Item.0.RegionID", "5");
  engine.ResetForProjectChange();

  EXPECT_EQ(host.Transport(), TransportState::kStopped);
  EXPECT_TRUE(host.RepeatOn());
  EXPECT_EQ(host.ConfigVar("smoothseek"), 4);
  EXPECT_EQ(host.ConfigVar("audioprshift"), 0);
  EXPECT_EQ(engine.Record().status, ShowStatus::kPrepared);
  EXPECT_EQ(Key("show_status"), "");  // nothing of the show left is written into the new project
  EXPECT_TRUE(Played().empty());
  EXPECT_EQ(engine.LiveTransportChoice(), LiveTransport::kNext);
  EXPECT_EQ(window.autoStartResets, 1);
  EXPECT_TRUE(setlist.Empty());

  engine.InitShowEngine("/shows/second.rpp");
  EXPECT_EQ(Key("show_status"), "PREPARED");
  EXPECT_EQ(setlist.Items(), std::vector{SetlistItem::Song(5)});
  EXPECT_EQ(window.setlistRebuilds, 1);
  RunFor(1000);
  EXPECT_EQ(host.Transport(), TransportState::kStopped);
}

TEST_F(ShowRun, SelectionIsRefusedDuringPlaybackWithItsReason) {
  host.AddRegion(1, "Opener", 0.0, 8.0);
  host.AddRegion(2, "Second", 10.0, 16.0);
  UseSetlist({1, 0, 2, 9});
  ASSERT_TRUE(engine.StartShow());

  // The model opens no box: each surface answers in its own way.
  const host::Outcome playing = core.Operations().SelectItem(2);
  EXPECT_FALSE(playing.applied);
  EXPECT_EQ(playing.reason, "Cannot select another song during playback.");
  EXPECT_FALSE(playing.failure);
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_EQ(setlist.CurrentIndex(), 0);

  engine.StopLive();
  EXPECT_TRUE(engine.SelectSong(1).applied);
  EXPECT_EQ(engine.LiveTransportChoice(), LiveTransport::kNext);
  EXPECT_TRUE(engine.SelectSong(2).applied);
  EXPECT_EQ(engine.LiveTransportChoice(), LiveTransport::kSelected);
  EXPECT_EQ(host.EditCursor(), 10.0);

  const host::Outcome gone = engine.SelectSong(3);  // region 9 is gone
  EXPECT_FALSE(gone.applied);
  EXPECT_EQ(gone.reason, "Could not select this song.");
  EXPECT_TRUE(gone.failure);
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_EQ(setlist.CurrentIndex(), 2);
}

}  // namespace
}  // namespace quorvane::show
