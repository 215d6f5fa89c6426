// quorvane-remote when nothing answers, when the peer is not what it expects, and against a bare
// remote server on a discovery port of its own (which shows the exact bytes the tool sends and
// the road from a probe to a connection). Only 127.0.0.1.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "platform/socket.h"
#include "remote/remote_server.h"
#include "tools/tool_runner.h"

namespace quorvane::remote_cli::testing {
namespace {

// A port that nothing listens on: bound by the system, then given back.
uint16_t ClosedTcpPort() {
  platform::Socket listener = platform::Socket::ListenTcp();
  return listener.LocalPort();
}

uint16_t SilentUdpPort() {
  platform::Socket socket = platform::Socket::BindUdp(platform::Endpoint::Loopback(0));
  return socket.LocalPort();
}

class ToolWithoutInstance : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(library.IsStarted()); }
  const platform::SocketLibrary library;
};

TEST_F(ToolWithoutInstance, NoAnswerToTheProbeIsReportedWithItsOwnExitCode) {
  const std::string port = std::to_string(SilentUdpPort());
  const std::string message =
      "no instance answered a discovery probe to 127.0.0.1 (UDP port " + port + ") within 0.3 s";
  for (const std::string verb : {"discover", "watch", "next"}) {
    const ToolResult result =
        RunBeside({verb, "--discovery-port", port, "--timeout", "0.3"}, nullptr);
    EXPECT_EQ(result.code, kExitNoInstance) << verb;
    EXPECT_NE(result.err.find(message), std::string::npos) << verb << ": " << result.err;
    EXPECT_EQ(result.out, "") << verb;
  }
}

TEST_F(ToolWithoutInstance, ARefusedConnectionIsReportedWithItsOwnExitCode) {
  const std::string port = std::to_string(ClosedTcpPort());
  for (const std::string verb : {"watch", "next"}) {
    const ToolResult result = RunBeside({verb, "--port", port}, nullptr);
    EXPECT_EQ(result.code, kExitConnectFailed) << verb;
    EXPECT_NE(result.err.find("cannot connect to 127.0.0.1:" + port + ": connection refused"),
              std::string::npos)
        << result.err;
  }
}

// A listener that treats each connection as `greet` says.
class StrangePeer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library.IsStarted());
    ASSERT_TRUE(listener.IsValid());
    ASSERT_TRUE(listener.SetNonBlocking());
  }

  ToolResult Serve(std::vector<std::string> args, const std::string& greeting, bool close) {
    args.push_back("--port");
    args.push_back(std::to_string(listener.LocalPort()));
    return RunBeside(args, [&](const std::string&) {
      platform::Socket accepted = listener.Accept();
      if (!accepted.IsValid()) return;
      if (!greeting.empty()) accepted.Send(greeting.data(), greeting.size());
      if (!close) connections.push_back(std::move(accepted));
    });
  }

  const platform::SocketLibrary library;
  platform::Socket listener = platform::Socket::ListenTcp();
  std::vector<platform::Socket> connections;
};

TEST_F(StrangePeer, ClosingBeforeTheGreetingIsADroppedConnection) {
  const ToolResult result = Serve({"watch"}, "", true);
  EXPECT_EQ(result.code, kExitConnectionLost);
  EXPECT_NE(result.err.find("closed the connection before its greeting"), std::string::npos)
      << result.err;
}

TEST_F(StrangePeer, ClosingAfterTheGreetingIsADroppedConnection) {
  const ToolResult result =
      Serve({"watch"}, "{\"type\":\"WELCOME\",\"protocol\":2,\"port\":1}\n", true);
  EXPECT_EQ(result.code, kExitConnectionLost);
  EXPECT_NE(result.out.find("Connected to 127.0.0.1:"), std::string::npos);
  EXPECT_NE(result.err.find("closed the connection while watching"), std::string::npos)
      << result.err;
}

TEST_F(StrangePeer, AnotherServiceOrSilenceIsNoGreeting) {
  const ToolResult other = Serve({"next"}, "220 mail.example ESMTP\r\n", false);
  EXPECT_EQ(other.code, kExitNoGreeting);
  EXPECT_NE(other.err.find("did not greet like a Quorvane instance: '220 mail.example ESMTP'"),
            std::string::npos)
      << other.err;

  const ToolResult silent = Serve({"next", "--timeout", "0.3"}, "", false);
  EXPECT_EQ(silent.code, kExitNoGreeting);
  EXPECT_NE(silent.err.find("sent no greeting within 0.3 s"), std::string::npos) << silent.err;
}

TEST_F(StrangePeer, WatchSkipsLinesThatAreNotStatesAndShowsTheOthers) {
  const std::string lines =
      "{\"type\":\"WELCOME\",\"protocol\":2,\"port\":1}\n"
      "not json at all\n"
      "{\"type\":\"STATE\",\"projectName\":\"Bare\",\"setlist\":[{\"index\":0,\"name\":"
      "\"Intro\",\"duration\":61.5,\"played\":true}],\"currentIndex\":0}\n";
  const ToolResult result = Serve({"watch", "--count", "1"}, lines, false);
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_NE(result.err.find("skipped a line that is not a state: 'not json at all'"),
            std::string::npos);
  EXPECT_NE(result.out.find("=== \"Bare\""), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("  > [x] #0 Intro"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find(" 1:01\n"), std::string::npos) << result.out;
}

class ToolAgainstBareServer : public ::testing::Test {
 protected:
  void SetUp() override {
    server.SetStateProvider([] { return std::string(kState); });
    ASSERT_TRUE(server.Start());
  }

  ToolResult Run(std::vector<std::string> args) {
    return RunBeside(args, [this](const std::string&) {
      server.BroadcastState();
      Dispatch();
    });
  }

  static constexpr const char* kState =
      R"({"type":"STATE","protocol":2,"instanceId":"0123456789ABCDEF","projectName":"Bare"})";
  void Dispatch() {
    inbox.Run([this](const std::string& line) {
      received.push_back(line);
      return std::string();
    });
  }

  inbox::CommandInbox inbox;
  remote::RemoteServer server{inbox, 0};  // a discovery port of its own, chosen by the system
  std::vector<std::string> received;      // on this thread only
};

TEST_F(ToolAgainstBareServer, SendPutsExactlyTheBuiltLineOnTheWire) {
  const std::string port = std::to_string(server.Port());
  EXPECT_EQ(Run({"send", "SETUP_DURATION", "minutes=60", "name=Encore", "rate=0.75", "enabled=true",
                 "--port", port})
                .code,
            kExitOk);
  EXPECT_EQ(Run({"mute", "3", "off", "--port", port}).code, kExitOk);
  EXPECT_EQ(Run({"select", "-1", "--port", port}).code, kExitOk);
  Dispatch();
  EXPECT_EQ(
      received,
      (std::vector<std::string>{
          R"({"cmd":"SETUP_DURATION","minutes":60,"name":"Encore","rate":0.75,"enabled":true})",
          R"({"cmd":"PROJECT_TRACK_MUTE","trackIndex":3,"muted":false})",
          R"({"cmd":"LIVE_SELECT","index":-1})"}));
}

TEST_F(ToolAgainstBareServer, WithoutAPortTheToolConnectsToTheInstanceThatAnswersTheProbe) {
  const ToolResult result = Run({"watch", "--raw", "--count", "1", "--discovery-port",
                                 std::to_string(server.DiscoveryPort())});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 2u) << result.out;
  EXPECT_EQ(nlohmann::json::parse(lines[0])["port"], server.Port());
  EXPECT_EQ(lines[1], kState);
}

TEST_F(ToolAgainstBareServer, WaitStateShowsTheCurrentStateWhenNothingChanges) {
  const ToolResult result = Run({"ping", "--wait-state", "--raw", "--timeout", "0.4", "--port",
                                 std::to_string(server.Port())});
  EXPECT_EQ(result.code, kExitOk);
  EXPECT_EQ(result.out, std::string(kState) + "\n");
  EXPECT_NE(result.err.find("the state did not change within 0.4 s; it is still:"),
            std::string::npos)
      << result.err;
}

}  // namespace
}  // namespace quorvane::remote_cli::testing
