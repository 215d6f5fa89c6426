// The rig channel over real loopback sockets: the main's end on the web server and the backup's
// client. What a stranger, a browser page and a broken backup get (the server keeps serving the
// others), and what each rig's main thread receives from the other.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "inbox/command_inbox.h"
#include "rig/main_link_client.h"
#include "rig/rig_codec.h"
#include "web/rig_endpoint.h"
#include "web/web_client.h"
#include "web/web_server.h"

namespace quorvane::web {
namespace {

using testing::Request;
using testing::WebSocketClient;
using namespace std::chrono_literals;

const AccessKeys kKeys{"controlkey", "viewkey234"};

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds deadline = 20s) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

rig::ProjectPrint SmallPrint() {
  return {{{1, "Opener", 60.0}, {2, "Outro", 120.5}}, {{1, false}, {-1, false}, {2, true}}};
}

class FailureLog {
 public:
  inbox::FailureSink Sink() {
    return [this](std::string_view where, std::string_view what) {
      std::lock_guard lock(mutex_);
      lines_.push_back(std::string(where) + ": " + std::string(what));
    };
  }
  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return lines_.size();
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

// A main: its web server with the channel open, started on a port the system chooses.
class MainRig {
 public:
  explicit MainRig(bool rigChannel = true) {
    if (rigChannel) endpoint = std::make_unique<RigEndpoint>(server);
    server.SetFailureSink(failures.Sink());
  }
  bool Start() {
    if (!server.Start(0, kKeys)) return false;
    port = server.Port();
    return true;
  }
  std::string ControlAddress() const {
    return "http://127.0.0.1:" + std::to_string(port) + "/?key=" + kKeys.control;
  }
  std::vector<rig::FromBackup> Arrived(std::size_t atLeast) {
    std::vector<rig::FromBackup> all;
    WaitFor([&] {
      for (auto& message : endpoint->TakeArrived())
        all.push_back(std::move(message));
      return all.size() >= atLeast;
    });
    return all;
  }

  inbox::CommandInbox inbox;
  WebServer server{inbox};
  FailureLog failures;
  std::unique_ptr<RigEndpoint> endpoint;
  uint16_t port = 0;
};

std::string RigTarget(const std::string& key = kKeys.control) {
  return "/rig?key=" + key;
}

// A backup on the main's one place, once the server let go of the connection that held it.
std::unique_ptr<WebSocketClient> ConnectBackup(uint16_t port) {
  for (int attempt = 0; attempt < 500; ++attempt) {
    // A client serves one connection: a refused attempt needs a new one.
    auto backup = std::make_unique<WebSocketClient>();
    if (backup->Connect(port, RigTarget()) == 101) return backup;
    std::this_thread::sleep_for(10ms);
  }
  return nullptr;
}

TEST(RigChannelAccess, StrangersPagesAndSingleRigsAreRefusedWhileTheServerServesOthers) {
  MainRig main;
  ASSERT_TRUE(main.Start());
  // A wrong or missing key, and the view key: a backup commands the show.
  for (const std::string& key : {std::string(), std::string("wrongkey99"), kKeys.view}) {
    WebSocketClient stranger;
    EXPECT_EQ(stranger.Connect(main.port, RigTarget(key)), 403) << key;
  }
  // Every browser names its page's origin, even our own page's; a rig names none.
  WebSocketClient page;
  EXPECT_EQ(page.Connect(main.port, RigTarget(), "http://127.0.0.1:" + std::to_string(main.port)),
            403);
  EXPECT_EQ(Request(main.port, RigTarget()).status, 400);  // no upgrade

  // The server still serves its browsers and a real backup.
  EXPECT_EQ(Request(main.port, "/?key=" + kKeys.control).status, 200);
  {
    WebSocketClient backup;
    EXPECT_EQ(backup.Connect(main.port, RigTarget()), 101);
    EXPECT_TRUE(WaitFor([&] { return main.endpoint->ConnectedBackups() == 1; }));
    // One backup per main: a second would take the lead with the first when the main dies.
    WebSocketClient second;
    EXPECT_EQ(second.Connect(main.port, RigTarget()), 503);
  }
  EXPECT_TRUE(ConnectBackup(main.port)) << "the place is free again";

  // A single rig has no such path, key or not.
  MainRig single(false);
  ASSERT_TRUE(single.Start());
  EXPECT_EQ(Request(single.port, RigTarget()).status, 404);
  WebSocketClient lost;
  EXPECT_NE(lost.Connect(single.port, RigTarget()), 101);
  EXPECT_EQ(Request(single.port, "/?key=" + kKeys.control).status, 200);
}

TEST(RigChannelAccess, BadMessagesCloseOnlyTheirConnectionAndAreReported) {
  MainRig main;
  ASSERT_TRUE(main.Start());
  WebSocketClient page;
  ASSERT_EQ(page.Connect(main.port, "/ws?key=" + kKeys.control), 101);

  const std::string garbage[] = {
      "not json at all",
      R"({"type":"command"})",            // no line
      R"({"type":"command","line":42})",  // wrong type
      R"({"type":"hello","project":{"regions":"no"},"webAddress":""})",
      R"({"type":"launch","line":"LIVE_STOP"})",            // no such message
      std::string(rig::kMaxChannelMessageBytes + 10, 'x'),  // larger than any may be
  };
  std::size_t reported = main.failures.Count();
  for (const std::string& text : garbage) {
    const std::unique_ptr<WebSocketClient> bad = ConnectBackup(main.port);
    ASSERT_TRUE(bad) << text.substr(0, 60);
    ASSERT_TRUE(bad->Send(text));
    EXPECT_TRUE(bad->WaitForClose(20s)) << text.substr(0, 60);
    EXPECT_TRUE(WaitFor([&] { return main.failures.Count() > reported; })) << text.substr(0, 60);
    reported = main.failures.Count();
  }
  // Nothing of it reached the main thread; the page is still served, and the next backup heard.
  EXPECT_TRUE(main.endpoint->TakeArrived().empty());
  EXPECT_TRUE(page.IsOpen());
  const std::unique_ptr<WebSocketClient> good = ConnectBackup(main.port);
  ASSERT_TRUE(good);
  ASSERT_TRUE(good->Send(rig::Encode(rig::FromBackup(rig::BackupHello{SmallPrint(), "x"}))));
  ASSERT_TRUE(good->Send(rig::Encode(rig::FromBackup(rig::ForwardedCommand{"LIVE_STOP"}))));
  const auto arrived = main.Arrived(2);
  ASSERT_EQ(arrived.size(), 2u);
  EXPECT_EQ(std::get<rig::ForwardedCommand>(arrived[1]).line, "LIVE_STOP");
  EXPECT_TRUE(good->IsOpen());
}

TEST(RigChannelMain, ABackupGetsTheHelloAndLastStateThenEverythingSent) {
  MainRig main;
  ASSERT_TRUE(main.Start());
  main.endpoint->Send(rig::MainHello{SmallPrint(), kKeys.control, kKeys.view});
  main.endpoint->Send(rig::MainState{R"({"show":"first"})"});
  main.endpoint->Send(rig::MainState{R"({"show":"second"})"});

  WebSocketClient backup;
  ASSERT_EQ(backup.Connect(main.port, RigTarget()), 101);
  const auto hello = rig::DecodeFromMain(backup.Read().value_or(""));
  ASSERT_TRUE(hello && std::holds_alternative<rig::MainHello>(*hello));
  EXPECT_EQ(std::get<rig::MainHello>(*hello).controlKey, kKeys.control);
  EXPECT_EQ(std::get<rig::MainHello>(*hello).project.regions[1].name, "Outro");
  const auto state = rig::DecodeFromMain(backup.Read().value_or(""));
  ASSERT_TRUE(state && std::holds_alternative<rig::MainState>(*state));
  EXPECT_EQ(std::get<rig::MainState>(*state).document, R"({"show":"second"})");

  ASSERT_TRUE(WaitFor([&] { return main.endpoint->ConnectedBackups() == 1; }));
  rig::TimelineSample sample;
  sample.sequence = 7;
  sample.position = 12.5;
  sample.playing = true;
  main.endpoint->Send(sample);
  const auto timeline = rig::DecodeFromMain(backup.Read().value_or(""));
  ASSERT_TRUE(timeline && std::holds_alternative<rig::TimelineSample>(*timeline));
  EXPECT_EQ(std::get<rig::TimelineSample>(*timeline).sequence, 7u);
  EXPECT_DOUBLE_EQ(std::get<rig::TimelineSample>(*timeline).position, 12.5);
}

TEST(RigChannelMain, ABackupThatDoesNotReadIsDroppedWithoutHoldingTheMain) {
  MainRig main;
  ASSERT_TRUE(main.Start());
  WebSocketClient stuck;  // connects, then never reads
  ASSERT_EQ(stuck.Connect(main.port, RigTarget()), 101);
  ASSERT_TRUE(WaitFor([&] { return main.endpoint->ConnectedBackups() == 1; }));
  const std::string big(900 * 1024, 'a');
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 200 && main.endpoint->ConnectedBackups() > 0; ++i) {
    main.endpoint->Send(rig::MainState{big + std::to_string(i)});
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_TRUE(WaitFor([&] { return main.endpoint->ConnectedBackups() == 0; }));
  // Sending never waited for the backup: 200 sends and their pauses take about a second.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 15s);
}

TEST(RigChannelLink, TheBackupSaysHelloFirstAndBothSidesHearEachOther) {
  MainRig main;
  ASSERT_TRUE(main.Start());
  main.endpoint->Send(rig::MainHello{SmallPrint(), kKeys.control, kKeys.view});
  FailureLog failures;
  rig::MainLinkClient link(failures.Sink());
  link.Open(main.ControlAddress(), rig::BackupHello{SmallPrint(), "http://127.0.0.1:9/"});
  EXPECT_TRUE(link.AddressProblem().empty());
  ASSERT_TRUE(WaitFor([&] { return link.Connected(); }));

  const auto fromBackup = main.Arrived(1);
  ASSERT_FALSE(fromBackup.empty());
  ASSERT_TRUE(std::holds_alternative<rig::BackupHello>(fromBackup[0]));
  EXPECT_EQ(std::get<rig::BackupHello>(fromBackup[0]).webAddress, "http://127.0.0.1:9/");

  std::vector<rig::FromMain> heard;
  ASSERT_TRUE(WaitFor([&] {
    for (auto& message : link.TakeArrived())
      heard.push_back(std::move(message));
    return !heard.empty();
  }));
  EXPECT_TRUE(std::holds_alternative<rig::MainHello>(heard[0]));
  EXPECT_TRUE(link.LastHeard().has_value());

  EXPECT_TRUE(link.Send(rig::ForwardedCommand{"LIVE_PLAY_NEXT"}));
  const auto commands = main.Arrived(1);
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(std::get<rig::ForwardedCommand>(commands[0]).line, "LIVE_PLAY_NEXT");
  EXPECT_EQ(failures.Count(), 0u);
}

TEST(RigChannelLink, TheBackupDialsAgainAfterTheMainRestarts) {
  MainRig main;
  ASSERT_TRUE(main.Start());
  rig::MainLinkClient link;
  link.Open(main.ControlAddress(), rig::BackupHello{SmallPrint(), ""});
  ASSERT_TRUE(WaitFor([&] { return link.Connected(); }));
  main.Arrived(1);

  const uint16_t port = main.port;
  main.server.Stop();
  ASSERT_TRUE(WaitFor([&] { return !link.Connected(); }));
  EXPECT_FALSE(link.Send(rig::ForwardedCommand{"LIVE_STOP"}));  // nowhere to go: refused
  ASSERT_TRUE(main.server.Start(port, kKeys));
  ASSERT_EQ(main.server.Port(), port);
  ASSERT_TRUE(WaitFor([&] { return link.Connected(); }));
  // The hello again, first, on the new connection.
  const auto again = main.Arrived(1);
  ASSERT_FALSE(again.empty());
  EXPECT_TRUE(std::holds_alternative<rig::BackupHello>(again[0]));
  link.Close();
  EXPECT_FALSE(link.Connected());
  EXPECT_TRUE(WaitFor([&] { return main.endpoint->ConnectedBackups() == 0; }));
}

TEST(RigChannelLink, AWrongKeyAMalformedAddressOrATakenMainNeverConnectsAndSaysWhy) {
  MainRig main;
  ASSERT_TRUE(main.Start());
  rig::MainLinkClient wrongKey;
  wrongKey.Open("http://127.0.0.1:" + std::to_string(main.port) + "/?key=wrongkey99",
                rig::BackupHello{});
  rig::MainLinkClient malformed;
  malformed.Open("127.0.0.1:" + std::to_string(main.port), rig::BackupHello{});
  EXPECT_FALSE(malformed.AddressProblem().empty());
  EXPECT_EQ(malformed.Problem(), malformed.AddressProblem());
  EXPECT_TRUE(WaitFor([&] { return !wrongKey.Problem().empty(); }));
  EXPECT_EQ(wrongKey.Problem(), "The main rig refused the key: copy its control address again.");
  MainRig single(false);
  ASSERT_TRUE(single.Start());
  rig::MainLinkClient notAMain;
  notAMain.Open(single.ControlAddress(), rig::BackupHello{});
  EXPECT_TRUE(WaitFor([&] { return !notAMain.Problem().empty(); }));
  EXPECT_EQ(notAMain.Problem(), "The rig at that address is not a main rig.");
  EXPECT_FALSE(wrongKey.Connected());
  EXPECT_FALSE(malformed.Connected());
  EXPECT_FALSE(notAMain.Connected());
  EXPECT_EQ(main.endpoint->ConnectedBackups(), 0u);

  // A second backup waits while the main has one, and says so; it takes the place once free.
  rig::MainLinkClient first;
  first.Open(main.ControlAddress(), rig::BackupHello{});
  ASSERT_TRUE(WaitFor([&] { return first.Connected(); }));
  rig::MainLinkClient second;
  second.Open(main.ControlAddress(), rig::BackupHello{});
  EXPECT_TRUE(WaitFor([&] { return !second.Problem().empty(); }));
  EXPECT_EQ(second.Problem(), "The main rig already has a backup.");
  EXPECT_TRUE(first.Problem().empty());
  first.Close();
  EXPECT_TRUE(WaitFor([&] { return second.Connected(); }));
  EXPECT_TRUE(second.Problem().empty());
}

}  // namespace
}  // namespace quorvane::web
