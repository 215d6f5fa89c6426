// Finding running instances: one probe datagram to an address's discovery port, and the replies
// that come back within a time limit.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/socket.h"

namespace quorvane::remote_cli {

struct DiscoveredInstance {
  platform::Endpoint from;  // the address that answered; the instance listens there on `port`
  uint16_t port = 0;
  int64_t protocol = 0;
  std::string name;
  std::string host;
  std::string instanceId;
  std::string projectName;
  std::string reply;  // the datagram as received
};

// A reply datagram read as an instance; none when it is not a discovery reply with a usable port.
std::optional<DiscoveredInstance> ReadDiscoveryReply(std::string_view datagram,
                                                     const platform::Endpoint& from);

struct DiscoveryRequest {
  platform::Endpoint probeTo;  // 127.0.0.1 and the discovery port, unless the user names another
  std::chrono::milliseconds timeout{1000};
  bool firstOnly = false;  // stop at the first reply instead of collecting until the timeout
};

struct DiscoveryResult {
  std::vector<DiscoveredInstance> instances;  // in order of answer, each instance once
  std::string error;                          // the probe could not be sent; empty otherwise
};

// Sends the probe (again every half second, in case one is lost) and collects the replies.
// `interrupted` is polled while waiting; the socket library must be started.
DiscoveryResult Discover(const DiscoveryRequest& request,
                         const std::function<bool()>& interrupted = {});

}  // namespace quorvane::remote_cli
