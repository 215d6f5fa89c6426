// The built extension library itself, loaded the way the host loads it: through its one export.
#include <gtest/gtest.h>

#include <string>

#include "host/reaper_api.h"
#include "sim/platform/dynamic_library.h"
#include "sim/sim_host.h"

namespace {

TEST(ExtensionLibrary, LoadsThroughItsExportRunsAShowAndUnloadsCleanly) {
  quorvane::platform::DynamicLibrary library;
  std::string error;
  ASSERT_TRUE(library.Open(QUORVANE_LIBRARY_FILE, &error)) << error;
  auto entry = reinterpret_cast<ReaperPluginEntryFn>(library.Symbol("ReaperPluginEntry"));
  ASSERT_NE(entry, nullptr);

  quorvane::sim::Host host;
  host.AddRegion(1, "Only", 0.0, 4.0);
  host.SetExtState("Quorvane", "Setlist.Count", "1");
  host.SetExtState("Quorvane", "Setlist.Item.0.RegionID", "1");
  ASSERT_EQ(entry(static_cast<HINSTANCE>(library.Handle()), host.Info()), 1);
  EXPECT_EQ(host.RegisteredCount("timer"), 1);
  EXPECT_EQ(host.RegisteredCount("hookcommand"), 1);

  host.Run(100);
  ASSERT_TRUE(host.RunAction("Quorvane_StartShow"));
  host.Run(5000);  // the library reads the simulator's virtual clock
  EXPECT_EQ(host.ExtState("Quorvane", "show_status"), "FINISHED");

  EXPECT_EQ(entry(static_cast<HINSTANCE>(library.Handle()), nullptr), 0);
  EXPECT_EQ(host.RegisteredCount("timer"), 0);
  EXPECT_EQ(host.RegisteredCount("hookcommand"), 0);
  EXPECT_EQ(host.RegisteredCount("hookcustommenu"), 0);
}

}  // namespace
