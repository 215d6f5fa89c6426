// The web remote's server over real loopback sockets: what a browser, a guesser and a stuck
// client get, and what reaches the main thread's command handler.
#include "web/web_page.h"
#include "web/web_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "web/web_client.h"

namespace quorvane::web {
namespace {

using testing::RawConnection;
using testing::Request;
using testing::WebSocketClient;
using Json = nlohmann::json;

const AccessKeys kKeys{"controlkey", "viewkey234"};

// Waits for a condition with a generous deadline, the machine being loaded.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::seconds deadline = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

class WebServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.SetStateProvider([this] {
      std::lock_guard lock(mutex);
      return document;
    });
    handler = [this](const std::string& line) {
      std::lock_guard lock(mutex);
      received.push_back(line);
      return refusal;
    };
    inbox.SetFailureSink([this](std::string_view where, std::string_view what) {
      std::lock_guard lock(mutex);
      failures.push_back(std::string(where) + ": " + std::string(what));
    });
    server.SetFailureSink([this](std::string_view where, std::string_view what) {
      std::lock_guard lock(mutex);
      failures.push_back(std::string(where) + ": " + std::string(what));
    });
    ASSERT_TRUE(server.Start(0, kKeys));
    port = server.Port();
  }

  void SetDocument(std::string text) {
    std::lock_guard lock(mutex);
    document = std::move(text);
  }
  std::vector<std::string> Received() {
    std::lock_guard lock(mutex);
    return received;
  }
  std::vector<std::string> Failures() {
    std::lock_guard lock(mutex);
    return failures;
  }

  // The main thread's run of the inbox, with the fixture's handler.
  void Dispatch() { inbox.Run(handler); }

  // The next message that is not a heartbeat.
  static std::optional<std::string> ReadAnswer(WebSocketClient& client) {
    std::optional<std::string> message;
    do {
      message = client.Read();
    } while (message == "{}");
    return message;
  }

  // A WebSocket upgrade request as a browser sends it, whole.
  std::string UpgradeRequest(const std::string& key) const {
    return "GET /ws?key=" + key + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
           "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
  }

  // A connected client that has received the first document.
  std::unique_ptr<WebSocketClient> Join(const std::string& key = kKeys.control) {
    auto client = std::make_unique<WebSocketClient>();
    EXPECT_EQ(client->Connect(port, "/ws?key=" + key), 101);
    EXPECT_TRUE(WaitFor([&] { return server.ClientCount() > 0; }));
    server.Publish();
    return client;
  }

  std::mutex mutex;
  std::string document = R"({"type":"STATE","protocol":2,"playing":false,"position":0.0000})";
  std::vector<std::string> received;
  std::vector<std::string> failures;
  std::string refusal;
  inbox::CommandInbox::Runner handler;
  inbox::CommandInbox inbox;
  WebServer server{inbox};
  uint16_t port = 0;
};

TEST(PageEncoding, GzipOnlyWhereTheBrowserAcceptsIt) {
  using quorvane::web::AcceptsGzip;
  for (const char* yes : {"gzip", "gzip, deflate, br", "deflate, GZIP;q=0.5", "x-gzip", "*",
                          "br;q=1.0, gzip;q=0.001", "identity, *;q=0.1"}) {
    EXPECT_TRUE(AcceptsGzip(yes)) << yes;
  }
  for (const char* no : {"", "identity", "deflate, br", "gzip;q=0", "gzip;q=0.000, *", "*;q=0",
                         "gzipped", "x-gzip;q=0"}) {
    EXPECT_FALSE(AcceptsGzip(no)) << no;
  }
}

TEST_F(WebServerTest, ThePageNeedsAKeyAndAWrongKeyIsRefused) {
  const auto control = Request(port, "/?key=" + kKeys.control);
  EXPECT_EQ(control.status, 200);
  EXPECT_NE(control.body.find("data-access=\"control\""), std::string::npos);
  EXPECT_NE(control.body.find("qrcode"), std::string::npos);  // the QR encoder is inside

  const auto view = Request(port, "/?key=" + kKeys.view);
  EXPECT_EQ(view.status, 200);
  EXPECT_NE(view.body.find("data-access=\"view\""), std::string::npos);

  EXPECT_EQ(control.contentEncoding, "");  // asked for nothing: the plain page
  EXPECT_EQ(control.vary, "Accept-Encoding");
  EXPECT_LT(control.body.size(), 150u * 1024u);

  // Compressed for a browser that takes gzip: the same page in a third of the bytes or less.
  for (const auto& [keyName, key] :
       {std::pair{"control", kKeys.control}, std::pair{"view", kKeys.view}}) {
    SCOPED_TRACE(keyName);
    const auto zipped =
        Request(port, "/?key=" + key, "GET", "127.0.0.1", "gzip, deflate, br, zstd");
    EXPECT_EQ(zipped.status, 200);
    EXPECT_EQ(zipped.contentEncoding, "gzip");
    EXPECT_EQ(zipped.vary, "Accept-Encoding");
    ASSERT_GE(zipped.body.size(), 2u);
    EXPECT_EQ(zipped.body.substr(0, 2), "\x1f\x8b");
    EXPECT_LT(zipped.body.size() * 3, control.body.size());
  }
  EXPECT_EQ(Request(port, "/?key=" + kKeys.control, "GET", "127.0.0.1", "gzip;q=0, identity")
                .contentEncoding,
            "");

  const auto none = Request(port, "/");
  EXPECT_EQ(none.status, 403);
  EXPECT_NE(none.body.find("Options page"), std::string::npos);
  EXPECT_EQ(Request(port, "/?key=guessing12").status, 403);
  EXPECT_EQ(Request(port, "/elsewhere?key=" + kKeys.control).status, 404);
  EXPECT_EQ(Request(port, "/?key=" + kKeys.control, "POST").status, 405);
  EXPECT_EQ(Request(port, "/ws?key=" + kKeys.control).status, 400);  // not an upgrade
}

TEST_F(WebServerTest, WrongKeysAreAnsweredSlowerButTheRightKeyAlwaysOpens) {
  for (std::size_t i = 0; i < WrongKeyThrottle::kFreeTries; ++i)
    EXPECT_EQ(Request(port, "/?key=wrong" + std::to_string(i)).status, 403);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Request(port, "/?key=wrongagain").status, 403);
  EXPECT_EQ(Request(port, "/?key=wrongagain").status, 403);
  EXPECT_GE(std::chrono::steady_clock::now() - start, WrongKeyThrottle::kFirstDelay * 3);
  // Another phone behind the same router, with the right key: served, not shut out.
  EXPECT_EQ(Request(port, "/?key=" + kKeys.control).status, 200);
  WebSocketClient client;
  EXPECT_EQ(client.Connect(port, "/ws?key=" + kKeys.control), 101);
  // A request without any key is no guess: answered at once.
  EXPECT_EQ(Request(port, "/").status, 403);
}

TEST_F(WebServerTest, TheSocketNeedsTheKeyAndTheServersOwnOrigin) {
  WebSocketClient noKey;
  EXPECT_EQ(noKey.Connect(port, "/ws"), 403);
  WebSocketClient foreign;
  EXPECT_EQ(foreign.Connect(port, "/ws?key=" + kKeys.control, "http://evil.example"), 403);
  WebSocketClient samePage;
  EXPECT_EQ(samePage.Connect(port, "/ws?key=" + kKeys.control,
                             "http://127.0.0.1:" + std::to_string(port)),
            101);
  EXPECT_EQ(samePage.ServerName(), "Quorvane");  // as on every other answer
  WebSocketClient byName;
  EXPECT_EQ(
      byName.Connect(port, "/ws?key=" + kKeys.control, "http://localhost:" + std::to_string(port)),
      101);
  // A name an attacker's page pointed at this computer: the Host header matches its Origin.
  const std::string rebound = "rebind.example:" + std::to_string(port);
  WebSocketClient rebinding;
  EXPECT_EQ(rebinding.Connect(port, "/ws?key=" + kKeys.control, "http://" + rebound, "127.0.0.1",
                              rebound),
            403);
}

TEST_F(WebServerTest, AClientGetsTheWholeDocumentThenPatchesThenHeartbeats) {
  auto client = Join();
  EXPECT_EQ(client->Read(), document);  // byte for byte what the TCP clients get

  SetDocument(R"({"type":"STATE","protocol":2,"playing":true,"position":1.5000})");
  server.Publish();
  const auto patch = client->Read();
  ASSERT_TRUE(patch);
  EXPECT_EQ(Json::parse(*patch), Json::parse(R"({"playing":true,"position":1.5})"));

  // Nothing changes: an empty patch at least every second.
  server.Publish();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(client->Read(), "{}");
  EXPECT_EQ(client->Read(), "{}");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(WebServerTest, CommandsReachTheHandlerAndARefusalIsAnswered) {
  auto client = Join();
  ASSERT_TRUE(client->Read());
  client->Send(R"({"cmd":"LIVE_PLAY_NEXT"})");
  ASSERT_TRUE(WaitFor([&] {
    Dispatch();
    return !Received().empty();
  }));
  EXPECT_EQ(Received(), std::vector<std::string>{R"({"cmd":"LIVE_PLAY_NEXT"})"});

  refusal = "not now";
  client->Send(R"({"cmd":"LIVE_STOP"})");
  ASSERT_TRUE(WaitFor([&] {
    Dispatch();
    return Received().size() == 2;
  }));
  std::optional<std::string> reply;
  do {
    reply = client->Read();
  } while (reply == "{}");
  ASSERT_TRUE(reply);
  EXPECT_EQ(Json::parse(*reply),
            Json::parse(R"({"type":"REFUSED","cmd":"LIVE_STOP","reason":"not now"})"));
}

TEST_F(WebServerTest, AViewOnlyClientSeesTheShowButEveryCommandIsRefused) {
  auto viewer = Join(kKeys.view);
  EXPECT_EQ(viewer->Read(), document);
  viewer->Send(R"({"cmd":"LIVE_END_SHOW"})");
  std::optional<std::string> reply;
  do {
    reply = viewer->Read();
  } while (reply == "{}");
  ASSERT_TRUE(reply);
  EXPECT_EQ(Json::parse(*reply)["reason"], "view only");
  Dispatch();
  EXPECT_TRUE(Received().empty());
}

TEST_F(WebServerTest, ARefusalRepeatsOnlyTheStartOfALongCommandName) {
  auto viewer = Join(kKeys.view);
  ASSERT_TRUE(viewer->Read());
  // 63 letters, then two-byte characters: a cut after 64 bytes would split one.
  std::string name(63, 'N');
  for (int i = 0; i < 2000; ++i)
    name += "\xC3\xA9";
  viewer->Send(R"({"cmd":")" + name + R"("})");
  const auto reply = ReadAnswer(*viewer);
  ASSERT_TRUE(reply);
  const Json refused = Json::parse(*reply);  // valid UTF-8, or this throws
  EXPECT_EQ(refused["cmd"], std::string(63, 'N'));
  EXPECT_EQ(refused["reason"], "view only");
}

TEST_F(WebServerTest, AFailingCommandIsReportedAndRefused) {
  handler = [](const std::string& line) -> std::string {
    if (line.find("THROW_INT") != std::string::npos) throw 42;
    throw std::runtime_error("disk full");
  };
  auto client = Join();
  ASSERT_TRUE(client->Read());
  client->Send(R"({"cmd":"LIVE_SAVE"})");
  client->Send(R"({"cmd":"THROW_INT"})");
  ASSERT_TRUE(WaitFor([&] {
    Dispatch();
    return Failures().size() == 2;
  }));
  for (const char* name : {"LIVE_SAVE", "THROW_INT"}) {
    const auto reply = ReadAnswer(*client);
    ASSERT_TRUE(reply);
    EXPECT_EQ(Json::parse(*reply),
              Json({{"type", "REFUSED"}, {"cmd", name}, {"reason", "failed"}}));
  }
  client.reset();  // a hang-up is no failure
  EXPECT_TRUE(WaitFor([&] { return server.ClientCount() == 0; }));
  EXPECT_EQ(Failures(), (std::vector<std::string>{"web remote: command: disk full",
                                                  "web remote: command: an exception that is not a "
                                                  "std::exception"}));
}

TEST_F(WebServerTest, ACommandMayReplaceTheKeysOrStopTheServerWithoutADeadlock) {
  handler = [this](const std::string& line) {
    if (line.find("NEW_KEYS") != std::string::npos)
      server.ReplaceKeys({"newcontrol", "newview234"});
    if (line.find("STOP") != std::string::npos) server.Stop();
    std::lock_guard lock(mutex);
    received.push_back(line);
    return std::string();
  };
  // The main thread's calls run on a thread of their own: a deadlock fails the test (and ends the
  // program, which could not end otherwise) instead of hanging the suite.
  const auto withinDeadline = [](std::function<void()> work) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([work, done] {
      work();
      *done = true;
    }).detach();
    if (!WaitFor([&] { return done->load(); })) {
      ADD_FAILURE() << "the server's calls deadlocked";
      std::fflush(nullptr);
      std::_Exit(1);
    }
  };
  auto client = Join();
  ASSERT_TRUE(client->Read());
  client->Send(R"({"cmd":"NEW_KEYS"})");
  withinDeadline([&] {
    WaitFor([&] {
      Dispatch();
      return Received().size() == 1;
    });
  });
  EXPECT_TRUE(client->WaitForClose());
  EXPECT_EQ(Request(port, "/?key=newcontrol").status, 200);

  auto next = Join("newcontrol");
  ASSERT_TRUE(next->Read());
  next->Send(R"({"cmd":"STOP"})");
  next->Send(R"({"cmd":"AFTER_STOP"})");
  withinDeadline([&] {
    WaitFor([&] {
      Dispatch();
      return Received().size() == 2;
    });
    Dispatch();  // a stopped server runs nothing more
  });
  EXPECT_FALSE(server.IsRunning());
  EXPECT_EQ(Received().size(), 2u);
  EXPECT_TRUE(next->WaitForClose());
}

TEST_F(WebServerTest, AnOversizedMessageDropsItsSenderOnly) {
  auto big = Join();
  auto other = Join();
  ASSERT_TRUE(WaitFor([&] { return server.ClientCount() == 2; }));
  big->Send(std::string(WebServer::kMaxMessageBytes + 1, 'x'));
  EXPECT_TRUE(big->WaitForClose());
  EXPECT_TRUE(WaitFor([&] { return server.ClientCount() == 1; }));
  EXPECT_TRUE(other->Read());
}

TEST_F(WebServerTest, AClientThatNeverReadsIsDroppedAndTheOthersCarryOn) {
  auto stuck = Join();
  auto reader = Join();
  ASSERT_TRUE(WaitFor([&] { return server.ClientCount() == 2; }));
  ASSERT_TRUE(reader->Read());
  // Large changing documents until the stuck client's unsent bytes pass the limit.
  const std::string filler(256 * 1024, 'a');
  bool dropped = false;
  for (int i = 0; i < 400 && !dropped; ++i) {
    SetDocument(R"({"type":"STATE","n":)" + std::to_string(i) + R"(,"pad":")" + filler +
                std::to_string(i) + "\"}");
    server.Publish();
    while (true) {  // the reader keeps up
      const auto message = reader->Read();
      ASSERT_TRUE(message);
      if (*message != "{}") break;
    }
    dropped = server.ClientCount() == 1;
  }
  EXPECT_TRUE(dropped);
}

TEST_F(WebServerTest, AStuckClientDroppedByItsHeartbeatLeavesTheServerServing) {
  // One document that leaves the client room for less than a heartbeat: the client that never
  // reads is dropped while the server walks its clients to send the heartbeats.
  const std::string head = R"({"type":"STATE","pad":")";
  SetDocument(head + std::string(WebServer::kMaxOutgoingBytes - 1 - head.size() - 2, 'a') + "\"}");
  auto stuck = Join(kKeys.view);
  EXPECT_TRUE(WaitFor([&] { return server.ClientCount() == 0; }));
  EXPECT_EQ(Request(port, "/?key=" + kKeys.view).status, 200);
}

TEST_F(WebServerTest, HalfSentRequestsWithoutAKeyCannotShutTheBandOut) {
  // One address opens many connections and sends half a request on each.
  std::vector<std::unique_ptr<RawConnection>> attack;
  for (int i = 0; i < 128; ++i) {
    auto connection = std::make_unique<RawConnection>();
    if (connection->Connect(port, "127.0.0.9") && connection->Send("GET / HTTP/1.1\r\nHost: x\r\n"))
      attack.push_back(std::move(connection));
  }
  // The band's phones, each from an address of its own, load the page and connect meanwhile.
  for (int phone = 1; phone <= 4; ++phone) {
    const std::string from = "127.0.1." + std::to_string(phone);
    EXPECT_EQ(Request(port, "/?key=" + kKeys.view, "GET", from).status, 200);
    WebSocketClient client;
    EXPECT_EQ(client.Connect(port, "/ws?key=" + kKeys.view, "", from), 101);
  }
  // Half a request holds its place only a few seconds.
  std::size_t closed = 0;
  for (const auto& connection : attack)
    closed += connection->WaitForClose() ? 1 : 0;
  EXPECT_EQ(closed, attack.size());
}

TEST_F(WebServerTest, SimultaneousUpgradesStopAtTheClientLimit) {
  std::vector<std::unique_ptr<WebSocketClient>> clients;
  for (int i = 0; i < 40; ++i) {
    clients.push_back(std::make_unique<WebSocketClient>());
    ASSERT_EQ(clients.back()->Connect(port, "/ws?key=" + kKeys.control), 101);
  }
  // Sixty more upgrades at once, from a few addresses.
  std::vector<std::unique_ptr<RawConnection>> upgrades;
  for (int i = 0; i < 60; ++i) {
    upgrades.push_back(std::make_unique<RawConnection>());
    ASSERT_TRUE(upgrades.back()->Connect(port, "127.0.2." + std::to_string(1 + i % 10)));
  }
  const std::string request = UpgradeRequest(kKeys.control);
  for (const auto& upgrade : upgrades)
    upgrade->Send(request);
  std::size_t accepted = 0;
  for (const auto& upgrade : upgrades)
    accepted += upgrade->ReadStatus() == 101 ? 1 : 0;
  EXPECT_EQ(accepted, WebServer::kMaxClients - clients.size());
  EXPECT_TRUE(WaitFor([&] { return server.ClientCount() == WebServer::kMaxClients; }));
}

TEST_F(WebServerTest, ViewKeysLeavePlacesForControlKeys) {
  std::vector<std::unique_ptr<WebSocketClient>> viewers;
  for (std::size_t i = 0; i < WebServer::kMaxViewClients; ++i) {
    viewers.push_back(std::make_unique<WebSocketClient>());
    ASSERT_EQ(viewers.back()->Connect(port, "/ws?key=" + kKeys.view), 101);
  }
  WebSocketClient oneViewerTooMany;
  EXPECT_EQ(oneViewerTooMany.Connect(port, "/ws?key=" + kKeys.view), 503);
  WebSocketClient control;
  EXPECT_EQ(control.Connect(port, "/ws?key=" + kKeys.control), 101);
}

TEST_F(WebServerTest, NoMoreThanTheClientLimitAreServed) {
  std::vector<std::unique_ptr<WebSocketClient>> clients;
  for (std::size_t i = 0; i < WebServer::kMaxClients; ++i) {
    clients.push_back(std::make_unique<WebSocketClient>());
    ASSERT_EQ(clients.back()->Connect(port, "/ws?key=" + kKeys.control), 101);
  }
  ASSERT_TRUE(WaitFor([&] { return server.ClientCount() == WebServer::kMaxClients; }));
  WebSocketClient oneTooMany;
  EXPECT_EQ(oneTooMany.Connect(port, "/ws?key=" + kKeys.control), 503);
}

TEST_F(WebServerTest, NewKeysDisconnectEveryClientAndRetireTheOldAddress) {
  auto client = Join();
  ASSERT_TRUE(client->Read());
  server.ReplaceKeys({"newcontrol", "newview234"});
  EXPECT_TRUE(client->WaitForClose());
  EXPECT_EQ(Request(port, "/?key=" + kKeys.control).status, 403);
  EXPECT_EQ(Request(port, "/?key=newcontrol").status, 200);
}

TEST_F(WebServerTest, StoppingWithClientsConnectedClosesThemAndFreesThePort) {
  auto first = Join();
  auto second = Join();
  ASSERT_TRUE(WaitFor([&] { return server.ClientCount() == 2; }));
  server.Stop();
  EXPECT_FALSE(server.IsRunning());
  EXPECT_TRUE(first->WaitForClose());
  EXPECT_TRUE(second->WaitForClose());
  EXPECT_EQ(Request(port, "/?key=" + kKeys.control).status, 0);
  // Started again on the same port, as after a reload of the extension.
  EXPECT_TRUE(server.Start(port, kKeys));
  EXPECT_EQ(server.Port(), port);
}

TEST_F(WebServerTest, ABrokenRequestIsReportedButHangUpsAndStoppingAreNot) {
  {
    RawConnection halfway;  // half a request, then gone
    ASSERT_TRUE(halfway.Connect(port));
    ASSERT_TRUE(halfway.Send("GET /?key=" + kKeys.control + " HTTP/1.1\r\nHo"));
  }
  auto client = Join();
  ASSERT_TRUE(client->Read());
  client.reset();
  ASSERT_TRUE(WaitFor([&] { return server.ClientCount() == 0; }));
  auto staying = Join();
  RawConnection oversized;
  ASSERT_TRUE(oversized.Connect(port));
  ASSERT_TRUE(
      oversized.Send("GET / HTTP/1.1\r\nX-Filler: " + std::string(20000, 'a') + "\r\n\r\n"));
  EXPECT_TRUE(oversized.WaitForClose());
  ASSERT_TRUE(WaitFor([&] { return !Failures().empty(); }));
  server.Stop();
  EXPECT_TRUE(staying->WaitForClose());
  const auto reported = Failures();
  ASSERT_EQ(reported.size(), 1u) << reported.back();
  EXPECT_EQ(reported[0].rfind("web remote: page connection: ", 0), 0u) << reported[0];
}

TEST_F(WebServerTest, ATakenPortMovesTheServerToAnotherOne) {
  WebServer second(inbox);
  ASSERT_TRUE(second.Start(port, kKeys));
  EXPECT_NE(second.Port(), port);
  EXPECT_EQ(Request(second.Port(), "/?key=" + kKeys.view).status, 200);
}

}  // namespace
}  // namespace quorvane::web
