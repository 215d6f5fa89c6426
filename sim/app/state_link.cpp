#include "sim/app/state_link.h"

#include <chrono>

#include "sim/platform/own_listeners.h"
#include "quorvane_remote/discovery_client.h"
#include "remote/discovery_responder.h"

namespace quorvane::sim {
namespace {

using remote_cli::Clock;
using namespace std::chrono_literals;

constexpr auto kConnectTimeout = 500ms;
constexpr auto kWelcomeTimeout = 1000ms;
constexpr auto kDiscoveryTimeout = 600ms;
constexpr auto kSendTimeout = 1000ms;

}  // namespace

bool StateLink::Connect(const std::string& projectName, std::string* detail) {
  Close();
  if (!library_.IsStarted()) {
    *detail = "the system's sockets cannot be used";
    return false;
  }
  for (const uint16_t port : platform::OwnListeningTcpPorts()) {
    if (TryPort(port)) {
      foundBy_ = "own listener";
      return true;
    }
  }
  remote_cli::DiscoveryRequest request;
  request.probeTo = platform::Endpoint::Loopback(remote::kDiscoveryPort);
  request.timeout = kDiscoveryTimeout;
  const remote_cli::DiscoveryResult found = remote_cli::Discover(request);
  for (const remote_cli::DiscoveredInstance& instance : found.instances) {
    if (instance.projectName == projectName && TryPort(instance.port)) {
      foundBy_ = "discovery";
      return true;
    }
  }
  *detail =
      found.error.empty() ? "no remote server of this project answered on 127.0.0.1" : found.error;
  return false;
}

bool StateLink::TryPort(uint16_t port) {
  if (connection_.Connect(platform::Endpoint::Loopback(port), kConnectTimeout) !=
      remote_cli::ConnectStatus::kConnected) {
    return false;
  }
  std::string line;
  if (connection_.ReadLine(&line, Clock::now() + kWelcomeTimeout) ==
      remote_cli::ReadStatus::kLine) {
    const std::optional<remote_cli::JsonValue> welcome = remote_cli::ParseJson(line);
    if (welcome && (*welcome)["type"].Text() == "WELCOME" &&
        (*welcome)["port"].Integer(0) == port) {
      port_ = port;
      return true;
    }
  }
  connection_.Close();
  return false;
}

bool StateLink::Poll(int waitMs) {
  bool fresh = false;
  auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  while (connection_.IsOpen()) {
    std::string line;
    const remote_cli::ReadStatus status = connection_.ReadLine(&line, deadline);
    if (status == remote_cli::ReadStatus::kTimedOut) break;
    if (status != remote_cli::ReadStatus::kLine) {
      connection_.Close();
      break;
    }
    std::optional<remote_cli::JsonValue> document = remote_cli::ParseJson(line);
    if (document && (*document)["type"].Text() == "STATE") {
      state_ = remote_cli::ReadStateView(*document);
      document_ = std::move(document);
      ++statesReceived_;
      fresh = true;
    }
    // What is buffered already is read without waiting again.
    deadline = Clock::now() + 1ms;
  }
  return fresh;
}

bool StateLink::Send(const std::string& commandLine) {
  if (!connection_.IsOpen()) return false;
  return connection_.SendAll(commandLine + "\n", Clock::now() + kSendTimeout);
}

void StateLink::Close() {
  connection_.Close();
  port_ = 0;
  foundBy_.clear();
}

}  // namespace quorvane::sim
