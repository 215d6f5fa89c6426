// The whole system behind a running server, over real loopback connections: what a remote app sees
// when it drives the show, and what a flood of commands costs the host's main thread.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <optional>
#include <string>

#include "remote/state_document.h"
#include "remote/system_fixture.h"
#include "tests/remote/loopback_client.h"

namespace quorvane::remote {
namespace {

using namespace testing;  // NOLINT: the loopback helpers
using nlohmann::json;

constexpr int64_t kMillisecond = 1'000'000;

class ServedSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    host.AddRegion(1, "Opener", 10.0, 20.0);
    host.AddRegion(2, "Second", 30.0, 40.0);
    system.emplace(host, [this] { return now_.load(); });
    system->server.SetStateProvider([this] { return BuildStateDocument(system->view); });
    ASSERT_TRUE(system->server.Start());
    client.emplace(system->server.Port());
    ASSERT_TRUE(client->IsConnected());
    ASSERT_TRUE(client->ReadLine());  // WELCOME
    ASSERT_TRUE(Eventually([&] { return system->server.ClientCount() == 1; }));
  }
  void TearDown() override {
    if (system) system->server.Stop();
  }

  // The main thread's run of the inbox; each command costs it `commandCost_` of the server's clock.
  void Dispatch() {
    system->inbox.Run([this](const std::string& line) {
      now_ += commandCost_;
      return system->core.RunRemoteCommand(line).refusal;
    });
  }

  // One timer tick of the host, past the broadcast pacing.
  void Tick() {
    host.Advance(33);
    now_ += 50 * kMillisecond;
    Dispatch();
    system->engine.Tick();
    system->engine.UpdateShowTiming();
    system->engine.SnapshotShowState();
    system->server.BroadcastState();
  }
  void Send(const std::string& lines) { ASSERT_TRUE(client->Send(lines)); }
  bool WaitQueued(std::size_t count) {
    return Eventually([&] { return system->inbox.QueuedCount() == count; });
  }
  json NextState() {
    const std::optional<std::string> line = client->ReadLine();
    EXPECT_TRUE(line);
    return line ? json::parse(*line) : json();
  }
  std::string Stored(const std::string& key) const { return host.ExtState("Quorvane", key); }

  platform::SocketLibrary sockets_;
  sim::Host host;
  std::atomic<int64_t> now_{1'000 * kMillisecond};
  int64_t commandCost_ = 0;
  std::optional<testing::SystemFixture> system;
  std::optional<LineClient> client;
};

// Play next moves the show without a broadcast of its own; the option that follows in the same
// tick broadcasts, and its document must show where the show is now.
TEST_F(ServedSystem, ADocumentAfterSeveralCommandsDescribesOneMoment) {
  ASSERT_TRUE(system->setlist.AddRegionToSetlist(1));
  ASSERT_TRUE(system->setlist.AddRegionToSetlist(2));
  Tick();
  const json before = NextState();
  ASSERT_EQ(before["playing"], false);
  ASSERT_EQ(before["currentIndex"], 0);

  Send("{\"cmd\":\"LIVE_PLAY_NEXT\"}\n{\"cmd\":\"OPTIONS_LIVE_MARKERS\",\"enabled\":false}\n");
  ASSERT_TRUE(WaitQueued(2));
  now_ += 50 * kMillisecond;
  Dispatch();
  const json after = NextState();
  EXPECT_EQ(after["showMarkerNamesInLiveMode"], false);
  EXPECT_EQ(after["playing"], true);
  EXPECT_EQ(after["currentIndex"], 1);
  EXPECT_DOUBLE_EQ(after["position"].get<double>(), 30.0);
}

// One client without any authentication floods the host with additions: the setlist stops at its
// limit, refused additions leave no trace, and each tick spends at most the dispatch budget on
// commands, leaving the rest in order for the following ticks.
TEST_F(ServedSystem, AFloodOfAdditionsIsBoundedPerTickAndByTheSetlistLimit) {
  // Nearly full already, so that the accepted additions' saves stay few.
  for (int i = 0; i < show::Setlist::kMaxItems - 5; ++i)
    ASSERT_TRUE(system->setlist.AddPause());
  std::string lines = "{\"cmd\":\"SETUP_ADD_REGION\",\"regionId\":1}\n";
  for (int i = 0; i < 1100; ++i)
    lines += "{\"cmd\":\"SETUP_ADD_PAUSE\"}\n";
  lines +=
      "{\"cmd\":\"SETUP_REMOVE\",\"index\":0}\n{\"cmd\":\"SETUP_ADD_REGION\",\"regionId\":2}\n";
  const std::size_t total = 1103;
  Send(lines);
  ASSERT_TRUE(WaitQueued(total));

  commandCost_ = kMillisecond;
  const std::size_t perTick = inbox::CommandInbox::kRunBudgetNanoseconds / kMillisecond;
  int ticks = 0;
  while (system->inbox.QueuedCount() > 0) {
    const int64_t start = now_.load();
    Dispatch();
    EXPECT_LE(now_.load() - start, inbox::CommandInbox::kRunBudgetNanoseconds);
    ++ticks;
    ASSERT_LT(ticks, 2000);
  }
  EXPECT_EQ(ticks, static_cast<int>((total + perTick - 1) / perTick));

  // The song and four pauses filled the list; the removal and the last addition ran after the
  // refused pauses, in the order sent.
  ASSERT_EQ(system->setlist.Count(), show::Setlist::kMaxItems);
  EXPECT_EQ(Stored("Setlist.Count"), "1000");
  EXPECT_EQ(Stored("Setlist.Item.994.RegionID"), "1");
  EXPECT_EQ(Stored("Setlist.Item.999.RegionID"), "2");
  EXPECT_EQ(host.Project().dirtyCount, 1 + 4 + 1 + 1);
  EXPECT_EQ(system->server.ClientCount(), 1u);
}

}  // namespace
}  // namespace quorvane::remote
