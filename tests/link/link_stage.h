// The extension's core over the host simulator, its servers closed, for the Link suites: the
// option's command, the state document's "link" member, and a bounded wait for what Link's own
// threads bring (peers found, a timeline received).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "core/core.h"
#include "sim/sim_host.h"
#include "support/netns_guard.h"

namespace quorvane::link_tests {

class LinkStage {
 public:
  LinkStage() { Restart(); }

  // The extension unloaded and loaded again into the same host (its settings kept).
  void Restart() {
    core.reset();
    core = std::make_unique<core::Core>(host.Info()->GetFunc, core::CoreOptions::Closed());
    EXPECT_TRUE(core->Init());
    core->Tick();
  }

  remote::CommandResult Command(const std::string& line) { return core->RunRemoteCommand(line); }
  nlohmann::json Document() const { return nlohmann::json::parse(core->StateDocument()); }
  // The document's last member, as a client reads it.
  std::string LastMember() const {
    const auto document = nlohmann::ordered_json::parse(core->StateDocument());
    return document.empty() ? std::string() : std::prev(document.end()).key();
  }
  void Run(int64_t ms, int64_t tickMs = 33) {
    for (int64_t done = 0; done < ms; done += tickMs) {
      host.Advance(tickMs);
      core->Tick();
    }
  }

  sim::Host host;
  std::unique_ptr<core::Core> core;
};

// Polls `condition` every 10 ms for at most `limit`; true as soon as it holds.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace quorvane::link_tests
