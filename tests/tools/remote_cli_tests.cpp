// quorvane-remote against the real extension, loaded in this process through its entry point into
// the host simulator, which this thread ticks while the tool runs on another. Only 127.0.0.1.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host/reaper_api.h"
#include "platform/socket.h"
#include "quorvane_remote/discovery_client.h"
#include "remote/loopback_client.h"
#include "sim/sim_host.h"
#include "tools/tool_runner.h"

QUORVANE_EXPORT int ReaperPluginEntry(HINSTANCE instance, reaper_plugin_info_t* rec);

namespace quorvane::remote_cli::testing {
namespace {

using remote::testing::LineClient;
using sim::Host;

// A project name no other instance on this computer carries, so that the tests know their own
// instance among any others that answer the shared discovery port.
std::string UniqueProjectName() {
  std::random_device random;
  return "remote-cli-test-" + std::to_string(random()) + std::to_string(random());
}

class ToolAgainstExtension : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library.IsStarted());
    host.SaveProjectAs("Shows/" + projectName + ".rpp");
    host.AddRegion(1, "Opening", 0.0, 180.0);
    host.AddRegion(2, "Ballad", 200.0, 440.0);
    host.SetExtState("Quorvane", "Setlist.Count", "2");
    for (int i = 0; i < 2; ++i) {
      const std::string item = "Setlist.Item." + std::to_string(i) + ".";
      host.SetExtState("Quorvane", item + "RegionID", std::to_string(i + 1));
      host.SetExtState("Quorvane", item + "Type", "SONG");
      host.SetExtState("Quorvane", item + "AutoStart", "0");
    }
    ASSERT_EQ(ReaperPluginEntry(nullptr, host.Info()), 1);
    host.Run(100);  // the first ticks hand the project name to the server
    port = FindOwnInstance();
    ASSERT_NE(port, 0) << "the extension's server did not answer discovery on 127.0.0.1";
  }

  void TearDown() override { ReaperPluginEntry(nullptr, nullptr); }

  // The TCP port of this test's instance, by probing until it answers (another process's instance
  // bound to the shared port may take a probe meanwhile); 0 when it never does.
  uint16_t FindOwnInstance() {
    for (int attempt = 0; attempt < 10; ++attempt) {
      DiscoveryRequest request;
      request.probeTo = platform::Endpoint::Loopback(48193);
      request.timeout = std::chrono::milliseconds(300);
      for (const DiscoveredInstance& instance : Discover(request).instances) {
        if (instance.projectName == projectName) return instance.port;
      }
    }
    return 0;
  }

  ToolResult Run(std::vector<std::string> args) {
    return RunBeside(args, [this](const std::string&) { host.Run(33); });
  }
  std::vector<std::string> At(std::vector<std::string> args) const {
    args.push_back("--port");
    args.push_back(std::to_string(port));
    return args;
  }

  // The next STATE a plain client receives, read while ticking.
  nlohmann::json NextState(LineClient& client) {
    for (int tick = 0; tick < 300; ++tick) {
      host.Run(33);
      if (const auto line = client.ReadLine(std::chrono::milliseconds(10))) {
        nlohmann::json message = nlohmann::json::parse(*line);
        if (message["type"] == "STATE") return message;
      }
    }
    ADD_FAILURE() << "no STATE arrived";
    return {};
  }

  const platform::SocketLibrary library;
  const std::string projectName = UniqueProjectName();
  Host host;
  uint16_t port = 0;
};

TEST_F(ToolAgainstExtension, DiscoverListsTheInstanceWithItsPortAndInstanceId) {
  LineClient client(port);
  ASSERT_TRUE(client.IsConnected());
  const nlohmann::json welcome = nlohmann::json::parse(client.ReadLine().value_or("{}"));
  EXPECT_EQ(welcome["port"], port);
  const std::string instanceId = NextState(client)["instanceId"];

  ToolResult result;
  const std::string expected = "127.0.0.1:" + std::to_string(port) + "  instance " + instanceId +
                               "  project \"" + projectName + "\"";
  for (int attempt = 0; attempt < 5 && result.out.find(expected) == std::string::npos; ++attempt) {
    result = Run({"discover", "--timeout", "0.3"});
  }
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_NE(result.out.find(expected), std::string::npos) << result.out;

  const ToolResult raw = Run({"discover", "--timeout", "0.3", "--raw"});
  ASSERT_FALSE(raw.out.empty());
  for (const std::string& line : Lines(raw.out)) {
    const nlohmann::json reply = nlohmann::json::parse(line);
    EXPECT_EQ(reply["type"], "KALVERN_DISCOVERY");
  }
}

TEST_F(ToolAgainstExtension, SendAddPauseAppendsAPauseThatTheNextStateShows) {
  const ToolResult result = Run(At({"send", "SETUP_ADD_PAUSE", "--wait-state"}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_NE(result.out.find("Sent {\"cmd\":\"SETUP_ADD_PAUSE\"} to 127.0.0.1:"), std::string::npos);
  EXPECT_NE(result.out.find("[ ] #0 Opening"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("[ ] #2 PAUSE"), std::string::npos) << result.out;
  // The project itself now stores three items.
  EXPECT_EQ(host.ExtState("Quorvane", "Setlist.Count"), "3");
}

TEST_F(ToolAgainstExtension, SendWithoutWaitingReturnsOnceTheInstanceTookTheCommand) {
  const ToolResult result = Run(At({"add-song", "2"}));  // already in the setlist: refused
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(result.err, "");

  const ToolResult remove = Run(At({"remove", "0"}));
  EXPECT_EQ(remove.code, kExitOk) << remove.err;
  host.Run(100);  // the command runs in the next tick
  EXPECT_EQ(host.ExtState("Quorvane", "Setlist.Count"), "1");
  EXPECT_EQ(host.ExtState("Quorvane", "Setlist.Item.0.RegionID"), "2");
}

TEST_F(ToolAgainstExtension, FieldsReachTheInstanceTypedAsWritten) {
  const ToolResult applied =
      Run(At({"send", "SETUP_DURATION", "minutes=75", "--wait-state", "--raw"}));
  ASSERT_TRUE(applied.finished);
  EXPECT_EQ(applied.code, kExitOk) << applied.err;
  const nlohmann::json state = nlohmann::json::parse(applied.out);
  EXPECT_EQ(state["setup"]["durationMinutes"], 75);

  // Quoted, the number is a string, which the instance does not read: the tool says so, and the
  // state stays as it was.
  const ToolResult ignored = Run(At(
      {"send", "SETUP_DURATION", "minutes=\"90\"", "--wait-state", "--raw", "--timeout", "0.5"}));
  EXPECT_EQ(ignored.code, kExitOk);
  EXPECT_NE(ignored.err.find("warning: field 'minutes' of SETUP_DURATION is read as an integer"),
            std::string::npos)
      << ignored.err;
  EXPECT_NE(ignored.err.find("the state did not change"), std::string::npos) << ignored.err;
  EXPECT_EQ(nlohmann::json::parse(ignored.out)["setup"]["durationMinutes"], 75);
}

TEST_F(ToolAgainstExtension, AliasesDriveTheShow) {
  EXPECT_EQ(Run(At({"start"})).code, kExitOk);
  const ToolResult next = Run(At({"next", "--wait-state"}));
  EXPECT_EQ(next.code, kExitOk) << next.err;
  host.Run(100);
  EXPECT_EQ(host.Transport(), sim::TransportState::kPlaying);

  EXPECT_EQ(Run(At({"stop"})).code, kExitOk);
  host.Run(100);
  EXPECT_EQ(host.Transport(), sim::TransportState::kStopped);
}

TEST_F(ToolAgainstExtension, WatchPrintsTheStateReadably) {
  const ToolResult result = Run(At({"watch", "--count", "1"}));
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.code, kExitOk) << result.err;
  const std::string& out = result.out;
  EXPECT_EQ(out.rfind("Connected to 127.0.0.1:" + std::to_string(port) + " (protocol 2)\n", 0), 0u)
      << out;
  for (const std::string& expected :
       {"=== \"" + projectName + "\" | instance ", std::string(" | 1 client\n"),
        std::string("show PREPARED, stopped, transport button "),
        std::string("Current: #0 Opening\n"),
        std::string("Setlist: 2 songs, music 00:07:00, show "),
        std::string("  > [ ] #0 Opening                      3:00\n"),
        std::string("    [ ] #1 Ballad                       4:00\n"), std::string("Practise: "),
        std::string("Sound check: 0 tracks")}) {
    EXPECT_NE(out.find(expected), std::string::npos) << "missing: " << expected << "\n" << out;
  }
}

TEST_F(ToolAgainstExtension, WatchRawPrintsTheLinesAsTheyArrive) {
  const ToolResult result = Run(At({"watch", "--raw", "--count", "1"}));
  EXPECT_EQ(result.code, kExitOk) << result.err;
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 2u) << result.out;
  const nlohmann::json welcome = nlohmann::json::parse(lines[0]);
  EXPECT_EQ(welcome, nlohmann::json({{"type", "WELCOME"}, {"protocol", 2}, {"port", port}}));
  const nlohmann::json state = nlohmann::json::parse(lines[1]);
  EXPECT_EQ(state["type"], "STATE");
  EXPECT_EQ(state["projectName"], projectName);
}

TEST_F(ToolAgainstExtension, WatchEndsAfterTheGivenSeconds) {
  const ToolResult result = Run(At({"watch", "--seconds", "0.4"}));
  EXPECT_TRUE(result.finished);
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_NE(result.out.find("Setlist: "), std::string::npos);
}

TEST_F(ToolAgainstExtension, AnUnloadedInstanceIsReportedAsAClosedConnection) {
  bool unloaded = false;
  const ToolResult result = RunBeside(At({"watch"}), [&](const std::string& out) {
    if (unloaded) return;
    host.Run(33);
    if (out.find("Sound check: ") != std::string::npos) {
      ReaperPluginEntry(nullptr, nullptr);  // stops the server with the client connected
      unloaded = true;
    }
  });
  ASSERT_TRUE(unloaded);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.code, kExitConnectionLost);
  EXPECT_NE(result.err.find("127.0.0.1:" + std::to_string(port)), std::string::npos) << result.err;
  EXPECT_TRUE(result.err.find("closed the connection while watching") != std::string::npos ||
              result.err.find("broke while watching") != std::string::npos)
      << result.err;

  // With the instance gone, its port refuses.
  const ToolResult refused = Run(At({"next"}));
  EXPECT_EQ(refused.code, kExitConnectFailed);
  EXPECT_NE(refused.err.find("connection refused"), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace quorvane::remote_cli::testing
