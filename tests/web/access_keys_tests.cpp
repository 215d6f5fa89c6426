// Access keys a performer can type, and the brake on guessing them.
#include "web/access_keys.h"

#include <gtest/gtest.h>

#include <set>

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

TEST(WrongKeyThrottle, AFewTriesAMinutePerAddress) {
  WrongKeyThrottle throttle;
  const auto start = WrongKeyThrottle::Clock::time_point{} + std::chrono::hours(1);
  for (std::size_t i = 0; i < WrongKeyThrottle::kTriesPerMinute; ++i) {
    EXPECT_FALSE(throttle.IsBlocked("10.0.0.5", start));
    throttle.RecordWrongKey("10.0.0.5", start + std::chrono::seconds(i));
  }
  EXPECT_TRUE(throttle.IsBlocked("10.0.0.5", start + std::chrono::seconds(30)));
  EXPECT_FALSE(throttle.IsBlocked("10.0.0.6", start + std::chrono::seconds(30)));
  // A minute after the first try, one more try is allowed.
  EXPECT_FALSE(throttle.IsBlocked("10.0.0.5", start + std::chrono::seconds(60)));
}

}  // namespace
}  // namespace quorvane::web
