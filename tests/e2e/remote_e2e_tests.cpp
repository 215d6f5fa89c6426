// Remote clients over loopback drive the loaded extension: discovery, the greeting, commands and
// the state documents they cause. Every document is read by a real JSON parser.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "e2e/stage.h"
#include "remote/loopback_client.h"

namespace {

using nlohmann::json;
using quorvane::e2e::Stage;
using quorvane::remote::testing::Clock;
using quorvane::remote::testing::LineClient;
using quorvane::remote::testing::Prober;
using namespace std::chrono_literals;

constexpr uint16_t kDiscoveryPort = 48193;

class RemoteEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(stage.loaded);
    stage.host.Run(100);
    ASSERT_TRUE(prober.SendTo(kDiscoveryPort, "KALVERN_DISCOVER"));
    const auto reply = prober.Receive();
    ASSERT_TRUE(reply);
    discovery = json::parse(*reply);
    client.emplace(static_cast<uint16_t>(discovery["port"].get<int>()));
    ASSERT_TRUE(client->IsConnected());
    const auto welcome = client->ReadLine();
    ASSERT_TRUE(welcome);
    EXPECT_EQ(*welcome,
              R"({"type":"WELCOME","protocol":2,"port":)" + discovery["port"].dump() + "}");
  }

  // Ticks the host until a state document satisfies `wanted`; every document must parse.
  std::optional<json> WaitForState(const std::function<bool(const json&)>& wanted) {
    const auto deadline = Clock::now() + 5s;
    while (Clock::now() < deadline) {
      stage.host.Run(33);
      while (auto line = client->ReadLine(20ms)) {
        json document = json::parse(*line);  // throws, failing the test, on invalid JSON
        EXPECT_EQ(document["type"], "STATE");
        if (wanted(document)) return document;
      }
    }
    return std::nullopt;
  }

  void Send(const std::string& line) { ASSERT_TRUE(client->Send(line + "\n")); }

  Stage stage;
  Prober prober;
  json discovery;
  std::optional<LineClient> client;
};

TEST_F(RemoteEndToEnd, DiscoveryNamesTheRunningInstance) {
  EXPECT_EQ(discovery["type"], "KALVERN_DISCOVERY");
  EXPECT_EQ(discovery["protocol"], 2);
  EXPECT_EQ(discovery["name"], "KALVERN LIVE PLAYBACK SYSTEM");
  EXPECT_EQ(discovery["projectName"], "Untitled Project");
  EXPECT_EQ(discovery["instanceId"].get<std::string>().size(), 16u);
}

TEST_F(RemoteEndToEnd, ANewClientIsGreetedWithTheCurrentState) {
  const auto state = WaitForState([](const json&) { return true; });
  ASSERT_TRUE(state);
  EXPECT_EQ((*state)["instanceId"], discovery["instanceId"]);
  EXPECT_EQ((*state)["page"], "MODE_SELECT");
  EXPECT_EQ((*state)["showStatus"], "PREPARED");
  ASSERT_EQ((*state)["setlist"].size(), 5u);
  EXPECT_EQ((*state)["setlist"][1]["name"], "Second");
  EXPECT_EQ((*state)["setlist"][1]["autoStart"], true);
  EXPECT_EQ((*state)["setlist"][2]["pause"], true);
  EXPECT_EQ((*state)["regions"].size(), 4u);
  EXPECT_EQ((*state)["setup"]["songCount"], 4);
  EXPECT_EQ((*state)["setup"]["musicTime"], "00:04:00");
  EXPECT_EQ((*state)["setup"]["durationMinutes"], 45);
  ASSERT_EQ((*state)["soundCheck"].size(), 3u);
  EXPECT_EQ((*state)["soundCheck"][2]["indentLevel"], 1);
  EXPECT_EQ((*state)["remote"]["clients"], 1);
}

TEST_F(RemoteEndToEnd, CommandsRunAShow) {
  Send(R"({"cmd":"MODE_LIVE"})");
  ASSERT_TRUE(WaitForState([](const json& s) { return s["page"] == "LIVE"; }));
  Send(R"({"cmd":"LIVE_START_SHOW"})");
  auto live = WaitForState([](const json& s) { return s["showStatus"] == "LIVE" && s["playing"]; });
  ASSERT_TRUE(live);
  EXPECT_EQ((*live)["currentIndex"], 0);

  Send(R"({"cmd":"LIVE_STOP"})");
  auto stopped = WaitForState([](const json& s) { return s["liveTransport"] == "REPLAY"; });
  ASSERT_TRUE(stopped);
  EXPECT_EQ((*stopped)["playing"], false);
  EXPECT_EQ((*stopped)["setlist"][0]["played"], false);

  Send(R"({"cmd":"LIVE_REPLAY"})");
  ASSERT_TRUE(WaitForState([](const json& s) { return s["playing"] == true; }));

  Send(R"({"cmd":"LIVE_END_SHOW"})");
  auto finished = WaitForState([](const json& s) { return s["showStatus"] == "FINISHED"; });
  ASSERT_TRUE(finished);
  EXPECT_EQ((*finished)["page"], "FINISHED");
}

TEST_F(RemoteEndToEnd, ASelectionDuringPlaybackIsRefusedSilently) {
  Send(R"({"cmd":"MODE_LIVE"})");
  Send(R"({"cmd":"LIVE_START_SHOW"})");
  ASSERT_TRUE(WaitForState([](const json& s) { return s["playing"] == true; }));
  Send(R"({"cmd":"LIVE_SELECT","index":3})");
  Send(R"({"cmd":"REQUEST_STATE"})");
  auto state = WaitForState([](const json&) { return true; });
  ASSERT_TRUE(state);
  EXPECT_EQ((*state)["currentIndex"], 0);
  EXPECT_TRUE(stage.host.Messages().empty());  // nothing blocks the stage computer
}

TEST_F(RemoteEndToEnd, SetupCommandsEditAndStoreTheSetlist) {
  Send(R"({"cmd":"SETUP_REMOVE","index":2})");
  Send(R"({"cmd":"SETUP_ADD_REGION","regionId":2})");  // already there: refused
  Send(R"({"cmd":"SETUP_DURATION","minutes":60})");
  auto state = WaitForState([](const json& s) { return s["setup"]["durationMinutes"] == 60; });
  ASSERT_TRUE(state);
  EXPECT_EQ((*state)["setlist"].size(), 4u);
  EXPECT_EQ((*state)["page"], "SETLIST_SETUP");
  EXPECT_EQ(stage.host.ExtState("Quorvane", "Setlist.Count"), "4");
  EXPECT_EQ(stage.host.ExtState("Quorvane", "show_duration"), "3600.000000");
  EXPECT_GE(stage.host.Project().dirtyCount, 2);
}

TEST_F(RemoteEndToEnd, PractiseWithCountInThroughRemoteCommands) {
  Send(R"({"cmd":"MODE_PRACTISE"})");
  Send(R"({"cmd":"PRACTISE_PRECOUNT","beats":4})");
  Send(R"({"cmd":"PRACTISE_START","index":0})");
  Send(R"({"cmd":"PRACTISE_PLAY"})");
  auto counting = WaitForState([](const json& s) { return s["practise"]["countingIn"] == true; });
  ASSERT_TRUE(counting);
  EXPECT_EQ((*counting)["practise"]["regionId"], 1);
  EXPECT_EQ((*counting)["practise"]["markers"].size(), 2u);
  EXPECT_EQ(stage.host.PlayingPreviews(), 1);

  // Four beats at 120 BPM: two seconds of click, then the section starts at its marker.
  auto playing = WaitForState([](const json& s) { return s["practise"]["playing"] == true; });
  ASSERT_TRUE(playing);
  EXPECT_EQ(stage.host.PlayingPreviews(), 0);
  EXPECT_GE(stage.host.PlayPosition(), 10.0);

  Send(R"({"cmd":"PRACTISE_STOP"})");
  ASSERT_TRUE(WaitForState([](const json& s) { return s["practise"]["active"] == false; }));
  EXPECT_EQ(stage.host.Transport(), quorvane::sim::TransportState::kStopped);
}

TEST_F(RemoteEndToEnd, TrackCommandsMuteAndSoloTheHostsTracks) {
  Send(R"({"cmd":"PROJECT_TRACK_MUTE","trackIndex":1,"muted":true})");
  Send(R"({"cmd":"PROJECT_TRACK_SOLO","trackIndex":2,"soloed":true})");
  auto state = WaitForState([](const json& s) {
    return s["soundCheck"][1]["muted"] == true && s["soundCheck"][2]["soloed"] == true;
  });
  ASSERT_TRUE(state);
  EXPECT_EQ((*state)["page"], "SOUND_CHECK");
  EXPECT_TRUE(stage.host.Track(1).mute);
  EXPECT_EQ(stage.host.Track(2).solo, 1);
}

TEST_F(RemoteEndToEnd, UnknownAndMalformedLinesChangeNothing) {
  auto before = WaitForState([](const json&) { return true; });
  ASSERT_TRUE(before);
  // A client greeted between two broadcasts may get its document once more with the next one,
  // 50 ms of real time after the last.
  std::this_thread::sleep_for(60ms);
  stage.host.Run(100);
  while (client->ReadLine(20ms)) {
  }
  Send(R"({"cmd":"NO_SUCH_COMMAND"})");
  Send(R"({"type":"LIVE_START_SHOW"})");
  Send("not json at all");
  Send(R"({"cmd":"SETUP_REMOVE","index":"1"})");
  Send(R"({"cmd":"PING"})");
  for (int i = 0; i < 10; ++i)
    stage.host.Run(33);
  EXPECT_TRUE(client->StaysQuiet(100ms));
  EXPECT_EQ(stage.host.ExtState("Quorvane", "Setlist.Count"), "5");
}

TEST_F(RemoteEndToEnd, NamesWithQuotesAndControlBytesStayValidJson) {
  stage.host.AddRegion(9, "Say \"hi\"\\\t\x01 caf\xC3\xA9", 300.0, 330.0);
  auto state = WaitForState([](const json& s) { return s["regions"].size() == 5u; });
  ASSERT_TRUE(state);
  EXPECT_EQ((*state)["regions"][4]["name"], "Say \"hi\"\\\t\x01 caf\xC3\xA9");
}

}  // namespace

namespace {

TEST_F(RemoteEndToEnd, LeavingLiveModeDuringAShowStopsItAndPreparesAFreshOne) {
  Send(R"({"cmd":"SETUP_DURATION","minutes":60})");
  Send(R"({"cmd":"MODE_LIVE"})");
  Send(R"({"cmd":"LIVE_START_SHOW"})");
  ASSERT_TRUE(WaitForState([](const json& s) { return s["playing"] == true; }));
  Send(R"({"cmd":"EXIT_MODE"})");
  auto state = WaitForState([](const json& s) { return s["page"] == "MODE_SELECT"; });
  ASSERT_TRUE(state);
  EXPECT_EQ((*state)["showStatus"], "PREPARED");
  EXPECT_EQ((*state)["playing"], false);
  EXPECT_EQ((*state)["setup"]["durationMinutes"], 45);
  EXPECT_EQ(stage.host.Transport(), quorvane::sim::TransportState::kStopped);
}

TEST_F(RemoteEndToEnd, UnloadDuringACountInGivesEverythingBack) {
  stage.host.SetConfigVar("projmetroen", 9);
  stage.host.SetConfigVar("preroll", 3);
  Send(R"({"cmd":"MODE_PRACTISE"})");
  Send(R"({"cmd":"PRACTISE_PRECOUNT","beats":8})");
  Send(R"({"cmd":"PRACTISE_PLAY"})");
  ASSERT_TRUE(WaitForState([](const json& s) { return s["practise"]["countingIn"] == true; }));
  ASSERT_EQ(stage.host.CreatedSourcePaths().size(), 1u);
  const std::string clickFile = stage.host.CreatedSourcePaths()[0];
  EXPECT_EQ(stage.host.ConfigVar("projmetroen"), 1);

  ReaperPluginEntry(nullptr, nullptr);
  EXPECT_EQ(stage.host.PlayingPreviews(), 0);
  EXPECT_EQ(stage.host.LiveSources(), 0);
  EXPECT_EQ(stage.host.ConfigVar("projmetroen"), 9);
  EXPECT_EQ(stage.host.ConfigVar("preroll"), 3);
  EXPECT_FALSE(std::filesystem::exists(
      std::filesystem::path(std::u8string(clickFile.begin(), clickFile.end()))));
}

TEST_F(RemoteEndToEnd, RegionsEditedMidShowAppearInTheNextDocument) {
  Send(R"({"cmd":"MODE_LIVE"})");
  Send(R"({"cmd":"LIVE_START_SHOW"})");
  ASSERT_TRUE(WaitForState([](const json& s) { return s["playing"] == true; }));
  quorvane::sim::Host& host = stage.host;
  host.Project().regions[2].name = "Third, renamed";
  host.Project().regions[3].end = 270.0;  // the closer grows by half a minute
  host.ProjectEdited();
  host.AddRegion(5, "Encore", 300.0, 330.0);
  const auto edited = WaitForState([](const json& s) { return s["regions"].size() == 5u; });
  ASSERT_TRUE(edited);
  EXPECT_EQ((*edited)["regions"][2]["name"], "Third, renamed");
  EXPECT_EQ((*edited)["regions"][3]["duration"], 90.0);
  EXPECT_EQ((*edited)["setlist"][3]["name"], "Third, renamed");

  host.Project().regions.pop_back();
  host.ProjectEdited();
  EXPECT_TRUE(WaitForState([](const json& s) { return s["regions"].size() == 4u; }));
}

}  // namespace
