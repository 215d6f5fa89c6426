// A show goes on after its host was killed and started again: the next run finds the project as it
// was last saved (its setlist, none of the show) and the host's settings file, which is all that
// survives a crash. What it must show is read from the state document a remote client receives.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/core.h"
#include "e2e/stage.h"
#include "sim/sim_host.h"
#include "support/stored_setlist.h"

namespace {

using nlohmann::json;
using quorvane::sim::Host;
using quorvane::sim::TransportState;
namespace testing_support = quorvane::testing;

constexpr const char* kProjectPath = "/shows/band.rpp";
constexpr int64_t kSecond = 1000;

// How the project was saved, on top of the band's: four one-minute songs stored as the setlist
// [Opener, Second (auto-start), pause, Third, Closer].
using ProjectEdit = std::function<void(Host&)>;

ProjectEdit SavedSetlist(std::vector<testing_support::StoredItem> items) {
  return [items](Host& host) { testing_support::StoreSetlist(host, items); };
}

// One run of the host with the extension's core.
struct HostRun {
  HostRun(const std::string& settingsFile, int64_t wallClockMs, const ProjectEdit& edit) {
    host.SetWallClock(wallClockMs);
    quorvane::e2e::BuildBandProject(host);
    host.Project().path = kProjectPath;
    if (edit) edit(host);
    host.UseSettingsFile(settingsFile);
    loaded = core.Init();
    core.Tick();
  }

  json State() const { return json::parse(core.StateDocument()); }
  void Run(int64_t ms) {
    for (int64_t done = 0; done < ms; done += 33) {
      host.Advance(33);
      core.Tick();
    }
  }

  Host host;
  quorvane::core::Core core{host.Info()->GetFunc, quorvane::core::CoreOptions::Closed()};
  bool loaded = false;
};

class ShowAfterRestart : public ::testing::Test {
 protected:
  void SetUp() override {
    settingsFile_ =
        (std::filesystem::temp_directory_path() /
         ("quorvane-resume-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
          "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini"))
            .string();
    std::filesystem::remove(settingsFile_);
  }
  void TearDown() override {
    run.reset();
    std::filesystem::remove(settingsFile_);
  }

  // The host starts (again) at `wallClockMs` on the calendar.
  HostRun& Start(int64_t wallClockMs, const ProjectEdit& edit = {}) {
    run.reset();
    run = std::make_unique<HostRun>(settingsFile_, wallClockMs, edit);
    EXPECT_TRUE(run->loaded);
    return *run;
  }
  // The host dies where it stands; the calendar time it died at.
  int64_t Crash() {
    const int64_t at = run->host.WallClockMs();
    run.reset();
    return at;
  }
  static std::vector<int> PlayedIndexes(const json& state) {
    std::vector<int> played;
    for (size_t i = 0; i < state["setlist"].size(); ++i) {
      if (state["setlist"][i]["played"].get<bool>()) played.push_back(static_cast<int>(i));
    }
    return played;
  }

  std::unique_ptr<HostRun> run;

 private:
  std::string settingsFile_;
};

TEST_F(ShowAfterRestart, AShowKilledMidSongGoesOnStoppedWithItsMarksCurrentSongAndClock) {
  HostRun& first = Start(Host::kWallClockStartMs);
  ASSERT_TRUE(first.core.Engine().SetShowDuration(180.0));  // a short set, so that it overruns
  ASSERT_TRUE(first.core.Operations().StartShow());
  first.Run(121 * kSecond);  // the Opener, the Second following on, then the pause
  ASSERT_TRUE(first.core.Operations().PlayNext());  // the Third
  first.Run(10 * kSecond);
  ASSERT_EQ(PlayedIndexes(first.State()), (std::vector<int>{0, 1}));
  const double elapsedAtCrash = first.State()["showElapsed"].get<double>();
  const int64_t diedAt = Crash();

  HostRun& second = Start(diedAt + 15 * kSecond);
  const json state = second.State();
  EXPECT_EQ(state["showStatus"], "LIVE");
  EXPECT_EQ(state["page"], "LIVE");
  EXPECT_FALSE(state["playing"].get<bool>());
  EXPECT_EQ(state["currentIndex"], 3);
  EXPECT_EQ(state["liveTransport"], "REPLAY");  // the song the crash cut off, from its start
  EXPECT_EQ(PlayedIndexes(state), (std::vector<int>{0, 1}));
  EXPECT_TRUE(state["resumed"].get<bool>());
  // The clock counts from the show's start; the Third and the Closer still to play overrun the
  // set's three minutes.
  EXPECT_NEAR(state["showElapsed"].get<double>(), elapsedAtCrash + 15.0, 0.1);
  EXPECT_EQ(state["setup"]["durationMinutes"], 3);
  EXPECT_NEAR(state["playbackRemaining"].get<double>(), 120.0, 0.01);
  EXPECT_TRUE(state["hasDelay"].get<bool>());
  EXPECT_NEAR(state["delaySeconds"].get<double>(), elapsedAtCrash + 15.0 + 120.0 - 180.0, 0.1);
  // Nothing was started: the band comes in when the technician presses play.
  second.Run(2 * kSecond);
  EXPECT_EQ(second.host.CountCalls("OnPlayButton"), 0);
  EXPECT_EQ(second.host.Transport(), TransportState::kStopped);

  // Re-play starts the Third from its start; the notice goes with it.
  second.core.Operations().PlaySelected();
  second.Run(100);
  EXPECT_EQ(second.host.Transport(), TransportState::kPlaying);
  EXPECT_NEAR(second.host.PlayPosition(), 120.1, 0.1);
  EXPECT_FALSE(second.State()["resumed"].get<bool>());
}

TEST_F(ShowAfterRestart, TheNoticeEndsAfterAMinuteAndDocumentMembersKeepTheirPlaces) {
  HostRun& first = Start(Host::kWallClockStartMs);
  ASSERT_TRUE(first.core.Operations().StartShow());
  first.Run(5 * kSecond);
  HostRun& second = Start(Crash() + 30 * kSecond);
  const std::string document = second.core.StateDocument();
  // Appended after the last member remote apps knew, which keep their order.
  EXPECT_LT(document.find("\"queuedAt\""), document.find("\"resumed\":true"));
  second.Run(59 * kSecond);
  EXPECT_TRUE(second.State()["resumed"].get<bool>());
  second.Run(2 * kSecond);
  EXPECT_FALSE(second.State()["resumed"].get<bool>());
  EXPECT_EQ(second.State()["showStatus"], "LIVE");
}

TEST_F(ShowAfterRestart, AShowStartedLongerAgoThanItsSetAndTheMarginStartsFresh) {
  const int64_t limit = 2700 * kSecond + quorvane::show::ShowEngine::kResumeMarginMs;
  HostRun& first = Start(Host::kWallClockStartMs);
  ASSERT_TRUE(first.core.Operations().StartShow());
  first.Run(70 * kSecond);
  Crash();

  // Just within the set's 45 minutes and the margin: the show goes on.
  HostRun& late = Start(Host::kWallClockStartMs + limit - 10 * kSecond);
  EXPECT_EQ(late.State()["showStatus"], "LIVE");
  EXPECT_EQ(PlayedIndexes(late.State()), (std::vector<int>{0}));
  Crash();

  // The next day (or just past the limit): a fresh show, and the stale one is gone for good.
  HostRun& nextDay = Start(Host::kWallClockStartMs + limit + 10 * kSecond);
  json state = nextDay.State();
  EXPECT_EQ(state["showStatus"], "PREPARED");
  EXPECT_EQ(state["page"], "MODE_SELECT");
  EXPECT_TRUE(PlayedIndexes(state).empty());
  EXPECT_FALSE(state["resumed"].get<bool>());
  EXPECT_EQ(nextDay.host.ExtState("Quorvane", "show_status"), "PREPARED");
  EXPECT_FALSE(nextDay.host.HasGlobalExtState("Quorvane", "lastShowState"));
  Crash();
  HostRun& again = Start(Host::kWallClockStartMs + limit - 60 * kSecond);  // a clock set back
  EXPECT_EQ(again.State()["showStatus"], "PREPARED");
}

TEST_F(ShowAfterRestart, EndShowClearsWhatARestartWouldResume) {
  HostRun& first = Start(Host::kWallClockStartMs);
  ASSERT_TRUE(first.core.Operations().StartShow());
  first.Run(70 * kSecond);
  EXPECT_TRUE(first.host.GlobalExtStatePersists("Quorvane", "lastShowState"));
  EXPECT_EQ(first.host.GlobalExtState("Quorvane", "lastShowProject"), kProjectPath);
  first.core.Operations().EndShow();
  EXPECT_FALSE(first.host.HasGlobalExtState("Quorvane", "lastShowState"));
  EXPECT_FALSE(first.host.HasGlobalExtState("Quorvane", "lastShowProject"));
  // The window still shows the finished show's marks; the project no longer offers them.
  EXPECT_EQ(PlayedIndexes(first.State()), (std::vector<int>{0}));
  EXPECT_EQ(first.host.ExtState("Quorvane", "show_played"), "");

  HostRun& second = Start(Crash() + 10 * kSecond);
  EXPECT_EQ(second.State()["showStatus"], "PREPARED");
  EXPECT_TRUE(PlayedIndexes(second.State()).empty());
}

TEST_F(ShowAfterRestart, AProjectNeverSavedKeepsItsShowInItsOwnKeysOnly) {
  HostRun& first = Start(Host::kWallClockStartMs, [](Host& host) { host.Project().path.clear(); });
  ASSERT_TRUE(first.core.Operations().StartShow());
  first.Run(70 * kSecond);
  EXPECT_EQ(first.host.ExtState("Quorvane", "show_status"), "LIVE");
  EXPECT_EQ(first.host.ExtState("Quorvane", "show_played"), "1");
  // No path to know it by: a restart could not tell it from any other new project.
  EXPECT_FALSE(first.host.HasGlobalExtState("Quorvane", "lastShowState"));
  EXPECT_FALSE(first.host.HasGlobalExtState("Quorvane", "lastShowProject"));
}

TEST_F(ShowAfterRestart, AShowLeftForAnotherTabGoesOnWhenItsTabComesBack) {
  HostRun& first = Start(Host::kWallClockStartMs);
  ASSERT_TRUE(first.core.Operations().StartShow());
  first.Run(70 * kSecond);
  const int other = first.host.AddProject("/shows/other.rpp");
  first.host.SelectProject(other);
  first.Run(1000);
  EXPECT_EQ(first.State()["showStatus"], "PREPARED");
  EXPECT_EQ(first.host.ExtState("Quorvane", "show_status"), "PREPARED");  // the other project's

  first.host.SelectProject(0);
  first.Run(1000);
  const json state = first.State();
  EXPECT_EQ(state["showStatus"], "LIVE");
  EXPECT_EQ(state["currentIndex"], 1);
  EXPECT_EQ(state["liveTransport"], "REPLAY");
  EXPECT_EQ(PlayedIndexes(state), (std::vector<int>{0}));
  EXPECT_EQ(first.host.Transport(), TransportState::kStopped);
}

TEST_F(ShowAfterRestart, ASetlistEditedMeanwhileKeepsWhatStillMatches) {
  HostRun& first = Start(Host::kWallClockStartMs);
  ASSERT_TRUE(first.core.Operations().StartShow());
  first.Run(70 * kSecond);  // the Opener played, the Second under way
  int64_t diedAt = Crash();

  // The Opener was taken out and the Second moved to the top.
  HostRun& second =
      Start(diedAt + 60 * kSecond, SavedSetlist({{2}, testing_support::Pause(), {3}, {4}}));
  json state = second.State();
  EXPECT_EQ(state["showStatus"], "LIVE");
  EXPECT_EQ(state["setlist"].size(), 4u);  // the setlist as saved, untouched
  EXPECT_EQ(state["currentIndex"], 0);     // the Second, wherever it went
  EXPECT_EQ(state["liveTransport"], "REPLAY");
  EXPECT_TRUE(PlayedIndexes(state).empty());  // the Opener's mark went with it
  diedAt = Crash();

  // Now the current song itself is gone: the item in its place is offered, to play from its start.
  HostRun& third = Start(diedAt + 60 * kSecond, SavedSetlist({{3}, {4}}));
  state = third.State();
  EXPECT_EQ(state["showStatus"], "LIVE");
  EXPECT_EQ(state["currentIndex"], 0);
  EXPECT_EQ(state["liveTransport"], "SELECTED");
  third.core.Operations().PlaySelected();
  third.Run(100);
  EXPECT_NEAR(third.host.PlayPosition(), 120.1, 0.1);

  // Nothing left to play of it at all: still no crash, the show still LIVE on an empty list.
  diedAt = Crash();
  HostRun& fourth = Start(diedAt + 60 * kSecond, SavedSetlist({}));
  EXPECT_EQ(fourth.State()["showStatus"], "LIVE");
  EXPECT_EQ(fourth.State()["currentIndex"], -1);
}

TEST_F(ShowAfterRestart, ASongChangeWritesAFewKeysWhateverTheSetlistsLength) {
  // Two hundred two-second songs after the band's, each following on by itself.
  HostRun& first = Start(Host::kWallClockStartMs, [](Host& host) {
    std::vector<testing_support::StoredItem> items;
    for (int region = 10; region < 210; ++region) {
      const double start = 300.0 + 2.0 * (region - 10);
      host.AddRegion(region, "Song " + std::to_string(region), start, start + 2.0);
      items.push_back({region, region > 10});
    }
    testing_support::StoreSetlist(host, items);
  });
  Host& host = first.host;
  ASSERT_EQ(first.core.Setlist().Count(), 200);
  ASSERT_TRUE(first.core.Operations().StartShow());
  first.Run(1000);

  const auto writes = [&host] {
    return host.CountCalls("SetProjExtState") + host.CountCalls("SetExtState") +
           host.CountCalls("DeleteExtState");
  };
  host.ClearCalls();
  first.Run(2000);  // one song follows on to the next
  EXPECT_EQ(first.State()["currentIndex"], 1);
  // The current item (its place and its song), the played marks, and one line of the global
  // settings.
  EXPECT_GE(writes(), 2);
  EXPECT_LE(writes(), 4);
  EXPECT_EQ(host.CountCalls("SetExtState"), 1);
  EXPECT_EQ(host.ExtState("Quorvane", "show_played"), "10");

  host.ClearCalls();
  ASSERT_TRUE(first.core.Operations().PlayNext());
  first.Run(100);
  EXPECT_EQ(first.State()["currentIndex"], 2);
  EXPECT_GE(writes(), 2);
  EXPECT_LE(writes(), 4);
}

}  // namespace
