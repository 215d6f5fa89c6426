// Which answer a page request gets, decided without a socket: the key before anything else, the
// brake on wrong keys, the paths, the WebSocket's Origin rule; and the refusal a command gets.
#include "web/web_routes.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "web/web_server.h"

namespace quorvane::web {
namespace {

using std::chrono::milliseconds;
using Json = nlohmann::json;

constexpr uint16_t kPort = 8470;

class Routes : public ::testing::Test {
 protected:
  Route Ask(std::string_view target, std::optional<std::string_view> origin = std::nullopt,
            bool upgrade = false, bool get = true) {
    now += std::chrono::seconds(1);
    return rules.Decide({.get = get, .target = target, .upgrade = upgrade, .origin = origin},
                        "10.0.0.5", local, now);
  }
  Route Upgrade(std::string_view target, std::optional<std::string_view> origin = std::nullopt) {
    return Ask(target, origin, true);
  }

  AccessRules rules{{"controlkey", "viewkey234"}, {}, {"stage-pc.fritz.box"}};
  std::optional<LocalEnd> local = LocalEnd{"192.168.1.20", kPort};
  std::chrono::steady_clock::time_point now =
      std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
};

TEST_F(Routes, EachKeyOpensThePageForItsAccessAndNothingElse) {
  for (const char* target : {"/?key=controlkey", "/index.html?key=controlkey",
                             "/?lang=de&key=controlkey", "/?key=controlkey&lang=de"}) {
    const Route route = Ask(target);
    EXPECT_EQ(route.answer, Answer::kPage) << target;
    EXPECT_EQ(route.access, Access::kControl) << target;
  }
  EXPECT_EQ(Ask("/?key=viewkey234").access, Access::kView);
  EXPECT_EQ(Ask("/elsewhere?key=controlkey").answer, Answer::kNotFound);
  // The key is judged before the path: without it nothing tells which paths exist.
  for (const char* target :
       {"/", "/elsewhere", "/ws", "/?keyx=controlkey", "/?key=", "/key=controlkey"}) {
    EXPECT_EQ(Ask(target).answer, Answer::kKeyNeeded) << target;
  }
}

TEST_F(Routes, OnlyGetIsServedAndOtherMethodsGuessNoKeys) {
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(Ask("/?key=wrongkey22", std::nullopt, false, false).answer, Answer::kGetOnly);
  }
  // None of the ten counted as a guess: the first wrong key on GET is still free.
  EXPECT_EQ(Ask("/?key=wrongkey22").delay, milliseconds(0));
}

TEST_F(Routes, WrongKeysAreAnsweredLaterAndLaterButNoKeyAndTheRightKeyNever) {
  for (int i = 0; i < 10; ++i) {
    const Route route = Ask("/");
    EXPECT_EQ(route.answer, Answer::kKeyNeeded);
    EXPECT_EQ(route.delay, milliseconds(0));
  }
  std::vector<std::chrono::steady_clock::duration> delays;
  for (int i = 0; i < 5; ++i) {
    const Route route = Ask("/?key=wrongkey22");
    EXPECT_EQ(route.answer, Answer::kKeyNeeded);
    delays.push_back(route.delay);
  }
  EXPECT_EQ(delays, (std::vector<std::chrono::steady_clock::duration>{
                        {}, {}, {}, milliseconds(250), milliseconds(500)}));
  const Route right = Ask("/?key=controlkey");
  EXPECT_EQ(right.answer, Answer::kPage);
  EXPECT_EQ(right.delay, milliseconds(0));
  // New keys: the old one opens nothing.
  rules.keys = {"newcontrol", "newviewkey"};
  EXPECT_EQ(Ask("/?key=newcontrol").answer, Answer::kPage);
  EXPECT_EQ(Ask("/?key=controlkey").answer, Answer::kKeyNeeded);
}

TEST_F(Routes, TheSocketOpensOnlyAsAnUpgradeFromThisServersOwnPages) {
  EXPECT_EQ(Ask("/ws?key=controlkey").answer, Answer::kWebSocketOnly);
  // A client that is not a browser sends no Origin: its key is enough.
  const Route direct = Upgrade("/ws?key=viewkey234");
  EXPECT_EQ(direct.answer, Answer::kUpgrade);
  EXPECT_EQ(direct.access, Access::kView);
  for (const char* origin : {"http://localhost:8470", "http://127.0.0.1:8470", "http://[::1]:8470",
                             "http://192.168.1.20:8470", "http://STAGE-PC.fritz.box:8470"}) {
    EXPECT_EQ(Upgrade("/ws?key=controlkey", origin).answer, Answer::kUpgrade) << origin;
  }
  for (const char* origin : {"http://rebind.example:8470", "http://192.168.1.20:8471",
                             "https://localhost:8470", "null"}) {
    EXPECT_EQ(Upgrade("/ws?key=controlkey", origin).answer, Answer::kForeignOrigin) << origin;
  }
  // A foreign page without the key learns nothing about the origin rule.
  EXPECT_EQ(Upgrade("/ws", "http://rebind.example:8470").answer, Answer::kKeyNeeded);
}

TEST_F(Routes, AnIpv6ConnectionAcceptsItsOwnBracketedAddress) {
  local = LocalEnd{"fd00::20", kPort};
  EXPECT_EQ(Upgrade("/ws?key=controlkey", "http://[fd00::20]:8470").answer, Answer::kUpgrade);
  EXPECT_EQ(Upgrade("/ws?key=controlkey", "http://[fd00::21]:8470").answer, Answer::kForeignOrigin);
}

TEST_F(Routes, AnUpgradeWhoseConnectionLostItsAddressEndsUnanswered) {
  local.reset();
  EXPECT_EQ(Upgrade("/ws?key=controlkey").answer, Answer::kHangUp);
  EXPECT_EQ(Ask("/?key=controlkey").answer, Answer::kPage);
}

TEST(RefusalMessage, NamesTheCommandShortenedOnACharacterBoundaryAndTheReason) {
  EXPECT_EQ(Json::parse(RefusalMessage("LIVE_SAVE", "view only")),
            Json({{"type", "REFUSED"}, {"cmd", "LIVE_SAVE"}, {"reason", "view only"}}));
  // 63 bytes, then a two-byte character across the limit: the character goes whole.
  const std::string name = std::string(WebServer::kRefusedNameBytes - 1, 'A') + "\xC3\xA9" + "XYZ";
  const Json cut = Json::parse(RefusalMessage(name, "unknown command"));
  EXPECT_EQ(cut["cmd"], std::string(WebServer::kRefusedNameBytes - 1, 'A'));
  const std::string exact(WebServer::kRefusedNameBytes, 'B');
  EXPECT_EQ(Json::parse(RefusalMessage(exact + "C", "x"))["cmd"], exact);
  EXPECT_EQ(Json::parse(RefusalMessage("say \"hi\"\n", "x"))["cmd"], "say \"hi\"\n");
}

}  // namespace
}  // namespace quorvane::web
