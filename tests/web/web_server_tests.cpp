// The web remote's server over real loopback sockets: what a browser, a guesser and a stuck
// client get, and what reaches the main thread's command handler.
#include "web/web_page.h"
#include "web/web_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "web/web_client.h"

namespace quorvane::web {
namespace {

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
    server.SetCommandHandler([this](const std::string& line) {
      std::lock_guard lock(mutex);
      received.push_back(line);
      return refusal;
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
  std::string refusal;
  WebServer server;
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
    const auto zipped = Request(port, "/?key=" + key, "GET", "gzip, deflate, br, zstd");
    EXPECT_EQ(zipped.status, 200);
    EXPECT_EQ(zipped.contentEncoding, "gzip");
    EXPECT_EQ(zipped.vary, "Accept-Encoding");
    ASSERT_GE(zipped.body.size(), 2u);
    EXPECT_EQ(zipped.body.substr(0, 2), "\x1f\x8b");
    EXPECT_LT(zipped.body.size() * 3, control.body.size());
  }
  EXPECT_EQ(Request(port, "/?key=" + kKeys.control, "GET", "gzip;q=0, identity").contentEncoding,
            "");

  const auto none = Request(port, "/");
  EXPECT_EQ(none.status, 403);
  EXPECT_NE(none.body.find("Options page"), std::string::npos);
  EXPECT_EQ(Request(port, "/?key=guessing12").status, 403);
  EXPECT_EQ(Request(port, "/elsewhere?key=" + kKeys.control).status, 404);
  EXPECT_EQ(Request(port, "/?key=" + kKeys.control, "POST").status, 405);
  EXPECT_EQ(Request(port, "/ws?key=" + kKeys.control).status, 400);  // not an upgrade
}

TEST_F(WebServerTest, AnAddressThatKeepsGuessingIsRefusedEvenWithTheRightKey) {
  for (std::size_t i = 0; i < WrongKeyThrottle::kTriesPerMinute; ++i) {
    EXPECT_EQ(Request(port, "/?key=wrong" + std::to_string(i)).status, 403);
  }
  EXPECT_EQ(Request(port, "/?key=" + kKeys.control).status, 429);
  WebSocketClient client;
  EXPECT_EQ(client.Connect(port, "/ws?key=" + kKeys.control), 429);
  // A request without any key is no guess: it is not counted, and not blocked either.
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
    server.DispatchCommands();
    return !Received().empty();
  }));
  EXPECT_EQ(Received(), std::vector<std::string>{R"({"cmd":"LIVE_PLAY_NEXT"})"});

  refusal = "not now";
  client->Send(R"({"cmd":"LIVE_STOP"})");
  ASSERT_TRUE(WaitFor([&] {
    server.DispatchCommands();
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

TEST_F(WebServerTest, AFloodOfCommandsRunsAFewMillisecondsAtATimeInOrder) {
  // Each command takes 3 ms of the main thread: one run may start at most two of them.
  server.SetCommandHandler([this](const std::string& line) {
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    std::lock_guard lock(mutex);
    received.push_back(line);
    return std::string();
  });
  auto client = Join();
  ASSERT_TRUE(client->Read());
  std::vector<std::string> sent;
  for (int i = 0; i < 12; ++i) {
    sent.push_back(R"({"cmd":"LIVE_SELECT","index":)" + std::to_string(i) + "}");
    client->Send(sent.back());
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let them all arrive
  size_t mostInOneRun = 0;
  ASSERT_TRUE(WaitFor([&] {
    const size_t before = Received().size();
    server.DispatchCommands();
    mostInOneRun = std::max(mostInOneRun, Received().size() - before);
    return Received().size() == sent.size();
  }));
  EXPECT_LE(mostInOneRun, 2u);
  EXPECT_EQ(Received(), sent);
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
  server.DispatchCommands();
  EXPECT_TRUE(Received().empty());
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

TEST_F(WebServerTest, ATakenPortMovesTheServerToAnotherOne) {
  WebServer second;
  ASSERT_TRUE(second.Start(port, kKeys));
  EXPECT_NE(second.Port(), port);
  EXPECT_EQ(Request(second.Port(), "/?key=" + kKeys.view).status, 200);
}

}  // namespace
}  // namespace quorvane::web
