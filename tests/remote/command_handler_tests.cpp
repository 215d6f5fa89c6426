// Remote commands acting on the records: the fields they read, the rules they obey, and what they
// leave alone when a field is missing or out of range.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <clocale>
#include <cstdlib>
#include <string>

#include "remote/command_handler.h"
#include "protocol/command_table.h"
#include "remote/system_fixture.h"

namespace {

using quorvane::remote::testing::SystemFixture;
using quorvane::sim::Host;
using quorvane::ui::UiPage;

class RemoteCommands : public ::testing::Test {
 protected:
  RemoteCommands() {
    host.AddRegion(1, "One", 0.0, 30.0);
    host.AddRegion(2, "Two", 30.0, 60.0);
    host.AddMarker(1, "A", 5.0);
    host.AddMarker(2, "B", 10.0);
    system.emplace(host);
  }
  // As the inbox runs a line: decoded, then handled.
  quorvane::remote::CommandResult Run(const std::string& line) {
    return system->core.RunRemoteCommand(line);
  }
  std::string Stored(const std::string& key) const { return host.ExtState("Quorvane", key); }

  Host host;
  std::optional<SystemFixture> system;
};

TEST_F(RemoteCommands, SetupEditsFollowTheSetlistRulesAndAreStored) {
  Run(R"({"cmd":"SETUP_ADD_REGION","regionId":2})");
  Run(R"({"cmd":"SETUP_ADD_REGION","regionId":2})");
  Run(R"({"cmd":"SETUP_ADD_REGION","regionId":0})");
  Run(R"({"cmd":"SETUP_ADD_PAUSE"})");
  Run(R"({"cmd":"SETUP_ADD_REGION","regionId":1})");
  ASSERT_EQ(system->setlist.Count(), 3);
  EXPECT_EQ(Stored("Setlist.Count"), "3");
  EXPECT_EQ(system->ui.page, UiPage::kSetlistSetup);
  EXPECT_EQ(host.Project().dirtyCount, 3);

  Run(R"({"cmd":"SETUP_TOGGLE_AUTOSTART","index":2})");  // follows a pause: refused
  EXPECT_FALSE(system->setlist.At(2).autoStart);
  Run(R"({"cmd":"SETUP_MOVE_UP","index":0})");
  Run(R"({"cmd":"SETUP_MOVE_DOWN","index":2})");
  Run(R"({"cmd":"SETUP_MOVE_UP","index":2})");  // [2, 1, pause]
  EXPECT_EQ(Stored("Setlist.Item.1.RegionID"), "1");
  Run(R"({"cmd":"SETUP_TOGGLE_AUTOSTART","index":1})");
  EXPECT_EQ(Stored("Setlist.Item.1.AutoStart"), "1");

  for (int i = 0; i < 3; ++i)
    Run(R"({"cmd":"SETUP_REMOVE","index":0})");
  EXPECT_TRUE(system->setlist.Empty());
  EXPECT_EQ(system->setlist.CurrentIndex(), -1);
  EXPECT_EQ(Stored("Setlist.Count"), "0");
}

TEST_F(RemoteCommands, DurationNeedsAtLeastFiveWholeMinutes) {
  Run(R"({"cmd":"SETUP_DURATION","minutes":4})");
  Run(R"({"cmd":"SETUP_DURATION","minutes":"60"})");
  EXPECT_DOUBLE_EQ(system->engine.Record().duration, 2700.0);
  Run(R"({"cmd":"SETUP_DURATION","minutes":90})");
  EXPECT_DOUBLE_EQ(system->engine.Record().duration, 5400.0);
  EXPECT_EQ(Stored("show_duration"), "5400.000000");
}

TEST_F(RemoteCommands, PractiseRateSnapsToTheTableOrIsRefused) {
  Run(R"({"cmd":"PRACTISE_RATE","rate":0.7495})");
  EXPECT_DOUBLE_EQ(system->practise.Selection().playbackRate, 0.75);
  EXPECT_DOUBLE_EQ(host.PlayRate(), 0.75);
  for (const char* refused : {"0.76", "0.749", "0.4", "1.7", "\"1.0\""}) {
    Run(std::string(R"({"cmd":"PRACTISE_RATE","rate":)") + refused + "}");
    EXPECT_DOUBLE_EQ(system->practise.Selection().playbackRate, 0.75) << refused;
  }
}

// The host or another extension in its process may switch the C library to a decimal comma.
class CommaLocale {
 public:
  CommaLocale() : previous_(std::setlocale(LC_NUMERIC, nullptr)) {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252", "deu"}) {
      if (std::setlocale(LC_NUMERIC, name) && std::strtod("0,5", nullptr) == 0.5) {
        active_ = true;
        return;
      }
    }
    std::setlocale(LC_NUMERIC, previous_.c_str());
  }
  ~CommaLocale() { std::setlocale(LC_NUMERIC, previous_.c_str()); }
  bool Active() const { return active_; }

 private:
  std::string previous_;
  bool active_ = false;
};

TEST_F(RemoteCommands, PractiseRateIsReadTheSameUnderADecimalCommaLocale) {
  const CommaLocale comma;
  if (!comma.Active()) GTEST_SKIP() << "no decimal-comma locale on this machine (scripts/setup)";
  Run(R"({"cmd":"PRACTISE_RATE","rate":0.75})");
  EXPECT_DOUBLE_EQ(host.PlayRate(), 0.75);
  Run(R"({"cmd":"PRACTISE_RATE","rate": +0x1.4p0})");  // strtod's hexadecimal form: 1.25
  EXPECT_DOUBLE_EQ(host.PlayRate(), 1.25);
  Run(R"({"cmd":"PRACTISE_RATE","rate":0,5})");  // a comma ends the number, as in JSON
  EXPECT_DOUBLE_EQ(host.PlayRate(), 1.25);
  Run(R"({"cmd":"PRACTISE_RATE","rate":1e999})");
  Run(R"({"cmd":"PRACTISE_RATE","rate":--1})");
  EXPECT_DOUBLE_EQ(system->practise.Selection().playbackRate, 1.25);
}

TEST_F(RemoteCommands, PrecountTakesOnlyNoneFourOrEight) {
  Run(R"({"cmd":"PRACTISE_PRECOUNT","beats":8})");
  EXPECT_EQ(system->practise.Selection().preCountBeats, 8);
  Run(R"({"cmd":"PRACTISE_PRECOUNT","beats":12})");
  Run(R"({"cmd":"PRACTISE_PRECOUNT","beats":6})");
  Run(R"({"cmd":"PRACTISE_PRECOUNT"})");
  EXPECT_EQ(system->practise.Selection().preCountBeats, 8);
  Run(R"({"cmd":"PRACTISE_PRECOUNT","beats":0})");
  EXPECT_EQ(system->practise.Selection().preCountBeats, 0);
}

TEST_F(RemoteCommands, PractiseSelectionTakesRegionNumbersAndMarkerChoices) {
  Run(R"({"cmd":"PRACTISE_REGION","index":2})");
  EXPECT_EQ(system->practise.Selection().songRegionId, 2);
  Run(R"({"cmd":"PRACTISE_REGION","index":7})");  // no such region
  EXPECT_EQ(system->practise.Selection().songRegionId, 2);
  Run(R"({"cmd":"PRACTISE_START","index":1})");
  Run(R"({"cmd":"PRACTISE_START","index":-3})");
  EXPECT_EQ(system->practise.Selection().startChoice, 1);
  Run(R"({"cmd":"PRACTISE_STOP_POINT","index":-2})");
  EXPECT_EQ(system->practise.Selection().stopChoice, -1);
  Run(R"({"cmd":"PRACTISE_LOOP","enabled":     true})");  // five spaces: not read
  EXPECT_FALSE(system->practise.Selection().loopEnabled);
  Run(R"({"cmd":"PRACTISE_LOOP","enabled":    true})");
  EXPECT_TRUE(system->practise.Selection().loopEnabled);
  EXPECT_TRUE(system->practise.Run().loopActive);
}

TEST_F(RemoteCommands, ARemotePlayWithoutTempoIsRefusedWithoutAMessage) {
  host.RemoveFunction("TimeMap_GetDividedBpmAtTime");
  SystemFixture noTempo(host);
  noTempo.practise.Selection().songRegionId = 1;
  const quorvane::remote::CommandResult result =
      noTempo.core.RunRemoteCommand(R"({"cmd":"PRACTISE_PLAY"})");
  EXPECT_FALSE(noTempo.practise.Run().active);
  EXPECT_TRUE(host.Messages().empty());
  // A client that is told (the web remote) hears why.
  EXPECT_EQ(result.refusal, "Could not determine the BPM at the selected start position.");
}

TEST_F(RemoteCommands, PagesAndOptionsChangeWithoutAWindow) {
  Run(R"({"cmd":"OPEN_ABOUT"})");
  EXPECT_EQ(system->ui.page, UiPage::kAbout);
  Run(R"({"cmd":"OPEN_OPTIONS"})");
  EXPECT_EQ(system->ui.page, UiPage::kOptions);
  Run(R"({"cmd":"OPTIONS_LIVE_MARKERS","enabled":false})");
  Run(R"({"cmd":"OPTIONS_TIME_SIG_BPM","enabled":"no"})");
  EXPECT_FALSE(system->ui.showMarkerNames);
  EXPECT_TRUE(system->ui.showTimeSignatureAndBpm);
  Run(R"({"cmd":"MODE_LIVE"})");  // an empty setlist opens the setup page
  EXPECT_EQ(system->ui.page, UiPage::kSetlistSetup);
  Run(R"({"cmd":"MODE_PRACTISE"})");
  EXPECT_EQ(system->ui.page, UiPage::kPractise);
  EXPECT_EQ(system->practise.Selection().songRegionId, 1);
  Run(R"({"cmd":"EXIT_MODE"})");
  EXPECT_EQ(system->ui.page, UiPage::kModeSelect);
}

TEST_F(RemoteCommands, AutoStartIsSetAndFiresWithoutAWindow) {
  system->core.Tick();  // the first tick finds the project open and clears the settings
  Run(R"({"cmd":"SETUP_AUTOSTART_TIME","hour":24,"minute":0})");
  Run(R"({"cmd":"SETUP_AUTOSTART_TIME","hour":20})");
  Run(R"({"cmd":"SETUP_ADD_REGION","regionId":1})");
  Run(R"({"cmd":"SETUP_AUTOSTART_TIME","hour":20,"minute":15})");
  Run(R"({"cmd":"SETUP_AUTOSTART_SHOW","enabled":true})");
  const auto state = nlohmann::json::parse(system->core.StateDocument());
  EXPECT_EQ(state["autoStartShow"], true);
  EXPECT_EQ(state["autoStartHour"], 20);
  EXPECT_EQ(state["autoStartMinute"], 15);

  Run(R"({"cmd":"MODE_LIVE"})");
  host.SetLocalTime(20, 14, 59);
  system->core.Tick();
  EXPECT_EQ(system->engine.Status(), quorvane::show::ShowStatus::kPrepared);
  host.Advance(1000);
  system->core.Tick();
  EXPECT_EQ(system->engine.Status(), quorvane::show::ShowStatus::kLive);
  EXPECT_EQ(host.CountCalls("OnPlayButton"), 1);

  Run(R"({"cmd":"SETUP_AUTOSTART_SHOW","enabled":false})");
  EXPECT_EQ(nlohmann::json::parse(system->core.StateDocument())["autoStartShow"], false);
}

TEST_F(RemoteCommands, NotesAreSetStoredAndRefusedWithAReason) {
  Run(R"({"cmd":"SETUP_ADD_REGION","regionId":1})");
  Run(R"({"cmd":"SETUP_ADD_REGION","regionId":2})");
  const int dirty = host.Project().dirtyCount;
  const auto refusal = [&](const std::string& line) { return Run(line).refusal; };
  EXPECT_EQ(refusal(R"({"cmd":"SETUP_NOTE","index":1,"note":"capo 2,\nSam \"counts\" in \u00e9"})"),
            "");
  EXPECT_EQ(system->setlist.At(1).note, "capo 2,\nSam \"counts\" in \u00e9");
  EXPECT_EQ(Stored("Setlist.Item.1.Note"), "capo 2,\\nSam \"counts\" in \u00e9");
  EXPECT_EQ(host.Project().dirtyCount, dirty + 1);
  const auto document = nlohmann::json::parse(system->core.StateDocument());
  EXPECT_EQ(document["setlist"][1]["note"], "capo 2,\nSam \"counts\" in \u00e9");
  EXPECT_EQ(document["setlist"][0]["note"], "");

  const std::string full(quorvane::show::Setlist::kMaxNoteBytes, 'x');
  EXPECT_EQ(refusal(R"({"cmd":"SETUP_NOTE","index":0,"note":")" + full + "x\"}"),
            "note: longer than 280 bytes");
  EXPECT_EQ(refusal(R"({"cmd":"SETUP_NOTE","index":0,"note":"\q"})"), "note: an unknown escape");
  EXPECT_EQ(refusal("{\"cmd\":\"SETUP_NOTE\",\"index\":0,\"note\":\"\xFF\"}"),
            "note: not valid UTF-8");
  EXPECT_EQ(refusal(R"({"cmd":"SETUP_NOTE","index":0})"), "note: missing");
  EXPECT_EQ(refusal(R"({"cmd":"SETUP_NOTE","index":2,"note":"x"})"),
            "no setlist item at that index");
  EXPECT_EQ(refusal(R"({"cmd":"SETUP_NOTE","note":"x"})"), "no setlist item at that index");
  EXPECT_EQ(system->setlist.At(0).note, "");
  EXPECT_EQ(refusal(R"({"cmd":"SETUP_NOTE","index":0,"note":")" + full + "\"}"), "");

  // The notes move with their songs; an empty note removes one.
  Run(R"({"cmd":"SETUP_MOVE_UP","index":1})");
  EXPECT_EQ(system->setlist.At(0).note, "capo 2,\nSam \"counts\" in \u00e9");
  EXPECT_EQ(system->setlist.At(1).note, full);
  Run(R"({"cmd":"SETUP_NOTE","index":0,"note":""})");
  Run(R"({"cmd":"SETUP_REMOVE","index":0})");
  EXPECT_EQ(system->setlist.At(0).note, full);
  EXPECT_EQ(Stored("Setlist.Item.0.Note"), full);
  // A song added where a note was stored before does not inherit it.
  Run(R"({"cmd":"SETUP_ADD_REGION","regionId":2})");
  EXPECT_EQ(Stored("Setlist.Item.1.Note"), "");
  EXPECT_EQ(system->setlist.At(1).note, "");
}

TEST_F(RemoteCommands, EveryCommandOfTheTableIsHandledAndNoOtherName) {
  for (const quorvane::protocol::CommandDefinition& command :
       quorvane::protocol::RemoteCommands()) {
    EXPECT_NE(Run(R"({"cmd":")" + std::string(command.name) + R"("})").refusal, "unknown command")
        << command.name;
  }
  for (const char* unknown : {"", "ping", "LIVE_PLAY", "LIVE_PLAY_NEXT ", "SETLIST"}) {
    EXPECT_EQ(Run(std::string(R"({"cmd":")") + unknown + R"("})").refusal, "unknown command")
        << unknown;
  }
}

}  // namespace
