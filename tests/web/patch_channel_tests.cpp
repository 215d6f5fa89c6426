// The patch channel over a whole show: a web client that applies every patch in order always
// holds the document the extension built last, through setlist edits, a practise run with a
// count-in and a live show played to its end, all commanded through the web socket.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <optional>
#include <thread>

#include "core/core.h"
#include "sim/sim_host.h"
#include "support/stored_setlist.h"
#include "web/web_client.h"
#include "web/web_server.h"

namespace quorvane::web {
namespace {

using Json = nlohmann::json;

const AccessKeys kKeys{"controlkey", "viewkey234"};

class PatchChannel : public ::testing::Test {
 protected:
  PatchChannel() {
    host.AddRegion(1, "Opener", 0.0, 30.0);
    host.AddMarker(1, "Verse", 10.0);
    host.AddMarker(2, "Chorus \"big\"", 20.0);
    host.AddRegion(2, "Second", 30.0, 60.0);
    host.AddRegion(3, "Third", 60.0, 90.0);
    host.AddTrack("Click", 0);
    host.AddTrack("Backing", 1);
    host.AddTrack("Keys", -1);
    quorvane::testing::StoreSetlist(host, {{1}, {2, true}, quorvane::testing::Pause(), {3}});
    host.SetConfigVar("smoothseek", 0);
    core.emplace(host.Info()->GetFunc, core::CoreOptions::Closed());
    core->Init();
  }

  WebServer& Web() { return core->Web().Server(); }

  // One timer tick of the core; what it published is the document as it stands after it.
  void Tick() {
    core->Tick();
    last = core->StateDocument();
  }

  // Reads until the client's document is the one built last; false at the deadline.
  bool CaughtUp() {
    const Json target = Json::parse(last);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (held != target) {
      // Heartbeats keep coming: the deadline is for the whole catching up.
      if (std::chrono::steady_clock::now() > deadline) return false;
      const auto message = client.Read();
      if (!message) return false;
      held.merge_patch(Json::parse(*message));
    }
    return true;
  }

  void Command(const std::string& line) {
    ASSERT_TRUE(client.Send(line));
    // Once the command is in the inbox, the next tick runs it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (core->Inbox().QueuedCount() == 0) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << line;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Tick();
    ASSERT_TRUE(CaughtUp()) << "after " << line;
  }

  void Play(int64_t ms, int64_t step = 250) {
    for (int64_t t = 0; t < ms; t += step) {
      host.Advance(step);
      Tick();
      ASSERT_TRUE(CaughtUp()) << "at " << host.ElapsedMs() << " ms";
    }
  }

  sim::Host host;
  std::optional<core::Core> core;
  testing::WebSocketClient client;
  std::string last;
  Json held;
};

TEST_F(PatchChannel, PatchesAppliedInOrderAlwaysGiveTheCurrentDocument) {
  ASSERT_TRUE(Web().Start(0, kKeys));
  ASSERT_EQ(client.Connect(Web().Port(), "/ws?key=" + kKeys.control), 101);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (Web().ClientCount() == 0) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  Tick();
  const auto first = client.Read();
  ASSERT_TRUE(first);
  EXPECT_EQ(*first, last);  // the whole document, exactly as built
  held = Json::parse(*first);

  // Setlist edits.
  Command(R"({"cmd":"OPEN_LIVE_SETUP"})");
  Command(R"({"cmd":"SETUP_REMOVE","index":3})");
  Command(R"({"cmd":"SETUP_ADD_PAUSE"})");
  Command(R"({"cmd":"SETUP_ADD_REGION","regionId":3})");
  Command(R"({"cmd":"SETUP_MOVE_UP","index":0})");
  Command(R"({"cmd":"SETUP_MOVE_DOWN","index":0})");
  Command(R"({"cmd":"SETUP_TOGGLE_AUTOSTART","index":1})");
  Command(R"({"cmd":"SETUP_DURATION","minutes":20})");
  EXPECT_EQ(held["setlist"].size(), 5u);

  // A practise run with a count-in, looped, then stopped.
  Command(R"({"cmd":"MODE_PRACTISE"})");
  Command(R"({"cmd":"PRACTISE_REGION","index":1})");
  Command(R"({"cmd":"PRACTISE_START","index":0})");
  Command(R"({"cmd":"PRACTISE_PRECOUNT","beats":4})");
  Command(R"({"cmd":"PRACTISE_LOOP","enabled":true})");
  Command(R"({"cmd":"PRACTISE_PLAY"})");
  Play(8000);
  EXPECT_TRUE(held["practise"]["playing"].get<bool>());
  Command(R"({"cmd":"PRACTISE_STOP"})");

  // The live show to its end.
  Command(R"({"cmd":"MODE_LIVE"})");
  Command(R"({"cmd":"LIVE_START_SHOW"})");
  Play(40000);
  Command(R"({"cmd":"LIVE_PLAY_NEXT"})");
  Play(40000);
  Command(R"({"cmd":"LIVE_STOP"})");
  Command(R"({"cmd":"LIVE_PLAY_NEXT"})");
  Play(40000);
  Command(R"({"cmd":"LIVE_END_SHOW"})");
  EXPECT_EQ(held["showStatus"], "FINISHED");
  EXPECT_EQ(held, Json::parse(last));
}

}  // namespace
}  // namespace quorvane::web
