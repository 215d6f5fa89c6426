// Discovery over real loopback datagrams: which probes are answered and what the reply says.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>

#include "remote/remote_server.h"
#include "tests/remote/loopback_client.h"

namespace quorvane::remote {
namespace {

using namespace testing;  // NOLINT: the loopback helpers

// Most tests let the system pick the discovery port, so that they never meet another instance.
class DiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start());
    ASSERT_NE(server_.DiscoveryPort(), 0);
    ASSERT_TRUE(prober_.IsOpen());
  }

  std::optional<std::string> Probe(std::string_view datagram = kDiscoveryProbe) {
    if (!prober_.SendTo(server_.DiscoveryPort(), datagram)) return std::nullopt;
    return prober_.Receive();
  }

  platform::SocketLibrary sockets_;  // the prober's own, independent of the server's starts
  inbox::CommandInbox inbox_;
  RemoteServer server_{inbox_, 0};
  Prober prober_;
};

TEST_F(DiscoveryTest, AnswersTheExactProbeWithTheInstanceAndItsPort) {
  platform::Endpoint from;
  ASSERT_TRUE(prober_.SendTo(server_.DiscoveryPort(), "KALVERN_DISCOVER"));
  const std::optional<std::string> reply = prober_.Receive(kPatience, &from);
  ASSERT_TRUE(reply);
  EXPECT_EQ(from, platform::Endpoint::Loopback(server_.DiscoveryPort()));

  const auto json = nlohmann::ordered_json::parse(*reply);
  EXPECT_FALSE(server_.HostName().empty());
  EXPECT_EQ(json["host"], server_.HostName());
  if (json["host"].get<std::string>().find_first_of("\"\\") == std::string::npos) {
    EXPECT_EQ(*reply, R"({"type":"KALVERN_DISCOVERY","protocol":2,"port":)" +
                          std::to_string(server_.Port()) +
                          R"(,"name":"KALVERN LIVE PLAYBACK SYSTEM","host":")" +
                          server_.HostName() + R"(","instanceId":")" + server_.InstanceId() +
                          R"(","projectName":"Untitled Project"})");
  }
  std::vector<std::string> keys;
  for (const auto& member : json.items())
    keys.push_back(member.key());
  EXPECT_THAT(keys, ::testing::ElementsAre("type", "protocol", "port", "name", "host", "instanceId",
                                           "projectName"));
  EXPECT_EQ(json["port"], server_.Port());
}

TEST_F(DiscoveryTest, IgnoresAnythingButTheExactProbe) {
  // Replies leave in the order the probes came, so an answer to a wrong probe would arrive
  // before the answer to the right one that follows.
  ASSERT_TRUE(prober_.SendTo(server_.DiscoveryPort(), "KALVERN_DISCOVER\n"));
  ASSERT_TRUE(prober_.SendTo(server_.DiscoveryPort(), "kalvern_discover"));
  ASSERT_TRUE(prober_.SendTo(server_.DiscoveryPort(), "KALVERN_DISCOVE"));
  ASSERT_TRUE(prober_.SendTo(server_.DiscoveryPort(), std::string("KALVERN_DISCOVER\0", 17)));
  ASSERT_TRUE(prober_.SendTo(server_.DiscoveryPort(), std::string(300, 'K')));
  ASSERT_TRUE(prober_.SendTo(server_.DiscoveryPort(), "KALVERN_DISCOVER"));
  const std::optional<std::string> reply = prober_.Receive();
  ASSERT_TRUE(reply);
  EXPECT_EQ(nlohmann::json::parse(*reply)["type"], "KALVERN_DISCOVERY");
  EXPECT_EQ(prober_.Receive(200ms), std::nullopt);
}

TEST_F(DiscoveryTest, EscapesTheProjectNameIntoValidJson) {
  const std::string name = "Tour \"Live\" \\ 2024\x01\t\xC3\xA9t\xC3\xA9";
  server_.SetProjectName(name);
  const std::optional<std::string> reply = Probe();
  ASSERT_TRUE(reply);
  EXPECT_NE(reply->find(R"("projectName":"Tour \"Live\" \\ 2024\u0001\t)"), std::string::npos)
      << *reply;
  EXPECT_EQ(nlohmann::json::parse(*reply)["projectName"], name);
}

TEST_F(DiscoveryTest, RepeatsTheInstanceIdWhichAnotherServerDoesNotShare) {
  const auto first = Probe();
  const auto second = Probe();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(nlohmann::json::parse(*first)["instanceId"], server_.InstanceId());
  EXPECT_EQ(nlohmann::json::parse(*second)["instanceId"], server_.InstanceId());

  RemoteServer other(inbox_, 0);
  ASSERT_TRUE(other.Start());
  ASSERT_TRUE(prober_.SendTo(other.DiscoveryPort(), kDiscoveryProbe));
  const auto reply = prober_.Receive();
  ASSERT_TRUE(reply);
  const auto json = nlohmann::json::parse(*reply);
  EXPECT_EQ(json["instanceId"], other.InstanceId());
  EXPECT_NE(json["instanceId"], server_.InstanceId());
  EXPECT_EQ(json["port"], other.Port());
}

TEST_F(DiscoveryTest, StopsAnsweringWhenStopped) {
  const uint16_t port = server_.DiscoveryPort();
  server_.Stop();
  ASSERT_TRUE(prober_.SendTo(port, kDiscoveryProbe));
  EXPECT_EQ(prober_.Receive(200ms), std::nullopt);
}

// The real port, shared with any other instance running on this computer: every instance binds
// it with address reuse. A probe to 127.0.0.1 reaches one of them, on Linux the one bound last.
TEST(Discovery, InstancesShareTheWellKnownPortAndOneAnswers) {
  const platform::SocketLibrary sockets;
  inbox::CommandInbox inbox;
  RemoteServer first(inbox);
  RemoteServer second(inbox);
  if (!first.Start()) GTEST_SKIP() << "port 48193 is held exclusively by another program";
  ASSERT_TRUE(second.Start()) << "a second instance shares the port";
  EXPECT_EQ(first.DiscoveryPort(), kDiscoveryPort);
  EXPECT_EQ(second.DiscoveryPort(), kDiscoveryPort);

  Prober prober;
  ASSERT_TRUE(prober.SendTo(kDiscoveryPort, kDiscoveryProbe));
  const std::optional<std::string> reply = prober.Receive();
  ASSERT_TRUE(reply);
  const auto json = nlohmann::json::parse(*reply);
  EXPECT_EQ(json["type"], "KALVERN_DISCOVERY");
  // Another instance on this computer may have bound the port after ours and take the probe.
  if (json["instanceId"] == second.InstanceId()) {
    EXPECT_EQ(json["port"], second.Port());
  }
  if (json["instanceId"] == first.InstanceId()) {
    EXPECT_EQ(json["port"], first.Port());
  }
}

}  // namespace
}  // namespace quorvane::remote
