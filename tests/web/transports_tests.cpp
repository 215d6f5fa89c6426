// The TCP server and the web remote of one loaded core, side by side on loopback: their clients'
// commands share one inbox, so they run in the order they arrived and meet one cap.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

#include "core/core.h"
#include "sim/sim_host.h"
#include "tests/remote/loopback_client.h"
#include "web/web_client.h"

namespace quorvane::web {
namespace {

using remote::testing::Eventually;
using remote::testing::LineClient;

class BothTransports : public ::testing::Test {
 protected:
  void SetUp() override {
    host.AddRegion(1, "Opener", 0.0, 30.0);
    host.AddRegion(2, "Second", 30.0, 60.0);
    host.AddRegion(3, "Third", 60.0, 90.0);
    core::CoreOptions options;
    options.discoveryPort = 0;  // the system's choice: the suite may run beside another server
    core.emplace(host.Info()->GetFunc, options);
    ASSERT_TRUE(core->Init());
    ASSERT_TRUE(core->Server().IsRunning());
    ASSERT_TRUE(core->Web().Server().IsRunning());
    tcp.emplace(core->Server().Port());
    ASSERT_TRUE(tcp->ReadLine());  // WELCOME
    ASSERT_EQ(web.Connect(core->Web().Server().Port(), "/ws?key=" + core->Web().Keys().control),
              101);
    ASSERT_TRUE(Eventually([&] { return core->Web().Server().ClientCount() == 1; }));
  }

  bool Queued(std::size_t count) {
    return Eventually([&] { return core->Inbox().QueuedCount() == count; });
  }
  std::vector<std::string> SetlistNames() {
    std::vector<std::string> names;
    const nlohmann::json document = nlohmann::json::parse(core->StateDocument());
    for (const auto& item : document["setlist"])
      names.push_back(item["name"].get<std::string>());
    return names;
  }

  sim::Host host;
  platform::SocketLibrary sockets;  // the clients' own
  std::optional<core::Core> core;
  std::optional<LineClient> tcp;
  testing::WebSocketClient web;
};

TEST_F(BothTransports, CommandsRunInTheOrderTheyArrivedWhicheverTransportBroughtThem) {
  ASSERT_TRUE(tcp->Send("{\"cmd\":\"SETUP_ADD_REGION\",\"regionId\":3}\n"));
  ASSERT_TRUE(Queued(1));
  ASSERT_TRUE(web.Send(R"({"cmd":"SETUP_ADD_REGION","regionId":1})"));
  ASSERT_TRUE(Queued(2));
  ASSERT_TRUE(tcp->Send("{\"cmd\":\"SETUP_ADD_REGION\",\"regionId\":2}\n"));
  ASSERT_TRUE(Queued(3));
  // A web command the table does not know is answered; its place in the order costs nothing.
  ASSERT_TRUE(web.Send(R"({"cmd":"SETUP_ADD_EVERYTHING"})"));
  ASSERT_TRUE(Queued(4));

  core->Tick();
  EXPECT_EQ(SetlistNames(), (std::vector<std::string>{"Third", "Opener", "Second"}));
  std::optional<std::string> answer;
  for (int i = 0; i < 50; ++i) {
    answer = web.Read();
    if (!answer || answer->find("REFUSED") != std::string::npos) break;
  }
  ASSERT_TRUE(answer);
  EXPECT_EQ(nlohmann::json::parse(*answer),
            nlohmann::json::parse(
                R"({"type":"REFUSED","cmd":"SETUP_ADD_EVERYTHING","reason":"unknown command"})"));
}

TEST_F(BothTransports, OneFullInboxDropsTheNextSenderWhicheverTransportItUses) {
  std::string flood;
  for (std::size_t i = 0; i < inbox::CommandInbox::kMaxQueued; ++i)
    flood += "{\"cmd\":\"PING\"}\n";
  ASSERT_TRUE(tcp->Send(flood));
  ASSERT_TRUE(Queued(inbox::CommandInbox::kMaxQueued));
  EXPECT_EQ(core->Server().ClientCount(), 1u) << "the lines that fit keep their sender";

  ASSERT_TRUE(web.Send(R"({"cmd":"SETUP_ADD_REGION","regionId":1})"));
  EXPECT_TRUE(web.WaitForClose());
  ASSERT_TRUE(tcp->Send("{\"cmd\":\"PING\"}\n"));
  EXPECT_TRUE(tcp->WaitClosed());
  EXPECT_EQ(core->Inbox().QueuedCount(), inbox::CommandInbox::kMaxQueued);

  // Once run, the inbox takes commands again.
  for (int i = 0; i < 10'000 && core->Inbox().QueuedCount() > 0; ++i)
    core->Tick();
  LineClient next(core->Server().Port());
  ASSERT_TRUE(next.ReadLine());
  ASSERT_TRUE(next.Send("{\"cmd\":\"SETUP_ADD_REGION\",\"regionId\":2}\n"));
  ASSERT_TRUE(Queued(1));
  core->Tick();
  EXPECT_EQ(SetlistNames(), (std::vector<std::string>{"Second"}));
}

}  // namespace
}  // namespace quorvane::web
