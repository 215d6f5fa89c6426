#include "remote/discovery_responder.h"

#include <array>

#include "protocol/json_writer.h"

namespace quorvane::remote {

using protocol::JsonWriter;

void DrainWakeSocket(const platform::Socket& wake) {
  std::array<char, 64> buffer{};
  for (int i = 0; i < 16; ++i) {
    if (wake.ReceiveFrom(buffer.data(), buffer.size(), nullptr).status !=
        platform::IoStatus::kDone) {
      return;
    }
  }
}

bool IsDiscoveryProbe(std::string_view datagram) {
  return datagram == kDiscoveryProbe;
}

std::string BuildDiscoveryReply(const DiscoveryIdentity& identity) {
  JsonWriter json;
  json.BeginObject()
      .Key("type")
      .String("KALVERN_DISCOVERY")
      .Key("protocol")
      .Integer(2)
      .Key("port")
      .Integer(identity.port)
      .Key("name")
      .String(kProductName)
      .Key("host")
      .String(identity.hostName)
      .Key("instanceId")
      .String(identity.instanceId)
      .Key("projectName")
      .String(identity.projectName)
      .EndObject();
  return json.Take();
}

void RunDiscoveryResponder(const platform::Socket& socket, const platform::Socket& wake,
                           const std::atomic<bool>& running,
                           const std::function<DiscoveryIdentity()>& identity,
                           const FailureSink& failures) noexcept {
  while (running.load()) {
    try {
      std::array<platform::PollEntry, 2> entries{};
      entries[0].handle = socket.NativeHandle();
      entries[0].wantRead = true;
      entries[1].handle = wake.NativeHandle();
      entries[1].wantRead = true;
      const platform::WaitResult waited =
          platform::WaitForSockets(entries, kDiscoveryWaitMilliseconds);
      if (!running.load()) return;
      if (waited == platform::WaitResult::kTimeout) continue;
      if (entries[1].readable) DrainWakeSocket(wake);
      // After a failed wait the receive itself waits, bounded by the socket's receive timeout.
      if (waited == platform::WaitResult::kReady && !entries[0].readable) continue;

      // One byte more than a probe's length would need, so that longer datagrams never match.
      std::array<char, 256> buffer{};
      platform::Endpoint sender;
      const platform::IoResult received = socket.ReceiveFrom(buffer.data(), 255, &sender);
      if (received.status != platform::IoStatus::kDone || received.bytes == 0) continue;
      if (!IsDiscoveryProbe(std::string_view(buffer.data(), received.bytes))) continue;

      const std::string reply = BuildDiscoveryReply(identity());
      socket.SendTo(reply.data(), reply.size(), sender);  // a lost reply is probed again
    } catch (...) {
      // Out of memory while building a reply: skip this probe and keep answering.
      ReportCaughtException(failures, "remote discovery: answering a probe");
    }
  }
}

}  // namespace quorvane::remote
