// The shipped library with the Link option kept on, loaded through its entry point: it plays a song
// with its Link session joined and unloads without a hang or a crash (Link's threads end with it).
// Under Wine, whose Link sees no peer inside a namespace, this is the Link check of the DLL.
#include <gtest/gtest.h>

#include "link/library_stage.h"
#include "support/netns_guard.h"

namespace quorvane::link_tests {
namespace {

TEST(LinkLibrary, WithTheOptionKeptOnPlaysAndUnloadsCleanly) {
  LibraryStage stage;
  stage.LoadAndPlay();
  EXPECT_TRUE(stage.Unload());
  EXPECT_EQ(stage.host.RegisteredCount("timer"), 0);
}

}  // namespace
}  // namespace quorvane::link_tests
