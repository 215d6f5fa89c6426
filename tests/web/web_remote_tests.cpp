// The web remote's keys and port kept with the host's global settings, so that a bookmarked
// address keeps working from one session to the next, and new keys retire the old address.
#include "web/web_remote.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "host/reaper_api.h"
#include "sim/sim_host.h"
#include "web/web_client.h"

QUORVANE_EXPORT int ReaperPluginEntry(HINSTANCE instance, reaper_plugin_info_t* rec);

namespace quorvane::web {
namespace {

// The web remotes here never run a command: one inbox for all of them.
inbox::CommandInbox inbox;

GlobalSettingsFunctions HostSettings(sim::Host& host) {
  GlobalSettingsFunctions settings;
  settings.get = reinterpret_cast<decltype(settings.get)>(host.Info()->GetFunc("GetExtState"));
  settings.set = reinterpret_cast<decltype(settings.set)>(host.Info()->GetFunc("SetExtState"));
  return settings;
}

std::string KeyOf(const std::string& address) {
  return address.substr(address.find("?key=") + 5);
}

TEST(WebRemote, KeysAreDrawnOnceAndKeptWithTheHostsSettings) {
  sim::Host host;
  std::string control;
  {
    WebRemote first(inbox, HostSettings(host));
    ASSERT_TRUE(first.Start());
    control = first.Keys().control;
    EXPECT_TRUE(IsWellFormedAccessKey(control));
    EXPECT_NE(first.Keys().view, control);
    EXPECT_EQ(host.GlobalExtState("Quorvane", "webControlKey"), control);
    EXPECT_EQ(host.GlobalExtState("Quorvane", "webPortInUse"),
              std::to_string(first.Server().Port()));
    const auto addresses = first.ControlAddresses();
    ASSERT_FALSE(addresses.empty());
    EXPECT_EQ(KeyOf(addresses.front()), control);
    EXPECT_EQ(KeyOf(first.ViewAddresses().front()), first.Keys().view);
  }
  WebRemote next(inbox, HostSettings(host));
  ASSERT_TRUE(next.Start());
  EXPECT_EQ(next.Keys().control, control);
  EXPECT_EQ(testing::Request(next.Server().Port(), "/?key=" + control).status, 200);
}

TEST(WebRemote, PagesLoadedThroughANameTheBandGaveTheComputerMayConnect) {
  sim::Host host;
  host.SetGlobalExtState("Quorvane", "webHostNames", "Stage.Band, foh.local");
  WebRemote remote(inbox, HostSettings(host));
  ASSERT_TRUE(remote.Start());
  const uint16_t port = remote.Server().Port();
  const std::string target = "/ws?key=" + remote.Keys().control;
  for (const char* name : {"stage.band", "foh.local"}) {
    testing::WebSocketClient page;
    EXPECT_EQ(
        page.Connect(port, target, "http://" + std::string(name) + ":" + std::to_string(port)), 101)
        << name;
  }
  testing::WebSocketClient elsewhere;
  EXPECT_EQ(elsewhere.Connect(port, target, "http://band.example:" + std::to_string(port)), 403);
}

TEST(WebRemote, TheChosenPortIsUsedAndNewKeysRetireTheOldAddress) {
  sim::Host host;
  // A port nobody uses right now: the one the system gives a first server.
  uint16_t chosen = 0;
  {
    WebServer probe(inbox);
    ASSERT_TRUE(probe.Start(0, {"aaaaaaaaaa", "bbbbbbbbbb"}));
    chosen = probe.Port();
  }
  HostSettings(host).set("Quorvane", "webPort", std::to_string(chosen).c_str(), true);
  WebRemote remote(inbox, HostSettings(host));
  ASSERT_TRUE(remote.Start());
  EXPECT_EQ(remote.Server().Port(), chosen);
  const std::string old = remote.Keys().control;
  remote.DrawNewKeys();
  EXPECT_NE(remote.Keys().control, old);
  EXPECT_EQ(host.GlobalExtState("Quorvane", "webControlKey"), remote.Keys().control);
  EXPECT_EQ(testing::Request(chosen, "/?key=" + old).status, 403);
  EXPECT_EQ(testing::Request(chosen, "/?key=" + remote.Keys().control).status, 200);
}

TEST(WebRemote, WithoutTheHostsSettingsTheKeysLastForTheSession) {
  WebRemote remote(inbox, GlobalSettingsFunctions{});
  ASSERT_TRUE(remote.Start());
  EXPECT_TRUE(IsWellFormedAccessKey(remote.Keys().control));
  EXPECT_EQ(testing::Request(remote.Server().Port(), "/?key=" + remote.Keys().view).status, 200);
}

TEST(WebRemote, TheLoadedExtensionServesItsAddressAndUnloadingClosesItsClients) {
  sim::Host host;
  ASSERT_EQ(ReaperPluginEntry(nullptr, host.Info()), 1);
  const auto port =
      static_cast<uint16_t>(std::stoi(host.GlobalExtState("Quorvane", "webPortInUse")));
  const std::string key = host.GlobalExtState("Quorvane", "webControlKey");
  testing::WebSocketClient client;
  ASSERT_EQ(client.Connect(port, "/ws?key=" + key), 101);
  // The host's timer runs on a thread of its own while the client waits for its first document.
  std::atomic<bool> ticking{true};
  std::thread timer([&] {
    while (ticking) {
      host.Tick();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const std::optional<std::string> first = client.Read();
  ticking = false;
  timer.join();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->rfind(R"({"type":"STATE")", 0), 0u);

  ReaperPluginEntry(nullptr, nullptr);
  EXPECT_TRUE(client.WaitForClose());
  EXPECT_EQ(testing::Request(port, "/?key=" + key).status, 0);
}

TEST(WebRemote, ABrowserCommandRunsAtOnceWithoutWaitingForATick) {
  sim::Host host;
  host.AddTrack("Drums");
  ASSERT_EQ(ReaperPluginEntry(nullptr, host.Info()), 1);
  const auto port =
      static_cast<uint16_t>(std::stoi(host.GlobalExtState("Quorvane", "webPortInUse")));
  testing::WebSocketClient client;
  ASSERT_EQ(client.Connect(port, "/ws?key=" + host.GlobalExtState("Quorvane", "webControlKey")),
            101);
  ASSERT_TRUE(client.Send(R"({"cmd":"PROJECT_TRACK_MUTE","trackIndex":0,"muted":true})"));
  // The host's loop without its timer: only the wake the server posts can run the command.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!host.Track(0).mute && std::chrono::steady_clock::now() < deadline) {
    host.WaitForPostedWake(50);
    host.DeliverMessages();
  }
  EXPECT_TRUE(host.Track(0).mute);
  ReaperPluginEntry(nullptr, nullptr);
}

TEST(WebRemote, ASelectionRefusedDuringPlaybackTellsTheBrowserWhy) {
  sim::Host host;
  host.AddRegion(1, "Opener", 0.0, 60.0);
  host.AddRegion(2, "Second", 60.0, 120.0);
  host.SetExtState("Quorvane", "Setlist.Count", "2");
  host.SetExtState("Quorvane", "Setlist.Item.0.RegionID", "1");
  host.SetExtState("Quorvane", "Setlist.Item.1.RegionID", "2");
  ASSERT_EQ(ReaperPluginEntry(nullptr, host.Info()), 1);
  host.Run(100);
  ASSERT_TRUE(host.RunAction("Quorvane_StartShow"));
  const auto port =
      static_cast<uint16_t>(std::stoi(host.GlobalExtState("Quorvane", "webPortInUse")));
  testing::WebSocketClient client;
  ASSERT_EQ(client.Connect(port, "/ws?key=" + host.GlobalExtState("Quorvane", "webControlKey")),
            101);
  ASSERT_TRUE(client.Send(R"({"cmd":"LIVE_SELECT","index":1})"));

  // The wake runs the command; the refusal comes among the state documents.
  nlohmann::json refused;
  for (int round = 0; round < 100 && refused.is_null(); ++round) {
    host.WaitForPostedWake(50);
    host.DeliverMessages();
    for (int read = 0; read < 5 && refused.is_null(); ++read) {
      const std::optional<std::string> message = client.Read(std::chrono::milliseconds(20));
      if (!message) break;
      const nlohmann::json parsed = nlohmann::json::parse(*message, nullptr, false);
      if (parsed.is_object() && parsed.value("type", "") == "REFUSED") refused = parsed;
    }
  }
  ASSERT_FALSE(refused.is_null());
  EXPECT_EQ(refused["cmd"], "LIVE_SELECT");
  EXPECT_EQ(refused["reason"], "Cannot select another song during playback.");
  EXPECT_TRUE(host.Messages().empty());  // nobody on stage has a box to click away
  EXPECT_LT(host.PlayPosition(), 60.0);  // the first song plays on
  ReaperPluginEntry(nullptr, nullptr);
}

}  // namespace
}  // namespace quorvane::web
