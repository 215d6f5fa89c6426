// For a suite that multicasts (Link's peer discovery): it must run inside the network namespace
// with only loopback that tests/support/in-netns makes (a NETNS suite in tests/CMakeLists.txt).
// Started any other way, by hand for instance, every test fails before anything reaches the
// network. Include it in exactly one file of the suite.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace quorvane::testing {

class LoopbackOnlyNetwork : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* inside = std::getenv("QUORVANE_NETNS");
    if (inside == nullptr || std::string_view(inside) != "1") {
      FAIL() << "this suite multicasts: run it through tests/support/in-netns (ctest does)";
    }
  }
};

inline ::testing::Environment* const kLoopbackOnlyNetwork =
    ::testing::AddGlobalTestEnvironment(new LoopbackOnlyNetwork);

}  // namespace quorvane::testing
