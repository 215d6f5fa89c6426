// Every host setting the show and practise change, through the core on the simulated host: the
// user's value is back after every way out (stop, end of the show, project change, unload, a start
// that fails), and what the user sets while nothing holds a setting stays theirs.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "show_fixture.h"

namespace quorvane::show::test {
namespace {

// Who changes the setting in a case: the show's songs, a practise loop, or the practise rate.
enum class Taker { kShow, kPractiseLoop, kPractiseRate };

// The user's value of a setting. A setting each project keeps has another value in the second
// project (`project` 1) than in the first (0).
struct Setting {
  const char* name;
  Taker taker;
  bool perProject;  // kept by each project (time selection, play rate), not by the host
  std::function<void(sim::Host&, int project)> setUsers;
  std::function<bool(const sim::Host&, int project)> isUsers;
};

struct Exit {
  const char* name;
  std::vector<Taker> appliesTo;
};

struct Case {
  Setting setting;
  Exit exit;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.setting.name << " / " << c.exit.name;
}

const std::vector<Setting>& Settings() {
  const auto selection = [](sim::Host& h, int project) {
    h.Project().selectionStart = 2.0 + project;
    h.Project().selectionEnd = 5.0 + project;
  };
  const auto isSelection = [](const sim::Host& h, int project) {
    return h.Project().selectionStart == 2.0 + project && h.Project().selectionEnd == 5.0 + project;
  };
  static const std::vector<Setting> settings = {
      {"RepeatDuringTheShow", Taker::kShow, false, [](sim::Host& h, int) { h.SetRepeat(true); },
       [](const sim::Host& h, int) { return h.RepeatOn(); }},
      {"RepeatDuringAPractiseLoop", Taker::kPractiseLoop, false,
       [](sim::Host& h, int) { h.SetRepeat(false); },
       [](const sim::Host& h, int) { return !h.RepeatOn(); }},
      {"SmoothSeek", Taker::kShow, false,
       [](sim::Host& h, int) { h.SetConfigVar("smoothseek", 4); },
       [](const sim::Host& h, int) { return h.ConfigVar("smoothseek") == 4; }},
      {"HostCountIn", Taker::kPractiseLoop, false,
       [](sim::Host& h, int) { h.SetConfigVar("projmetroen", 9); },
       [](const sim::Host& h, int) { return h.ConfigVar("projmetroen") == 9; }},
      {"HostPreroll", Taker::kPractiseLoop, false,
       [](sim::Host& h, int) { h.SetConfigVar("preroll", 3); },
       [](const sim::Host& h, int) { return h.ConfigVar("preroll") == 3; }},
      {"TimeSelectionDuringTheShow", Taker::kShow, true, selection, isSelection},
      {"TimeSelectionDuringAPractiseLoop", Taker::kPractiseLoop, true, selection, isSelection},
      {"PitchShiftMode", Taker::kPractiseRate, false,
       [](sim::Host& h, int) { h.SetConfigVar("audioprshift", 0); },
       [](const sim::Host& h, int) { return h.ConfigVar("audioprshift") == 0; }},
      {"PlayRate", Taker::kPractiseRate, true,
       [](sim::Host& h, int project) { h.Project().playRate = project == 0 ? 1.1 : 1.2; },
       [](const sim::Host& h, int project) { return h.PlayRate() == (project == 0 ? 1.1 : 1.2); }},
  };
  return settings;
}

const std::vector<Exit>& Exits() {
  static const std::vector<Exit> exits = {
      {"Stop", {Taker::kShow, Taker::kPractiseLoop}},
      {"EndShow", {Taker::kShow}},
      {"ShowPlayedToItsEnd", {Taker::kShow}},
      {"ProjectChange", {Taker::kShow, Taker::kPractiseLoop, Taker::kPractiseRate}},
      {"Unload", {Taker::kShow, Taker::kPractiseLoop, Taker::kPractiseRate}},
      {"FailedStart", {Taker::kShow, Taker::kPractiseLoop}},
  };
  return exits;
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const Setting& setting : Settings()) {
    for (const Exit& exit : Exits()) {
      for (Taker taker : exit.appliesTo) {
        if (taker == setting.taker) cases.push_back({setting, exit});
      }
    }
  }
  return cases;
}

class HeldSetting : public ShowTest, public ::testing::WithParamInterface<Case> {
 protected:
  // The Opener chains into the auto-start Segue; both at the simulator's 120 BPM in 4/4.
  void SetUp() override {
    ShowTest::SetUp();
    host.AddRegion(1, "Opener", 0.0, 8.0);
    host.AddRegion(2, "Segue", 20.0, 28.0);
    UseSetlist({1, 2}, {1});
  }

  // The feature that changes the setting, as the user starts it; `fail` makes the start fail.
  void Take(Taker taker, bool fail) {
    switch (taker) {
      case Taker::kShow:
        if (fail) UseSetlist({9});  // a song whose region is gone
        ASSERT_EQ(engine.StartShow(), !fail);
        if (!fail) RunFor(6500);  // into the Opener's last bar: the Segue is pre-rolled
        break;
      case Taker::kPractiseLoop:
        if (fail) host.FailPreviewPlayback(true);  // the count-in's click cannot play
        practise.Selection().songRegionId = 2;
        practise.Selection().preCountBeats = fail ? 4 : 0;
        practise.Selection().loopEnabled = true;
        practise.OnLoopToggled();
        practise.StartPractise();
        ASSERT_EQ(practise.Run().active, !fail);
        RunFor(1000);
        break;
      case Taker::kPractiseRate:
        ASSERT_TRUE(practise.SetPractiseRate(0.8));
        break;
    }
  }

  void Leave(const Case& c) {
    const std::string exit = c.exit.name;
    if (exit == "Stop") {
      if (c.setting.taker == Taker::kShow) engine.StopLive();
      practise.StopPractise();
    } else if (exit == "EndShow") {
      ASSERT_TRUE(engine.EndShow());
    } else if (exit == "ShowPlayedToItsEnd") {
      RunFor(30000);
      ASSERT_EQ(engine.Status(), ShowStatus::kFinished);
    } else if (exit == "ProjectChange") {
      const int other = host.AddProject("/shows/other.rpp");
      host.SelectProject(other);
      // A project's own selection and rate: the new one keeps its own.
      if (c.setting.perProject) {
        c.setting.setUsers(host, 1);
        project_ = 1;
      }
      Tick();
    } else if (exit == "Unload") {
      core.Shutdown();
    }
  }

  // The project whose user values are expected at the end.
  int project_ = 0;
};

TEST_P(HeldSetting, TheUsersValueIsBackAfterwards) {
  const Case& c = GetParam();
  const bool failing = std::string(c.exit.name) == "FailedStart";
  c.setting.setUsers(host, 0);
  Take(c.setting.taker, failing);
  if (!failing) {
    ASSERT_FALSE(c.setting.isUsers(host, 0)) << "the feature did not change it";
  }
  Leave(c);
  EXPECT_TRUE(c.setting.isUsers(host, project_));
  // Giving back again (the unload after any other way out) changes nothing.
  core.Shutdown();
  EXPECT_TRUE(c.setting.isUsers(host, project_));
}

INSTANTIATE_TEST_SUITE_P(EveryWayOut, HeldSetting, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<Case>& param) {
                           return std::string(param.param.setting.name) + "_" +
                                  param.param.exit.name;
                         });

TEST_F(ShowTest, PractiseRightAfterAShowSongRemembersTheUsersValuesNotTheShows) {
  host.AddRegion(1, "Opener", 0.0, 8.0);
  UseSetlist({1});
  host.SetRepeat(true);
  host.Project().selectionStart = 2.0;
  host.Project().selectionEnd = 5.0;
  ASSERT_TRUE(engine.PlayCurrent());
  ASSERT_FALSE(host.RepeatOn());
  ASSERT_EQ(host.Project().selectionEnd, 0.0);

  // Practise starts while the song's settings are still held: repeat off and no selection are
  // the show's, not the user's.
  practise.Selection().songRegionId = 1;
  practise.Selection().loopEnabled = true;
  practise.OnLoopToggled();
  practise.StartPractise();
  ASSERT_TRUE(practise.Run().active);
  EXPECT_TRUE(host.RepeatOn());
  EXPECT_EQ(host.Project().selectionEnd, 8.0);

  practise.StopPractise();
  engine.StopPlayback();
  EXPECT_TRUE(host.RepeatOn());
  EXPECT_EQ(host.Project().selectionStart, 2.0);
  EXPECT_EQ(host.Project().selectionEnd, 5.0);
}

TEST_F(ShowTest, WhatTheUserSetsWhileNothingIsHeldStaysTheirs) {
  host.AddRegion(1, "Opener", 0.0, 8.0);
  UseSetlist({1});
  host.SetConfigVar("projmetroen", 9);
  host.SetRepeat(true);
  practise.Selection().songRegionId = 1;
  practise.StartPractise();
  ASSERT_EQ(host.ConfigVar("projmetroen"), 1);
  practise.StopPractise();
  ASSERT_TRUE(engine.PlayCurrent());
  engine.StopPlayback();
  ASSERT_TRUE(practise.SetPractiseRate(0.8));
  ASSERT_TRUE(practise.SetPractiseRate(1.0));

  // A show goes live at normal speed, whatever rate the user had set.
  host.Project().playRate = 0.9;
  ui::ShowLivePage(ui, practise);
  EXPECT_EQ(host.PlayRate(), 1.0);

  // The user's own changes after everything was given back.
  host.SetConfigVar("projmetroen", 0);
  host.SetRepeat(false);
  host.Project().playRate = 0.9;
  host.Project().selectionStart = 1.0;
  host.Project().selectionEnd = 3.0;
  practise.StopPractise();
  engine.StopPlayback();
  core.Shutdown();
  EXPECT_EQ(host.ConfigVar("projmetroen"), 0);
  EXPECT_FALSE(host.RepeatOn());
  EXPECT_EQ(host.PlayRate(), 0.9);
  EXPECT_EQ(host.Project().selectionStart, 1.0);
  EXPECT_EQ(host.Project().selectionEnd, 3.0);
}

}  // namespace
}  // namespace quorvane::show::test
