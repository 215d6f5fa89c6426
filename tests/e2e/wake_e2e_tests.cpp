// Remote commands and the count-in's end reach the host between its timer ticks: the extension
// wakes the host's main thread (here the simulator's message loop) instead of waiting for the next
// tick, and never inside a tick or modal loop of its own.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

#include "e2e/stage.h"
#include "platform/message_box.h"
#include "remote/loopback_client.h"

namespace {

using nlohmann::json;
using quorvane::e2e::Stage;
using quorvane::remote::testing::Clock;
using quorvane::remote::testing::LineClient;
using quorvane::remote::testing::Prober;
using namespace std::chrono_literals;

constexpr uint16_t kDiscoveryPort = 48193;

std::string Mute(int track, bool muted) {
  return R"({"cmd":"PROJECT_TRACK_MUTE","trackIndex":)" + std::to_string(track) + R"(,"muted":)" +
         (muted ? "true" : "false") + "}\n";
}

class WakeEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(stage.loaded);
    stage.host.Run(100);
    ASSERT_TRUE(prober.SendTo(kDiscoveryPort, "KALVERN_DISCOVER"));
    const auto reply = prober.Receive();
    ASSERT_TRUE(reply);
    port = static_cast<uint16_t>(json::parse(*reply)["port"].get<int>());
    first = Connect();
    ASSERT_TRUE(first);
  }

  std::optional<LineClient> Connect() {
    std::optional<LineClient> client;
    client.emplace(port);
    if (!client->IsConnected() || !client->ReadLine()) client.reset();  // the greeting
    return client;
  }

  // The host's loop without its timer: delivers posted wakes until `done` holds.
  template <class Condition>
  bool DeliverUntil(Condition done) {
    const auto deadline = Clock::now() + 5s;
    while (!done()) {
      if (Clock::now() > deadline) return false;
      stage.host.WaitForPostedWake(50);
      stage.host.DeliverMessages();
    }
    return true;
  }

  // The tracks the extension muted or unmuted, in the order the host was told.
  std::vector<std::string> MuteCalls() const {
    std::vector<std::string> calls;
    for (const auto& call : stage.host.CallsTo("GetSetMediaTrackInfo"))
      calls.push_back(std::to_string(call.command) + ":" + call.text);
    return calls;
  }

  Stage stage;
  Prober prober;
  uint16_t port = 0;
  std::optional<LineClient> first;
};

TEST_F(WakeEndToEnd, ACommandReachesTheHostWithoutWaitingForATick) {
  ASSERT_TRUE(first->Send("{\"cmd\":\"MODE_LIVE\"}\n{\"cmd\":\"LIVE_START_SHOW\"}\n"));
  EXPECT_TRUE(DeliverUntil([&] { return stage.host.CountCalls("OnPlayButton") == 1; }));
  EXPECT_EQ(stage.host.Transport(), quorvane::sim::TransportState::kPlaying);
}

TEST_F(WakeEndToEnd, CommandsKeepTheirArrivalOrderAcrossClientsTheWakeAndTheTick) {
  auto second = Connect();
  ASSERT_TRUE(second);
  ASSERT_TRUE(first->Send(Mute(0, true)));
  ASSERT_TRUE(DeliverUntil([&] { return MuteCalls().size() == 1; }));
  // The next one is queued and announced, but the tick runs it before the wake is delivered.
  ASSERT_TRUE(second->Send(Mute(1, true)));
  ASSERT_TRUE(stage.host.WaitForPostedWake(5000));
  stage.host.Tick();
  EXPECT_EQ(MuteCalls().size(), 2u);
  ASSERT_TRUE(first->Send(Mute(0, false)));
  ASSERT_TRUE(DeliverUntil([&] { return MuteCalls().size() == 3; }));
  stage.host.Run(100);  // late wakes and ticks find nothing left: no command runs twice
  EXPECT_EQ(MuteCalls(), (std::vector<std::string>{"0:B_MUTE=1", "1:B_MUTE=1", "0:B_MUTE=0"}));
  EXPECT_FALSE(stage.host.Track(0).mute);
  EXPECT_TRUE(stage.host.Track(1).mute);
}

TEST_F(WakeEndToEnd, ACommandArrivingWhileOurMessageBoxIsOpenWaitsForTheTickAndRunsOnce) {
  size_t ranInsideTheBox = 99;
  stage.host.SetModalLoop([&] {
    // The box's modal loop dispatches the host's messages, our wake among them.
    if (!first->Send(Mute(2, true)) || !stage.host.WaitForPostedWake(5000)) return;
    stage.host.DeliverMessages();
    ranInsideTheBox = MuteCalls().size();
  });
  const quorvane::platform::MessageBoxes boxes(stage.host.MessageSink());
  boxes.Show(nullptr, "Could not select this song.", "Quorvane",
             quorvane::platform::MessageIcon::kWarning);
  stage.host.SetModalLoop(nullptr);
  EXPECT_EQ(ranInsideTheBox, 0u);
  stage.host.Tick();
  stage.host.Run(100);
  EXPECT_EQ(MuteCalls(), std::vector<std::string>{"2:B_MUTE=1"});
}

TEST_F(WakeEndToEnd, TheCountInEndsOnTheBeatNotOnTheNextTick) {
  ASSERT_TRUE(
      first->Send("{\"cmd\":\"MODE_PRACTISE\"}\n{\"cmd\":\"PRACTISE_PRECOUNT\",\"beats\":4}\n"
                  "{\"cmd\":\"PRACTISE_START\",\"index\":0}\n{\"cmd\":\"PRACTISE_PLAY\"}\n"));
  const auto deadline = Clock::now() + 5s;
  while (stage.host.CountCalls("PlayPreviewEx") == 0 && Clock::now() < deadline)
    stage.host.Run(33);
  ASSERT_EQ(stage.host.CountCalls("PlayPreviewEx"), 1);
  const int64_t clickStartMs = stage.host.CallsTo("PlayPreviewEx")[0].atMs;
  stage.host.Run(3000);  // ticks every 33 ms: 2,000 ms is not a whole number of them
  ASSERT_EQ(stage.host.CountCalls("OnPlayButton"), 1);
  // Four beats at 120 BPM.
  const int64_t countInMs = stage.host.CallsTo("OnPlayButton")[0].atMs - clickStartMs;
  EXPECT_GE(countInMs, 2000);
  EXPECT_LE(countInMs, 2001);
  EXPECT_GE(stage.host.PlayPosition(), 10.0);  // the section started at its marker
}

TEST_F(WakeEndToEnd, UnloadWhileWakesAreInFlightRunsNothingMoreAndLeavesNoWake) {
  std::string burst;
  for (int i = 0; i < 50; ++i)
    burst += Mute(i % 3, i % 2 == 0);
  ASSERT_TRUE(first->Send(burst));
  ASSERT_TRUE(stage.host.WaitForPostedWake(5000));
  ReaperPluginEntry(nullptr, nullptr);
  const size_t atUnload = MuteCalls().size();
  EXPECT_FALSE(stage.host.DeliverMessages());  // nobody is attached any more
  stage.host.Run(200);
  EXPECT_EQ(MuteCalls().size(), atUnload);
  EXPECT_EQ(stage.host.TimerDueInMs(), -1);
  EXPECT_TRUE(stage.host.Problems().empty());
}

}  // namespace
