// Practise runs against the simulated host: what the transport, the time selection, the repeat
// toggle, the host's count-in and pre-roll settings and the play rate do before, during and after
// a run, on virtual time.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <vector>

#include "practise/count_in_player.h"
#include "practise/practise_session.h"
#include "sim/sim_host.h"
#include "temp_folder.h"

namespace quorvane::practise {
namespace {

using sim::TransportState;

// The views of the practise controls as far as the session tells them.
class RecordingWindow : public PractiseListener {
 public:
  std::set<int32_t> startEntries{-2, 0, 1};
  std::set<int32_t> stopEntries{-1, 0, 1};
  int listRefreshes = 0;
  int rateIndex = -1;
  int precountToggles = -1;
  int loopToggle = -1;

  void SongSelected() override { ++listRefreshes; }
  bool StartChoiceSelected(int32_t choice) override { return startEntries.count(choice); }
  bool StopChoiceSelected(int32_t choice) override { return stopEntries.count(choice); }
  void RateSelected(int index) override { rateIndex = index; }
  void PrecountChanged(int32_t beats) override { precountToggles = beats; }
  void LoopChanged(bool on) override { loopToggle = on ? 1 : 0; }
};

class PractiseTest : public ::testing::Test {
 protected:
  // Song 1 from 10 s to 70 s with markers at 20 s and 40 s; song 2 from 80 s to 120 s; 120 BPM.
  PractiseTest() {
    host_.AddRegion(1, "First song", 10.0, 70.0);
    host_.AddMarker(1, "Verse", 20.0);
    host_.AddMarker(2, "Chorus", 40.0);
    host_.AddRegion(2, "Second song", 80.0, 120.0);
    host_.SetConfigVar("projmetroen", 9);
    host_.SetConfigVar("preroll", 3);
  }
  ~PractiseTest() override {
    session_.reset();
    countIn_.reset();  // before the host goes
  }

  // Binds the host as it is configured at this moment.
  PractiseSession& Session() {
    if (!session_) {
      api_.Bind(host_.Info()->GetFunc);
      countIn_ = std::make_unique<CountInPlayer>(PreviewFunctionsOf(api_));
      session_ = std::make_unique<PractiseSession>(api_, held_, clock_, countIn_.get());
    }
    return *session_;
  }

  void Select(int32_t song, int32_t start, int32_t stop, int32_t precount, bool loop) {
    Session().Selection().songRegionId = song;
    Session().Selection().startChoice = start;
    Session().Selection().stopChoice = stop;
    Session().Selection().preCountBeats = precount;
    Session().Selection().loopEnabled = loop;
    Session().OnLoopToggled();
  }

  // Virtual time with the timer tick's practise step every 33 ms.
  void RunTicks(int64_t ms) {
    for (int64_t done = 0; done < ms; done += 33) {
      host_.Advance(std::min<int64_t>(33, ms - done));
      Session().PractiseTick();
    }
  }

  void ExpectHostSettingsAsBefore(bool repeat) {
    EXPECT_EQ(host_.ConfigVar("projmetroen"), 9);
    EXPECT_EQ(host_.ConfigVar("preroll"), 3);
    EXPECT_EQ(host_.RepeatOn(), repeat);
  }

  testing::ScopedTempFolder folder_;
  sim::Host host_;
  host::HostApi api_;
  host::HeldSettings held_{api_};
  platform::Clock clock_{host_.ClockSource()};
  std::unique_ptr<CountInPlayer> countIn_;
  std::unique_ptr<PractiseSession> session_;
};

struct CountInCase {
  int rateIndex;
  uint64_t countInMs;
};

void PrintTo(const CountInCase& c, std::ostream* os) {
  *os << "rate index " << c.rateIndex << ", " << c.countInMs << " ms";
}

class CountInDeadlineTest : public PractiseTest,
                            public ::testing::WithParamInterface<CountInCase> {};

TEST_P(CountInDeadlineTest, TransportStartsOnlyAtTheDeadline) {
  Select(1, -2, -1, 8, false);
  Session().SelectPractiseRateIndex(GetParam().rateIndex);
  const uint64_t started = host_.NowMs();
  Session().StartPractise();

  ASSERT_TRUE(Session().Run().countingIn);
  EXPECT_EQ(Session().Run().countInDeadline, started + GetParam().countInMs);
  EXPECT_EQ(host_.PlayingPreviews(), 1);
  EXPECT_EQ(host_.EditCursor(), 10.0);
  EXPECT_EQ(host_.ConfigVar("projmetroen"), 1);
  EXPECT_EQ(host_.ConfigVar("preroll"), 2);

  RunTicks(static_cast<int64_t>(GetParam().countInMs) - 1);
  EXPECT_EQ(host_.CountCalls("OnPlayButton"), 0);
  EXPECT_EQ(host_.Transport(), TransportState::kStopped);

  host_.Advance(1);
  Session().PractiseTick();
  EXPECT_EQ(host_.CountCalls("OnPlayButton"), 1);
  EXPECT_EQ(host_.Transport(), TransportState::kPlaying);
  // The host's own count-in and pre-roll are off: playback begins at the section start.
  EXPECT_EQ(host_.PlayPosition(), 10.0);
  EXPECT_EQ(host_.PlayingPreviews(), 0);
  EXPECT_EQ(folder_.ClickFiles().size(), 1u);
  EXPECT_TRUE(Session().Run().playing);
  EXPECT_FALSE(Session().Run().countingIn);
}

INSTANTIATE_TEST_SUITE_P(Rates, CountInDeadlineTest,
                         ::testing::Values(CountInCase{10, 4000}, CountInCase{0, 8000}));

TEST_F(PractiseTest, RunWithoutLoopStopsAtTheStopPointAndGivesTheSettingsBack) {
  host_.SetRepeat(true);
  Select(1, 0, 1, 0, false);  // 20 s to 40 s
  Session().StartPractise();
  EXPECT_EQ(host_.Transport(), TransportState::kPlaying);
  EXPECT_EQ(host_.PlayPosition(), 20.0);
  EXPECT_FALSE(host_.RepeatOn());
  EXPECT_EQ(host_.ConfigVar("projmetroen"), 1);
  EXPECT_EQ(host_.ConfigVar("preroll"), 2);

  RunTicks(19900);
  EXPECT_EQ(host_.Transport(), TransportState::kPlaying);
  RunTicks(200);
  EXPECT_EQ(host_.Transport(), TransportState::kStopped);
  EXPECT_EQ(host_.CountCalls("OnStopButton"), 1);
  EXPECT_FALSE(Session().Run().active);
  ExpectHostSettingsAsBefore(true);
}

// A script may move a song without an undo point, so the host's change count stays: the run
// still starts and ends where the song is now.
TEST_F(PractiseTest, ASongMovedWithoutTheChangeCountIsPractisedWhereItIsNow) {
  ASSERT_TRUE(Session().SelectPractiseSong(1));  // the regions as they were are kept
  ASSERT_TRUE(host_.MoveRegionSilently(1, 110.0, 170.0));
  Select(1, -2, -1, 0, false);
  Session().StartPractise();
  EXPECT_EQ(host_.PlayPosition(), 110.0);
  EXPECT_EQ(Session().Run().sectionEnd, 170.0);

  RunTicks(59900);
  EXPECT_EQ(host_.Transport(), TransportState::kPlaying);
  RunTicks(200);
  EXPECT_EQ(host_.Transport(), TransportState::kStopped);
  EXPECT_FALSE(Session().Run().active);

  // Moved again while the count-in clicks: playback begins where the song is when it ends.
  Select(1, -2, -1, 4, false);
  Session().StartPractise();
  ASSERT_TRUE(Session().Run().countingIn);
  EXPECT_EQ(host_.EditCursor(), 110.0);
  ASSERT_TRUE(host_.MoveRegionSilently(1, 210.0, 270.0));
  RunTicks(2100);
  EXPECT_EQ(host_.Transport(), TransportState::kPlaying);
  EXPECT_NEAR(host_.PlayPosition(), 210.0, 0.1);
  EXPECT_EQ(Session().Run().sectionEnd, 270.0);
  Session().StopPractise();
}

TEST_F(PractiseTest, LoopRepeatsTheSectionUntilStop) {
  host_.Project().selectionStart = 2.0;  // the user's own selection
  host_.Project().selectionEnd = 5.0;
  Select(1, 0, 1, 0, true);
  Session().StartPractise();
  EXPECT_EQ(host_.Project().selectionStart, 20.0);
  EXPECT_EQ(host_.Project().selectionEnd, 40.0);
  EXPECT_TRUE(host_.RepeatOn());

  RunTicks(50000);  // two and a half times round
  EXPECT_EQ(host_.Transport(), TransportState::kPlaying);
  EXPECT_GE(host_.PlayPosition(), 20.0);
  EXPECT_LT(host_.PlayPosition(), 40.0);
  EXPECT_EQ(host_.CountCalls("OnStopButton"), 0);

  Session().StopPractise();
  EXPECT_EQ(host_.Transport(), TransportState::kStopped);
  ExpectHostSettingsAsBefore(false);
  EXPECT_EQ(host_.Project().selectionStart, 2.0);
  EXPECT_EQ(host_.Project().selectionEnd, 5.0);
}

struct FailedStart {
  const char* name;
  std::function<void(sim::Host&, testing::ScopedTempFolder&)> breakHost;
  int32_t precount;
  bool loop;
  bool repeatBefore;
};

void PrintTo(const FailedStart& c, std::ostream* os) {
  *os << c.name;
}

class FailedStartTest : public PractiseTest, public ::testing::WithParamInterface<FailedStart> {};

TEST_P(FailedStartTest, NothingPlaysAndEverySettingComesBack) {
  const FailedStart& c = GetParam();
  host_.SetRepeat(c.repeatBefore);
  c.breakHost(host_, folder_);
  Select(1, -2, -1, c.precount, c.loop);
  Session().StartPractise();
  EXPECT_FALSE(Session().Run().active);
  EXPECT_EQ(host_.CountCalls("OnPlayButton"), 0);
  EXPECT_EQ(host_.Transport(), TransportState::kStopped);
  EXPECT_EQ(host_.PlayingPreviews(), 0);
  EXPECT_TRUE(folder_.ClickFiles().empty());
  ExpectHostSettingsAsBefore(c.repeatBefore);
  RunTicks(10000);
  EXPECT_EQ(host_.CountCalls("OnPlayButton"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, FailedStartTest,
    ::testing::Values(
        FailedStart{"NoPreview", [](sim::Host& h, auto&) { h.RemoveFunction("PlayPreviewEx"); }, 4,
                    false, true},
        FailedStart{"PreviewRefused", [](sim::Host& h, auto&) { h.FailPreviewPlayback(true); }, 8,
                    true, false},
        FailedStart{
            "TemporaryFolderMissing",
            [](sim::Host&, testing::ScopedTempFolder& f) { f.Redirect(f.Path() / "missing"); }, 4,
            false, true}),
    [](const ::testing::TestParamInfo<FailedStart>& param) { return param.param.name; });

TEST_F(PractiseTest, MissingPreviewAbandonsOnlyPrecountedRuns) {
  host_.RemoveFunction("StopPreview");
  Select(1, -2, -1, 4, false);
  Session().StartPractise();
  EXPECT_FALSE(Session().Run().active);

  Session().SetPractisePrecount(0);
  Session().StartPractise();
  EXPECT_TRUE(Session().Run().playing);
  EXPECT_EQ(host_.Transport(), TransportState::kPlaying);
}

TEST_F(PractiseTest, NoTempoAtTheStartIsRefusedWithItsReasonAndTouchesNothing) {
  host_.RemoveFunction("TimeMap_GetDividedBpmAtTime");
  Select(1, -2, -1, 0, true);
  host_.ClearCalls();
  const host::Outcome outcome = Session().StartPractise();
  EXPECT_FALSE(outcome.applied);
  EXPECT_EQ(outcome.reason, "Could not determine the BPM at the selected start position.");
  EXPECT_TRUE(outcome.failure);
  EXPECT_TRUE(host_.Messages().empty());  // the window explains it, not the session
  EXPECT_TRUE(host_.Calls().empty());
  EXPECT_EQ(host_.ConfigVar("projmetroen"), 9);
  EXPECT_FALSE(Session().Run().active);
}

TEST_F(PractiseTest, SectionBoundsComeFromTheChosenMarkersOrTheSongEdges) {
  // Choices beyond the two markers fall back to the song's edges.
  Select(1, 3, 5, 0, false);
  Session().StartPractise();
  EXPECT_EQ(Session().Run().sectionStart, 10.0);
  EXPECT_EQ(Session().Run().sectionEnd, 70.0);
  EXPECT_EQ(host_.PlayPosition(), 10.0);
  Session().StopPractise();

  Select(1, 1, -1, 0, false);
  Session().StartPractise();
  EXPECT_EQ(Session().Run().sectionStart, 40.0);
  EXPECT_EQ(Session().Run().sectionEnd, 70.0);
  Session().StopPractise();

  // Start marker after the stop marker: PLAY does nothing, silently.
  host_.ClearCalls();
  Select(1, 1, 0, 0, false);
  Session().StartPractise();
  EXPECT_FALSE(Session().Run().active);
  EXPECT_TRUE(host_.Calls().empty());
  EXPECT_TRUE(host_.Messages().empty());

  // A song that is gone, or none chosen.
  Select(7, -2, -1, 0, false);
  Session().StartPractise();
  Select(-1, -2, -1, 0, false);
  Session().StartPractise();
  EXPECT_TRUE(host_.Calls().empty());
}

TEST_F(PractiseTest, StopDuringTheCountInSilencesTheClickAndNeverPlays) {
  host_.SetRepeat(true);
  Select(2, -2, -1, 4, false);
  Session().StartPractise();
  ASSERT_TRUE(Session().Run().countingIn);
  Session().StartPractise();  // PLAY again during the run is ignored
  EXPECT_EQ(host_.CountCalls("PlayPreviewEx"), 1);

  Session().StopPractise();
  EXPECT_EQ(host_.PlayingPreviews(), 0);
  EXPECT_EQ(host_.CountCalls("OnStopButton"), 0);
  ExpectHostSettingsAsBefore(true);
  RunTicks(5000);
  EXPECT_EQ(host_.CountCalls("OnPlayButton"), 0);
}

TEST_F(PractiseTest, RateSnapsToTheNearestTableEntryOrIsRefused) {
  RecordingWindow window;
  Session().AddListener(window);
  EXPECT_TRUE(Session().SetPractiseRate(0.7505));
  EXPECT_EQ(Session().Selection().playbackRate, 0.75);
  EXPECT_EQ(window.rateIndex, 5);
  EXPECT_EQ(host_.PlayRate(), 0.75);

  EXPECT_TRUE(Session().SetPractiseRate(1.2));
  EXPECT_TRUE(Session().SetPractiseRate(0.7495));
  EXPECT_EQ(host_.PlayRate(), 0.75);

  host_.ClearCalls();
  for (const double refused : {0.77, 0.4, 1.7, 0.749}) {
    EXPECT_FALSE(Session().SetPractiseRate(refused)) << refused;
  }
  EXPECT_FALSE(Session().SetPractiseRate(std::nan("")));
  EXPECT_EQ(Session().Selection().playbackRate, 0.75);
  EXPECT_EQ(host_.PlayRate(), 0.75);
  EXPECT_EQ(window.rateIndex, 5);
  EXPECT_EQ(host_.CountCalls("CSurf_OnPlayRateChange"), 0);
  Session().RemoveListener(window);
}

TEST_F(PractiseTest, ChoicesAndPrecountFollowTheWindowWhenThereIsOne) {
  EXPECT_FALSE(Session().SetPractiseStartChoice(-3));
  EXPECT_TRUE(Session().SetPractiseStartChoice(5));
  EXPECT_FALSE(Session().SetPractiseStopChoice(-2));
  EXPECT_TRUE(Session().SetPractiseStopChoice(4));

  RecordingWindow window;
  Session().AddListener(window);
  EXPECT_FALSE(Session().SetPractiseStartChoice(5));  // no entry carries it, yet it is stored
  EXPECT_EQ(Session().Selection().startChoice, 5);
  EXPECT_TRUE(Session().SetPractiseStartChoice(1));
  EXPECT_TRUE(Session().SetPractiseStopChoice(-1));

  Session().SetPractisePrecount(6);
  EXPECT_EQ(window.precountToggles, -1);
  Session().SetPractisePrecount(8);
  EXPECT_EQ(Session().Selection().preCountBeats, 8);
  EXPECT_EQ(window.precountToggles, 8);
  Session().RemoveListener(window);
}

TEST_F(PractiseTest, EveryViewHearsTheSelectionAndOneRemovedHearsNothingMore) {
  RecordingWindow first;
  RecordingWindow second;
  second.startEntries = {-2};
  {
    const host::ListenerScope<PractiseSession, PractiseListener> scope(Session(), first);
    Session().AddListener(second);
    Session().SetPractisePrecount(4);
    EXPECT_EQ(first.precountToggles, 4);
    EXPECT_EQ(second.precountToggles, 4);
    EXPECT_FALSE(Session().SetPractiseStartChoice(1));  // the second view lists no such entry
    EXPECT_EQ(Session().Selection().startChoice, 1);
    Session().RemoveListener(second);
    EXPECT_TRUE(Session().SetPractiseStartChoice(1));
    Session().SetPractisePrecount(8);
    EXPECT_EQ(second.precountToggles, 4);
  }
  Session().SetPractisePrecount(0);
  EXPECT_EQ(first.precountToggles, 8);  // its scope has ended
}

TEST_F(PractiseTest, SongSelectionAndPageEntryResetTheSelection) {
  RecordingWindow window;
  Session().AddListener(window);
  Select(1, 1, 0, 8, true);
  EXPECT_FALSE(Session().SelectPractiseSong(9));
  EXPECT_EQ(Session().Selection().songRegionId, 1);
  EXPECT_TRUE(Session().SelectPractiseSong(2));
  EXPECT_EQ(Session().Selection().startChoice, -2);
  EXPECT_EQ(Session().Selection().stopChoice, -1);
  EXPECT_EQ(window.listRefreshes, 1);

  Session().SetPractiseRate(0.8);
  Session().EnterPractisePage();
  EXPECT_EQ(Session().Selection().songRegionId, 1);
  EXPECT_EQ(Session().Selection().preCountBeats, 0);
  EXPECT_FALSE(Session().Selection().loopEnabled);
  EXPECT_FALSE(Session().Run().loopActive);
  EXPECT_EQ(window.precountToggles, 0);
  EXPECT_EQ(window.loopToggle, 0);
  EXPECT_EQ(Session().Selection().playbackRate, 0.8);

  // Sound check keeps a song that still exists, replaces one that does not, and plays at 1.0.
  Session().Selection().songRegionId = 2;
  Session().EnterSoundCheckPage();
  EXPECT_EQ(Session().Selection().songRegionId, 2);
  EXPECT_EQ(host_.PlayRate(), 1.0);
  Session().Selection().songRegionId = 42;
  Session().EnterSoundCheckPage();
  EXPECT_EQ(Session().Selection().songRegionId, 1);
  Session().RemoveListener(window);
}

TEST_F(PractiseTest, CurrentMarkerFollowsThePlayPosition) {
  Select(1, -2, -1, 0, false);
  EXPECT_EQ(Session().CurrentPractiseMarker(), -1);
  Session().StartPractise();
  EXPECT_EQ(Session().CurrentPractiseMarker(), -1);  // 10 s: before the first marker
  RunTicks(15000);
  EXPECT_EQ(Session().CurrentPractiseMarker(), 0);  // 25 s
  RunTicks(20000);
  EXPECT_EQ(Session().CurrentPractiseMarker(), 1);  // 45 s
  Session().StopPractise();
  EXPECT_EQ(Session().CurrentPractiseMarker(), -1);
}

}  // namespace
}  // namespace quorvane::practise
