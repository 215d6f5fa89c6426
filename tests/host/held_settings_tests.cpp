// The owner of the host settings we change, against the simulator: the play rate with its pitch
// mode, and a host that cannot read a setting. Every setting's ways out are driven through the core
// in tests/show/held_settings_test.cpp.
#include <gtest/gtest.h>

#include <limits>

#include "host/held_settings.h"
#include "host/host_api.h"
#include "sim/sim_host.h"

namespace {

using quorvane::host::HeldSettings;
using quorvane::host::Holder;
using quorvane::host::HostApi;
using quorvane::sim::Host;

class HeldSettingsTest : public ::testing::Test {
 protected:
  // Binds the host as it is configured at this moment.
  HeldSettings& Held() {
    api.Bind(host.Info()->GetFunc);
    return held;
  }
  Host host;
  HostApi api;
  HeldSettings held{api};
};

TEST_F(HeldSettingsTest, PlayRateKeepsThePitchAndGivesBothBackAtOne) {
  host.SetConfigVar("audioprshift", 0);
  host.Project().playRate = 1.1;
  ASSERT_TRUE(Held().TakePlayRate(Holder::kPractiseRate, 0.8));
  EXPECT_DOUBLE_EQ(host.PlayRate(), 0.8);
  EXPECT_EQ(host.ConfigVar("audioprshift"), 1);  // pitch preserved while slowed down
  ASSERT_TRUE(held.TakePlayRate(Holder::kPractiseRate, 0.9));
  ASSERT_TRUE(held.TakePlayRate(Holder::kPractiseRate, 1.0000005));
  EXPECT_DOUBLE_EQ(host.PlayRate(), 1.0);  // normal speed, as asked
  EXPECT_EQ(host.ConfigVar("audioprshift"), 0);

  // Nothing held any more: a rate of 1 asked again writes nothing.
  host.ClearCalls();
  ASSERT_TRUE(held.TakePlayRate(Holder::kPractiseRate, 1.0));
  EXPECT_EQ(host.CountCalls("CSurf_OnPlayRateChange"), 0);
}

TEST_F(HeldSettingsTest, InvalidRatesAndUnreadableSettingsChangeNothing) {
  ASSERT_TRUE(Held().TakePlayRate(Holder::kPractiseRate, 1.25));
  host.ClearCalls();
  for (double rate : {0.0, -1.0, std::numeric_limits<double>::infinity(),
                      std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_FALSE(held.TakePlayRate(Holder::kPractiseRate, rate));
  }
  EXPECT_EQ(host.CountCalls("CSurf_OnPlayRateChange"), 0);
  EXPECT_DOUBLE_EQ(host.PlayRate(), 1.25);

  // A smooth-seek variable narrower than 32 bits is not ours to write.
  host.SetConfigVar("smoothseek", 5, 2);
  EXPECT_FALSE(held.TakeSmoothSeek(Holder::kSongPlayer));
  EXPECT_EQ(host.ConfigVar("smoothseek"), 5);
  held.ReleaseAll();
  EXPECT_EQ(host.ConfigVar("smoothseek"), 5);
}

TEST_F(HeldSettingsTest, MissingHostFunctionsLeaveTheirSettingsAlone) {
  host.RemoveFunction("get_config_var");
  host.SetConfigVar("projmetroen", 9);
  EXPECT_FALSE(Held().TakePlayRate(Holder::kPractiseRate, 0.75));
  EXPECT_FALSE(held.TakeHostCountInOff(Holder::kPractiseRun));
  EXPECT_FALSE(held.TakeSmoothSeek(Holder::kSongPlayer));
  EXPECT_EQ(host.CountCalls("CSurf_OnPlayRateChange"), 0);
  EXPECT_DOUBLE_EQ(host.PlayRate(), 1.0);
  EXPECT_EQ(host.ConfigVar("projmetroen"), 9);

  // A rate that could not be read back is not changed either.
  Host other;
  other.RemoveFunction("Master_GetPlayRate");
  HostApi otherApi;
  otherApi.Bind(other.Info()->GetFunc);
  HeldSettings otherHeld{otherApi};
  EXPECT_FALSE(otherHeld.TakePlayRate(Holder::kPractiseRate, 0.75));
  EXPECT_EQ(other.CountCalls("CSurf_OnPlayRateChange"), 0);
  EXPECT_EQ(other.ConfigVar("audioprshift"), 0);
  otherHeld.ReleaseAll();
  EXPECT_EQ(other.CountCalls("CSurf_OnPlayRateChange"), 0);
}

}  // namespace
