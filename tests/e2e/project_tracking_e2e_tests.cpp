// A remote command acts on the project that is open when it runs, even between the host's timer
// ticks: after a switch of project tabs, and before the very first tick. Run with the simulator's
// wake and, in the Windows build, with the system's own message-only window.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "e2e/stage.h"
#include "platform/main_thread_wake.h"
#include "remote/loopback_client.h"
#include "sim/platform/message_pump.h"

namespace {

using nlohmann::json;
using quorvane::e2e::Stage;
using quorvane::remote::testing::Clock;
using quorvane::remote::testing::LineClient;
using quorvane::remote::testing::Prober;
using namespace std::chrono_literals;

constexpr uint16_t kDiscoveryPort = 48193;

// true: the simulator withholds its wake seam, so the extension makes its real message-only
// window and the system's message loop delivers the wakes.
class ProjectTracking : public ::testing::TestWithParam<bool> {
 protected:
  ProjectTracking() : stage(Stage::Options{GetParam()}) {}

  void SetUp() override {
    ASSERT_TRUE(stage.loaded);
    ASSERT_TRUE(prober.SendTo(kDiscoveryPort, "KALVERN_DISCOVER"));
    const auto reply = prober.Receive();
    ASSERT_TRUE(reply);
    client.emplace(static_cast<uint16_t>(json::parse(*reply)["port"].get<int>()));
    ASSERT_TRUE(client->IsConnected());
    ASSERT_TRUE(client->ReadLine());  // the greeting
  }

  // The host's message loop without its timer: delivers wakes until `done` holds.
  template <class Condition>
  bool DeliverWakesUntil(Condition done) {
    const auto deadline = Clock::now() + 5s;
    while (!done()) {
      if (Clock::now() > deadline) return false;
      stage.host.DeliverMessages();
      quorvane::platform::PumpWindowMessages();
      std::this_thread::sleep_for(2ms);
    }
    return true;
  }

  // The next state document whose setlist has `count` items (documents are sent as they change).
  std::optional<json> DocumentWithSetlistOf(size_t count) {
    std::optional<json> found;
    DeliverWakesUntil([&] {
      const auto line = client->ReadLine(10ms);
      if (!line) return false;
      const json document = json::parse(*line, nullptr, false);
      if (document.is_object() && document.value("type", "") == "STATE" &&
          document["setlist"].size() == count)
        found = document;
      return found.has_value();
    });
    return found;
  }

  std::string Stored(const std::string& key) const { return stage.host.ExtState("Quorvane", key); }

  Stage stage;
  Prober prober;
  std::optional<LineClient> client;
};

TEST_P(ProjectTracking, AnEditBetweenTicksAfterATabSwitchLandsInTheProjectNowOpen) {
  stage.host.Run(100);  // project A, the band's, is tracked: [1, 2 (auto), pause, 3, 4]
  const int b = stage.host.AddProject("/shows/b.rpp");
  stage.host.SelectProject(b);
  stage.host.AddRegion(7, "Seven", 0.0, 30.0);
  quorvane::testing::StoreSetlist(stage.host, {{7}});
  // No tick since the switch: the wake alone runs the command. The TCP server sends at most a
  // document every 50 ms: the wait lets the wake's document go out at once.
  std::this_thread::sleep_for(60ms);
  ASSERT_TRUE(client->Send("{\"cmd\":\"SETUP_ADD_PAUSE\"}\n"));
  ASSERT_TRUE(DeliverWakesUntil([&] { return Stored("Setlist.Count") == "2"; }));
  EXPECT_EQ(Stored("Setlist.Item.0.RegionID"), "7");
  EXPECT_EQ(Stored("Setlist.Item.1.Type"), "PAUSE");

  // The document sent on that wake describes project B alone.
  const auto document = DocumentWithSetlistOf(2);
  ASSERT_TRUE(document);
  EXPECT_EQ((*document)["setlist"][0]["regionId"], 7);
  EXPECT_EQ((*document)["setlist"][0]["name"], "Seven");

  stage.host.Run(100);  // the ticks agree
  EXPECT_EQ(Stored("Setlist.Count"), "2");
  stage.host.SelectProject(0);
  EXPECT_EQ(Stored("Setlist.Count"), "5");  // project A untouched
  EXPECT_EQ(Stored("Setlist.Item.0.RegionID"), "1");
}

TEST_P(ProjectTracking, AShowStartedBeforeTheFirstTickStillPlaysAfterIt) {
  ASSERT_EQ(stage.host.CountCalls("OnPlayButton"), 0);
  const int stopsAtLoad = stage.host.CountCalls("OnStopButton");  // a new project's reset
  ASSERT_TRUE(client->Send("{\"cmd\":\"MODE_LIVE\"}\n{\"cmd\":\"LIVE_START_SHOW\"}\n"));
  ASSERT_TRUE(DeliverWakesUntil([&] { return stage.host.CountCalls("OnPlayButton") == 1; }));
  stage.host.Tick();  // the host's first tick
  stage.host.Run(500);
  EXPECT_EQ(stage.host.Transport(), quorvane::sim::TransportState::kPlaying);
  EXPECT_EQ(stage.host.CountCalls("OnStopButton"), stopsAtLoad);
  EXPECT_GT(stage.host.PlayPosition(), 0.4);
}

std::vector<bool> WakeKinds() {
  if (quorvane::platform::SystemHasWindows()) return {false, true};
  return {false};
}

INSTANTIATE_TEST_SUITE_P(Wakes, ProjectTracking, ::testing::ValuesIn(WakeKinds()),
                         [](const ::testing::TestParamInfo<bool>& wake) {
                           return wake.param ? "SystemWindow" : "SimulatorSeam";
                         });

}  // namespace
