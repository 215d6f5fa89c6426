// Answers the UDP probes by which remote apps find a running instance and its TCP port.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/socket.h"
#include "remote/failure_sink.h"

namespace quorvane::remote {

inline constexpr uint16_t kDiscoveryPort = 48193;
// A probe is exactly these 16 bytes: no line feed, no terminating zero.
inline constexpr std::string_view kDiscoveryProbe = "KALVERN_DISCOVER";
inline constexpr std::string_view kProductName = "KALVERN LIVE PLAYBACK SYSTEM";
// How long the responder waits for a datagram before it looks at the running flag again.
inline constexpr int kDiscoveryWaitMilliseconds = 250;

// What a reply tells about the running instance.
struct DiscoveryIdentity {
  uint16_t port = 0;  // the TCP port of the command server
  std::string hostName;
  std::string instanceId;
  std::string projectName;
};

bool IsDiscoveryProbe(std::string_view datagram);

// The reply datagram: one JSON object, no line feed.
std::string BuildDiscoveryReply(const DiscoveryIdentity& identity);

// Reads away what reached a wake socket while the server keeps running, so that a stray datagram
// does not keep every wait returning at once. The socket must be non-blocking.
void DrainWakeSocket(const platform::Socket& wake);

// The discovery thread's body. Answers every probe arriving on `socket` with one datagram to its
// sender, until `running` is false; `wake` turning readable ends the current wait early.
// `identity` is called per probe, on this thread; what fails while answering one probe goes to
// `failures` and the next probe is answered. Never throws.
void RunDiscoveryResponder(const platform::Socket& socket, const platform::Socket& wake,
                           const std::atomic<bool>& running,
                           const std::function<DiscoveryIdentity()>& identity,
                           const FailureSink& failures) noexcept;

}  // namespace quorvane::remote
