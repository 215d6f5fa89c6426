#include "quorvane_remote/discovery_client.h"

#include <algorithm>
#include <array>
#include <vector>

#include "quorvane_remote/json_reader.h"
#include "remote/discovery_responder.h"

namespace quorvane::remote_cli {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kProbeInterval = std::chrono::milliseconds(500);
constexpr auto kWaitSlice = std::chrono::milliseconds(100);  // how often `interrupted` is asked

bool IsLoopback(uint32_t address) {
  return (address >> 24) == 127;
}

int Milliseconds(Clock::duration duration) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
  return ms < 0 ? 0 : static_cast<int>(std::min<long long>(ms, 1'000'000));
}

}  // namespace

std::optional<DiscoveredInstance> ReadDiscoveryReply(std::string_view datagram,
                                                     const platform::Endpoint& from) {
  const std::optional<JsonValue> reply = ParseJson(datagram);
  if (!reply || (*reply)["type"].Text() != "KALVERN_DISCOVERY") return std::nullopt;
  const int64_t port = (*reply)["port"].Integer(0);
  if (port < 1 || port > 65535) return std::nullopt;
  DiscoveredInstance instance;
  instance.from = from;
  instance.port = static_cast<uint16_t>(port);
  instance.protocol = (*reply)["protocol"].Integer(0);
  instance.name = (*reply)["name"].Text();
  instance.host = (*reply)["host"].Text();
  instance.instanceId = (*reply)["instanceId"].Text();
  instance.projectName = (*reply)["projectName"].Text();
  instance.reply = std::string(datagram);
  return instance;
}

DiscoveryResult Discover(const DiscoveryRequest& request,
                         const std::function<bool()>& interrupted) {
  DiscoveryResult result;
  // A probe to this machine needs a plain socket; any other address may be a broadcast one,
  // which needs the broadcast permission of the shared kind of socket.
  const platform::Socket socket = IsLoopback(request.probeTo.address)
                                      ? platform::Socket::BindUdp(platform::Endpoint::Loopback(0))
                                      : platform::Socket::BindSharedUdp(0);
  if (!socket.IsValid()) {
    result.error = "cannot open a UDP socket for the probe";
    return result;
  }
  const std::string_view probe = remote::kDiscoveryProbe;
  const auto sendProbe = [&] {
    return socket.SendTo(probe.data(), probe.size(), request.probeTo).status ==
           platform::IoStatus::kDone;
  };
  if (!sendProbe()) {
    result.error = "cannot send the probe";
    return result;
  }

  // Replies carry host and project names, so they may be longer than a probe by far.
  std::vector<char> buffer(64 * 1024);
  const Clock::time_point deadline = Clock::now() + request.timeout;
  Clock::time_point nextProbe = Clock::now() + kProbeInterval;
  for (;;) {
    const Clock::time_point now = Clock::now();
    if (now >= deadline || (interrupted && interrupted())) break;
    if (now >= nextProbe) {
      sendProbe();  // a lost probe is made up for; a failed resend changes nothing
      nextProbe = now + kProbeInterval;
    }
    const Clock::time_point wakeAt = std::min({deadline, nextProbe, now + kWaitSlice});
    std::array<platform::PollEntry, 1> entries{};
    entries[0].handle = socket.NativeHandle();
    entries[0].wantRead = true;
    if (platform::WaitForSockets(entries, Milliseconds(wakeAt - now)) !=
            platform::WaitResult::kReady ||
        !entries[0].readable) {
      continue;
    }
    platform::Endpoint from;
    const platform::IoResult received = socket.ReceiveFrom(buffer.data(), buffer.size(), &from);
    if (received.status != platform::IoStatus::kDone) continue;
    std::optional<DiscoveredInstance> instance =
        ReadDiscoveryReply(std::string_view(buffer.data(), received.bytes), from);
    if (!instance) continue;
    const bool known = std::any_of(
        result.instances.begin(), result.instances.end(), [&](const DiscoveredInstance& seen) {
          return seen.instanceId == instance->instanceId && seen.port == instance->port &&
                 seen.from.address == instance->from.address;
        });
    if (!known) result.instances.push_back(std::move(*instance));
    if (request.firstOnly && !result.instances.empty()) break;
  }
  return result;
}

}  // namespace quorvane::remote_cli
