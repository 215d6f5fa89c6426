// What the simulated host was told or shown since the last look, as lines of text: the console
// output and message boxes the extension produced and any misuse of the host interface, and, for
// developers (--trace), every recorded host call, registration and transport change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_host.h"

namespace quorvane::sim {

class HostLog {
 public:
  HostLog(const Host& host, bool everyCall) : host_(host), everyCall_(everyCall) {}

  std::vector<std::string> TakeLines();
  // The registered actions, one line each.
  std::vector<std::string> ActionLines() const;

 private:
  void HostCalls(std::vector<std::string>& lines);

  const Host& host_;
  bool everyCall_;
  size_t registrations_ = 0;
  uint64_t calls_ = 0;  // Host::CallsRecorded when last read
  size_t console_ = 0;
  size_t messages_ = 0;
  size_t problems_ = 0;
  TransportState transport_ = TransportState::kStopped;
};

}  // namespace quorvane::sim
