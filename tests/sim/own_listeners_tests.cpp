// The seam by which quorvane-sim finds the server of the extension it loaded: the process's own
// listening ports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/platform/message_pump.h"
#include "sim/platform/own_listeners.h"
#include "platform/socket.h"

namespace quorvane::platform {
namespace {

TEST(SimOwnListeners, AListenerOfThisProcessIsAmongItsPorts) {
  SocketLibrary library;
  ASSERT_TRUE(library.IsStarted());
  const Socket listener = Socket::ListenTcp();
  ASSERT_TRUE(listener.IsValid());
  const std::vector<uint16_t> ports = OwnListeningTcpPorts();
  if (ports.empty() && SystemHasWindows()) {
    GTEST_SKIP() << "this system does not tell which process owns a socket (Wine); quorvane-sim "
                    "falls back to discovery";
  }
  EXPECT_THAT(ports, ::testing::Contains(listener.LocalPort()));
}

}  // namespace
}  // namespace quorvane::platform
