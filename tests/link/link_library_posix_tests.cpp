// The shipped library's Link session as the room sees it: a peer in the same namespace finds it
// while the library is loaded with the option kept on, and loses it when the library unloads.
#include <gtest/gtest.h>

#include <chrono>

#include "link/library_stage.h"
#include "link/link_session.h"
#include "link/link_stage.h"

namespace quorvane::link_tests {
namespace {

using namespace std::chrono_literals;

TEST(LinkLibrary, TheRoomSeesTheLoadedLibraryComeAndGo) {
  link::LinkSession peer;
  peer.Join();
  LibraryStage stage;
  stage.LoadAndPlay();
  EXPECT_TRUE(WaitFor([&] { return peer.Peers() >= 1; }, 10s))
      << "the room's peer never saw the library's session";
  EXPECT_TRUE(stage.Unload());
  EXPECT_TRUE(WaitFor([&] { return peer.Peers() == 0; }, 10s)) << "it left on unload";
}

}  // namespace
}  // namespace quorvane::link_tests
