// The command server over real loopback connections: what a remote app sees on the wire and which
// of its lines reach the main thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "remote/remote_server.h"
#include "tests/remote/loopback_client.h"

namespace quorvane::remote {
namespace {

using namespace testing;  // NOLINT: the loopback helpers
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string Welcome(uint16_t port) {
  return R"({"type":"WELCOME","protocol":2,"port":)" + std::to_string(port) + "}";
}

class RemoteServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.SetStateProvider([this] {
      std::lock_guard lock(mutex_);
      providerThreads_.push_back(std::this_thread::get_id());
      return document_;
    });
    server_.SetFailureSink([this](std::string_view where, std::string_view what) {
      std::lock_guard lock(mutex_);
      failures_.push_back(std::string(where) + ": " + std::string(what));
    });
    ASSERT_TRUE(server_.Start());
    ASSERT_NE(server_.Port(), 0);
  }

  void SetDocument(std::string document) {
    std::lock_guard lock(mutex_);
    document_ = std::move(document);
  }
  std::vector<std::thread::id> ProviderThreads() {
    std::lock_guard lock(mutex_);
    return providerThreads_;
  }
  std::vector<std::string> Commands() {
    std::lock_guard lock(mutex_);
    return commands_;
  }

  // One timer tick later than the last, past the broadcast pacing.
  void Tick() {
    now_ += RemoteServer::kBroadcastIntervalNanoseconds;
    server_.BroadcastState();
  }

  bool WaitForClientCount(std::size_t count) {
    return Eventually([&] { return server_.ClientCount() == count; });
  }

  // The main thread's run of the inbox: the lines the server pushed, as they reach it.
  void Dispatch() {
    inbox_.Run([this](const std::string& line) {
      std::lock_guard lock(mutex_);
      commands_.push_back(line);
      return std::string();
    });
  }

  // Runs the main thread's dispatch until `count` commands have been handled.
  bool DispatchUntil(std::size_t count) {
    return Eventually([&] {
      Dispatch();
      return Commands().size() >= count;
    });
  }

  // A connected client past its WELCOME, registered with the server.
  std::unique_ptr<LineClient> Connect() {
    auto client = std::make_unique<LineClient>(server_.Port());
    EXPECT_TRUE(client->IsConnected());
    EXPECT_EQ(client->ReadLine(), Welcome(server_.Port()));
    return client;
  }

  platform::SocketLibrary sockets_;  // the clients' own, independent of the server's starts
  int64_t now_ = 1'000'000'000;
  inbox::CommandInbox inbox_{[this] { return now_; }};
  RemoteServer server_{inbox_, 0, [this] { return now_; }};
  std::mutex mutex_;
  std::string document_ = R"({"type":"STATE","protocol":2,"n":0})";
  std::vector<std::thread::id> providerThreads_;
  std::vector<std::string> commands_;
  std::vector<std::string> failures_;
};

TEST_F(RemoteServerTest, GreetsWithWelcomeThenTheStateBuiltOnTheMainThread) {
  LineClient client(server_.Port());
  ASSERT_TRUE(client.IsConnected());
  EXPECT_EQ(client.ReadLine(), Welcome(server_.Port()));
  ASSERT_TRUE(WaitForClientCount(1));

  Tick();
  EXPECT_EQ(client.ReadLine(), R"({"type":"STATE","protocol":2,"n":0})");
  EXPECT_THAT(ProviderThreads(), ElementsAre(std::this_thread::get_id()));
}

TEST_F(RemoteServerTest, GreetsANewClientAtTheNextTickEvenWithinThePacingInterval) {
  auto first = Connect();
  ASSERT_TRUE(WaitForClientCount(1));
  Tick();
  ASSERT_EQ(first->ReadLine(), document_);

  SetDocument(R"({"n":1})");
  auto second = Connect();
  ASSERT_TRUE(WaitForClientCount(2));
  now_ += 1'000'000;  // 1 ms: no broadcast is due
  server_.BroadcastState();
  EXPECT_EQ(second->ReadLine(), R"({"n":1})");

  // The greeting went to the new client alone; the others get the change when it is due (the new
  // client may see it once more then: every document replaces the previous one).
  Tick();
  EXPECT_EQ(first->ReadLine(), R"({"n":1})");
  SetDocument(R"({"n":2})");
  Tick();
  EXPECT_EQ(first->ReadLine(), R"({"n":2})");
  std::optional<std::string> line = second->ReadLine();
  if (line == R"({"n":1})") line = second->ReadLine();
  EXPECT_EQ(line, R"({"n":2})");
}

// The document a new client is waiting for may fail to build (the provider throws or gives
// nothing); the client then waits for the next one, even if that one equals the last broadcast.
TEST_F(RemoteServerTest, AFailedDocumentLeavesANewClientWaitingForItsGreeting) {
  auto first = Connect();
  ASSERT_TRUE(WaitForClientCount(1));
  Tick();
  ASSERT_EQ(first->ReadLine(), document_);

  bool fail = true;
  server_.SetStateProvider([this, &fail]() -> std::string {
    if (fail) throw std::runtime_error("no document");
    std::lock_guard lock(mutex_);
    return document_;
  });
  auto second = Connect();
  ASSERT_TRUE(WaitForClientCount(2));
  Tick();
  SetDocument("");
  fail = false;
  Tick();
  SetDocument(R"({"type":"STATE","protocol":2,"n":0})");
  Tick();
  EXPECT_EQ(second->ReadLine(), document_);
  EXPECT_TRUE(first->StaysQuiet(50ms)) << "the document did not change for the others";
}

TEST_F(RemoteServerTest, PacesBroadcastsTo50msWithoutLosingTheLastChange) {
  auto client = Connect();
  ASSERT_TRUE(WaitForClientCount(1));
  Tick();
  ASSERT_EQ(client->ReadLine(), document_);
  const std::size_t calls = ProviderThreads().size();

  SetDocument(R"({"n":1})");
  now_ += 49'999'999;
  server_.BroadcastState();
  EXPECT_EQ(ProviderThreads().size(), calls) << "the document is not even built within 50 ms";

  now_ += 1;
  server_.BroadcastState();
  EXPECT_EQ(client->ReadLine(), R"({"n":1})");
}

TEST_F(RemoteServerTest, ACommandsResultGoesOutAtOnceYetAFloodOfCommandsIsStillPaced) {
  using Offer = quorvane::remote::RemoteServer::Offer;
  auto client = Connect();
  ASSERT_TRUE(WaitForClientCount(1));
  Tick();
  ASSERT_EQ(client->ReadLine(), document_);

  SetDocument(R"({"n":1})");
  now_ += 10'000'000;
  server_.BroadcastState(Offer::kCommandResult);  // within the tick's 50 ms
  EXPECT_EQ(client->ReadLine(), R"({"n":1})");

  EXPECT_EQ(server_.HeldResultDueInMs(), -1);

  SetDocument(R"({"n":2})");
  now_ += 4'000'000;
  server_.BroadcastState(Offer::kCommandResult);  // the next command's, too soon: held
  server_.BroadcastState();                       // and the tick's, paced from the last one
  EXPECT_EQ(server_.HeldResultDueInMs(), 6) << "when the core's timer should offer it again";
  now_ += 5'999'999;
  EXPECT_EQ(server_.HeldResultDueInMs(), 1);
  now_ += 1;
  EXPECT_EQ(server_.HeldResultDueInMs(), 0);
  server_.BroadcastState(Offer::kCommandResult);
  EXPECT_EQ(client->ReadLine(), R"({"n":2})") << "nothing went out in between";
  EXPECT_EQ(server_.HeldResultDueInMs(), -1);
}

TEST_F(RemoteServerTest, SendsNothingWhileTheDocumentIsUnchanged) {
  auto client = Connect();
  ASSERT_TRUE(WaitForClientCount(1));
  Tick();
  ASSERT_EQ(client->ReadLine(), document_);
  Tick();
  Tick();
  SetDocument(R"({"n":1})");
  Tick();
  // Had the unchanged ticks sent anything, it would come before this line.
  EXPECT_EQ(client->ReadLine(), R"({"n":1})");

  SetDocument("");
  Tick();
  SetDocument(R"({"n":2})");
  Tick();
  EXPECT_EQ(client->ReadLine(), R"({"n":2})") << "an empty document is never sent";
}

TEST_F(RemoteServerTest, QueuesLinesSplitAcrossPacketsOrSharingOne) {
  auto a = Connect();
  auto b = Connect();
  ASSERT_TRUE(a->Send(R"({"cmd":"LIVE_)"));
  // Once b's line has been read, a's earlier bytes have been read too (loopback delivers at once
  // and the server reads every ready client per pass): the half line is held, not queued.
  ASSERT_TRUE(b->Send("{\"cmd\":\"MARK\"}\n"));
  ASSERT_TRUE(DispatchUntil(1));
  EXPECT_THAT(Commands(), ElementsAre(R"({"cmd":"MARK"})"));

  ASSERT_TRUE(a->Send("PLAY_NEXT\"}\n{\"cmd\":\"A\"}\n{\"cmd\":\"B\"}\n{\"cmd\""));
  ASSERT_TRUE(DispatchUntil(4));
  ASSERT_TRUE(a->Send(":\"C\"}\n"));
  ASSERT_TRUE(DispatchUntil(5));
  EXPECT_THAT(Commands(), ElementsAre(R"({"cmd":"MARK"})", R"({"cmd":"LIVE_PLAY_NEXT"})",
                                      R"({"cmd":"A"})", R"({"cmd":"B"})", R"({"cmd":"C"})"));
}

TEST_F(RemoteServerTest, DropsTheCarriageReturnOfCrLfAndIgnoresEmptyLines) {
  auto client = Connect();
  ASSERT_TRUE(client->Send("{\"cmd\":\"A\"}\r\n\r\n\n{\"cmd\":\"B\"}\n"));
  ASSERT_TRUE(DispatchUntil(2));
  Dispatch();
  EXPECT_THAT(Commands(), ElementsAre(R"({"cmd":"A"})", R"({"cmd":"B"})"));
}

TEST_F(RemoteServerTest, AClientLeavingMidLineQueuesOnlyItsFinishedLines) {
  auto client = Connect();
  ASSERT_TRUE(WaitForClientCount(1));
  ASSERT_TRUE(client->Send("{\"cmd\":\"DONE\"}\n{\"cmd\":\"HALF"));
  client->Close();
  ASSERT_TRUE(WaitForClientCount(0));
  Dispatch();
  EXPECT_THAT(Commands(), ElementsAre(R"({"cmd":"DONE"})"));
}

TEST_F(RemoteServerTest, EveryOneOfManyClientsReceivesEachBroadcast) {
  std::vector<std::unique_ptr<LineClient>> clients;
  for (int i = 0; i < 40; ++i)
    clients.push_back(Connect());
  ASSERT_TRUE(WaitForClientCount(40));
  const std::string greeting = document_;
  Tick();
  SetDocument(R"({"n":1})");
  Tick();
  for (auto& client : clients) {
    EXPECT_EQ(client->ReadLine(), greeting);
    EXPECT_EQ(client->ReadLine(), R"({"n":1})");
  }
}

TEST_F(RemoteServerTest, ClosesAConnectionBeyondTheClientLimitAtOnce) {
  std::vector<std::unique_ptr<LineClient>> clients;
  for (std::size_t i = 0; i < RemoteServer::kMaxClients; ++i)
    clients.push_back(Connect());
  ASSERT_TRUE(WaitForClientCount(RemoteServer::kMaxClients));

  LineClient extra(server_.Port());
  ASSERT_TRUE(extra.IsConnected());  // the system accepts it; the server closes it unanswered
  EXPECT_TRUE(extra.WaitClosed());
  EXPECT_EQ(extra.Pending(), "");
  EXPECT_EQ(server_.ClientCount(), RemoteServer::kMaxClients);

  clients.front()->Close();
  ASSERT_TRUE(WaitForClientCount(RemoteServer::kMaxClients - 1));
  auto replacement = Connect();
  EXPECT_TRUE(WaitForClientCount(RemoteServer::kMaxClients));
}

TEST_F(RemoteServerTest, OneAddressTakesNoMoreThanItsShareOfThePlaces) {
  server_.CountLoopbackPerAddress(true);  // these clients stand for one computer of the network
  std::vector<std::unique_ptr<LineClient>> clients;
  for (std::size_t i = 0; i < RemoteServer::kMaxClientsPerAddress; ++i)
    clients.push_back(Connect());
  ASSERT_TRUE(WaitForClientCount(RemoteServer::kMaxClientsPerAddress));

  LineClient extra(server_.Port());
  ASSERT_TRUE(extra.IsConnected());
  EXPECT_TRUE(extra.WaitClosed());
  EXPECT_EQ(extra.Pending(), "");  // not even a WELCOME
  EXPECT_EQ(server_.ClientCount(), RemoteServer::kMaxClientsPerAddress);

  clients.front()->Close();
  ASSERT_TRUE(WaitForClientCount(RemoteServer::kMaxClientsPerAddress - 1));
  auto replacement = Connect();
  EXPECT_TRUE(WaitForClientCount(RemoteServer::kMaxClientsPerAddress));
}

TEST_F(RemoteServerTest, DropsAClientWhoseLineOutgrows64KiB) {
  auto flooder = Connect();
  auto bystander = Connect();
  // A line of exactly the limit is still a command.
  const std::string longest =
      "{\"cmd\":\"" + std::string(RemoteServer::kMaxLineBytes - 10, 'x') + "\"}";
  ASSERT_EQ(longest.size(), RemoteServer::kMaxLineBytes);
  ASSERT_TRUE(flooder->Send(longest + "\r\n"));
  ASSERT_TRUE(DispatchUntil(1));
  EXPECT_EQ(Commands().front(), longest);

  flooder->Send(std::string(RemoteServer::kMaxLineBytes + 1, 'y'));
  EXPECT_TRUE(flooder->WaitClosed());
  ASSERT_TRUE(WaitForClientCount(1));
  ASSERT_TRUE(bystander->Send("{\"cmd\":\"STILL_HERE\"}\n"));
  ASSERT_TRUE(DispatchUntil(2));
  EXPECT_EQ(Commands().back(), R"({"cmd":"STILL_HERE"})");
}

TEST_F(RemoteServerTest, DropsTheClientThatOverfillsTheCommandQueue) {
  auto flooder = Connect();
  std::string lines;
  for (std::size_t i = 0; i <= inbox::CommandInbox::kMaxQueued; ++i)
    lines += "{}\n";
  flooder->Send(lines);
  EXPECT_TRUE(flooder->WaitClosed());
  EXPECT_EQ(inbox_.QueuedCount(), inbox::CommandInbox::kMaxQueued);

  Dispatch();
  EXPECT_EQ(Commands().size(), inbox::CommandInbox::kMaxQueued);
  auto next = Connect();
  ASSERT_TRUE(next->Send("{\"cmd\":\"AFTER\"}\n"));
  ASSERT_TRUE(DispatchUntil(inbox::CommandInbox::kMaxQueued + 1));
  EXPECT_EQ(Commands().back(), R"({"cmd":"AFTER"})");
}

// Splits what a dropped client received into lines; the last one may be cut by the drop.
std::vector<std::string> WholeLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = bytes.find('\n'); end != std::string::npos;
       end = bytes.find('\n', start)) {
    lines.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

TEST_F(RemoteServerTest, DropsAClientThatNeverReadsOnlyPast8MiBWhileOthersGetWholeLines) {
  auto stalled = Connect();  // reads its WELCOME, then nothing more
  auto reader1 = Connect();
  auto reader2 = Connect();
  ASSERT_TRUE(WaitForClientCount(3));

  const std::string padding(256 * 1024, 'p');
  const auto documentNumber = [&](int n) {
    return R"({"n":)" + std::to_string(n) + R"(,"pad":")" + padding + "\"}";
  };
  std::vector<std::string> sent;
  std::size_t bytesBroadcast = 0;
  bool dropped = false;
  // The system's own buffers take some megabytes before the server has to hold anything.
  for (int n = 0; n < 200 && !dropped; ++n) {
    sent.push_back(documentNumber(n));
    SetDocument(sent.back());
    Tick();
    bytesBroadcast += sent.back().size() + 1;
    ASSERT_EQ(reader1->ReadLine(), sent.back());
    ASSERT_EQ(reader2->ReadLine(), sent.back());
    dropped = server_.ClientCount() == 2;
    if (!dropped) {
      ASSERT_EQ(server_.ClientCount(), 3u);
    }
  }
  ASSERT_TRUE(dropped);
  EXPECT_GT(bytesBroadcast, RemoteServer::kMaxOutgoingBytes);

  // The stalled client finds whole documents, in order, up to where it was cut off.
  ASSERT_TRUE(stalled->WaitClosed());
  const std::vector<std::string> received = WholeLines(stalled->Pending());
  ASSERT_FALSE(received.empty());
  for (std::size_t i = 0; i < received.size(); ++i)
    ASSERT_EQ(received[i], sent[i]) << i;

  SetDocument(R"({"n":"after"})");
  Tick();
  EXPECT_EQ(reader1->ReadLine(), R"({"n":"after"})");
  EXPECT_EQ(reader2->ReadLine(), R"({"n":"after"})");
}

TEST_F(RemoteServerTest, StopClosesClientsAndDiscardsCommandsRestartAnnouncesANewPort) {
  auto client = Connect();
  ASSERT_TRUE(WaitForClientCount(1));
  Tick();
  ASSERT_EQ(client->ReadLine(), document_);
  ASSERT_TRUE(client->Send("{\"cmd\":\"NEVER_RUN\"}\n"));
  ASSERT_TRUE(Eventually([&] { return inbox_.QueuedCount() == 1; }));
  const uint16_t oldPort = server_.Port();

  server_.Stop();
  EXPECT_FALSE(server_.IsRunning());
  EXPECT_TRUE(client->WaitClosed());
  EXPECT_EQ(server_.ClientCount(), 0u);
  Dispatch();
  EXPECT_THAT(Commands(), IsEmpty());
  server_.Stop();  // a second stop does nothing
  server_.BroadcastState();

  ASSERT_TRUE(server_.Start());
  EXPECT_TRUE(server_.Start()) << "already running";
  EXPECT_NE(server_.Port(), oldPort);
  LineClient next(server_.Port());
  ASSERT_TRUE(next.IsConnected());
  EXPECT_EQ(next.ReadLine(), Welcome(server_.Port()));
  Tick();
  EXPECT_EQ(next.ReadLine(), document_) << "greeted although the document did not change";
}

TEST(RemoteServer, DrawsADifferentSixteenDigitInstanceIdPerObject) {
  inbox::CommandInbox inbox;
  const RemoteServer a(inbox, 0);
  const RemoteServer b(inbox, 0);
  EXPECT_EQ(a.InstanceId().size(), 16u);
  EXPECT_EQ(a.InstanceId().find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_NE(a.InstanceId(), b.InstanceId());
  EXPECT_EQ(a.ProjectName(), "Untitled Project");
}

TEST(RemoteServer, StartFailsAsAWholeWhenTheDiscoveryPortIsHeldExclusively) {
  // A plain UDP socket without address reuse holds its port exclusively.
  platform::SocketLibrary library;
  const platform::Socket holder = platform::Socket::BindUdp(platform::Endpoint{0, 0});
  ASSERT_TRUE(holder.IsValid());
  inbox::CommandInbox inbox;
  RemoteServer server(inbox, holder.LocalPort());
  EXPECT_FALSE(server.Start());
  EXPECT_FALSE(server.IsRunning());
  EXPECT_EQ(server.Port(), 0);
}

}  // namespace
}  // namespace quorvane::remote
