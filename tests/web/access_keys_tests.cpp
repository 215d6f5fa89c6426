// Access keys a performer can type, the brake on guessing them, and whose pages may connect.
#include "web/access_keys.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace quorvane::web {
namespace {

TEST(AccessKeys, DrawnKeysAreTypableAndDoNotRepeat) {
  std::set<std::string> keys;
  for (int i = 0; i < 200; ++i) {
    const std::string key = DrawAccessKey();
    EXPECT_TRUE(IsWellFormedAccessKey(key)) << key;
    EXPECT_EQ(key.find_first_of("01ilo"), std::string::npos) << key;
    keys.insert(key);
  }
  EXPECT_EQ(keys.size(), 200u);
  EXPECT_FALSE(IsWellFormedAccessKey("short"));
  EXPECT_FALSE(IsWellFormedAccessKey("l0oking1i2"));
}

TEST(AccessKeys, EachKeyOpensItsOwnAccessAndNothingElseOpensAny) {
  const AccessKeys keys{"controlkey", "viewkey234"};
  EXPECT_EQ(keys.Check("controlkey"), Access::kControl);
  EXPECT_EQ(keys.Check("viewkey234"), Access::kView);
  EXPECT_EQ(keys.Check(""), Access::kNone);
  EXPECT_EQ(keys.Check("controlke"), Access::kNone);
}

TEST(WrongKeyThrottle, WrongKeysWaitLongerAndLongerPerAddressForAMinute) {
  using std::chrono::milliseconds;
  using std::chrono::seconds;
  WrongKeyThrottle throttle;
  const auto start = WrongKeyThrottle::Clock::time_point{} + std::chrono::hours(1);
  std::vector<WrongKeyThrottle::Clock::duration> delays;
  for (int i = 0; i < 10; ++i)
    delays.push_back(throttle.RecordWrongKey("10.0.0.5", start + seconds(i)));
  const std::vector<WrongKeyThrottle::Clock::duration> expected = {
      {},         {},         {},         milliseconds(250), milliseconds(500),
      seconds(1), seconds(2), seconds(4), seconds(5),        seconds(5)};
  EXPECT_EQ(delays, expected);
  // Another address is a phone of its own.
  EXPECT_EQ(throttle.RecordWrongKey("10.0.0.6", start + seconds(10)), milliseconds(0));
  // A minute after the last try the address starts afresh.
  EXPECT_EQ(throttle.RecordWrongKey("10.0.0.5", start + seconds(70)), milliseconds(0));
}

TEST(OwnOrigin, OnlyThisServersNamesAndAddressesWithItsPort) {
  const std::vector<std::string> own = {"localhost", "127.0.0.1", "[::1]", "stagepc",
                                        "192.168.1.20"};
  EXPECT_TRUE(IsOwnOrigin("http://192.168.1.20:8470", 8470, own));
  EXPECT_TRUE(IsOwnOrigin("http://StagePC:8470", 8470, own));
  EXPECT_TRUE(IsOwnOrigin("http://[::1]:8470", 8470, own));
  EXPECT_TRUE(IsOwnOrigin("http://localhost", 80, own));
  // A name an attacker points at this computer, with the Host header to match: refused.
  EXPECT_FALSE(IsOwnOrigin("http://rebind.example:8470", 8470, own));
  EXPECT_FALSE(IsOwnOrigin("http://192.168.1.20:8471", 8470, own));
  EXPECT_FALSE(IsOwnOrigin("http://192.168.1.20", 8470, own));
  EXPECT_FALSE(IsOwnOrigin("https://192.168.1.20:8470", 8470, own));
  EXPECT_FALSE(IsOwnOrigin("http://192.168.1.20:8470/", 8470, own));
  EXPECT_FALSE(IsOwnOrigin("http://192.168.1.20:+8470", 8470, own));
  EXPECT_FALSE(IsOwnOrigin("null", 8470, own));
  EXPECT_FALSE(IsOwnOrigin("http://:8470", 8470, own));
}

}  // namespace
}  // namespace quorvane::web
