#include "remote/remote_server.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <random>
#include <utility>

#include "protocol/json_writer.h"

namespace quorvane::remote {

using protocol::JsonWriter;
namespace {

// Receive chunk and how many of them one client may deliver per pass, so that one busy client
// cannot starve the others or keep the clients' lock for long.
constexpr std::size_t kReceiveChunkBytes = 4096;
constexpr int kChunksPerPass = 16;
// The control thread's wait: the stop wake socket, the listener, the send wake socket, then the
// clients.
constexpr std::size_t kFirstClientEntry = 3;

// 127.0.0.0/8: this computer.
bool IsLoopback(uint32_t address) {
  return (address >> 24) == 127;
}

int64_t SteadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string DrawInstanceId(const FailureSink& failures) {
  uint64_t r1 = 0;
  uint64_t r2 = 0;
  try {
    std::random_device device;
    r1 = device();
    r2 = device();
  } catch (...) {
    // No system entropy source: the clock alone still makes ids differ between loads.
    ReportCaughtException(failures, "remote server: drawing the instance id");
  }
  std::mt19937_64 engine((r1 << 32) ^ r2 ^ static_cast<uint64_t>(SteadyNanoseconds()));
  const uint64_t d1 = engine();
  const uint64_t d2 = engine();
  std::array<char, 17> text{};
  std::snprintf(text.data(), text.size(), "%08X%08X", static_cast<unsigned>(d2 & 0xFFFFFFFFu),
                static_cast<unsigned>(d1 & 0xFFFFFFFFu));
  return std::string(text.data());
}

std::string WelcomeLine(uint16_t port) {
  JsonWriter json;
  json.BeginObject()
      .Key("type")
      .String("WELCOME")
      .Key("protocol")
      .Integer(kProtocolVersion)
      .Key("port")
      .Integer(port)
      .EndObject();
  return json.Take() + '\n';
}

}  // namespace

RemoteServer::RemoteServer(inbox::CommandInbox& commands, uint16_t discoveryPort, SteadyClock clock)
    : commands_(commands),
      discoveryPort_(discoveryPort),
      clock_(clock ? std::move(clock) : SteadyClock(&SteadyNanoseconds)) {}

RemoteServer::~RemoteServer() {
  try {
    Stop();
  } catch (...) {
    // Nothing may leave a destructor that runs while the host unloads the library.
    ReportCaughtException(failureSink_, "remote server: stop");
  }
}

void RemoteServer::SetStateProvider(StateProvider provider) {
  std::lock_guard lock(callbacksMutex_);
  stateProvider_ = std::move(provider);
}

void RemoteServer::CountLoopbackPerAddress(bool count) {
  std::lock_guard lock(clientsMutex_);
  countLoopbackPerAddress_ = count;
}

bool RemoteServer::Start() {
  std::lock_guard lifecycle(lifecycleMutex_);
  if (running_.load()) return true;

  const auto open = [this] {
    library_.emplace();
    if (!library_->IsStarted()) return false;
    {
      std::lock_guard lock(identityMutex_);
      if (instanceId_.empty()) instanceId_ = DrawInstanceId(failureSink_);
      if (hostName_.empty()) hostName_ = platform::HostName();
    }
    listener_ = platform::Socket::ListenTcp();
    if (!listener_.IsValid()) return false;
    port_ = listener_.LocalPort();
    if (port_.load() == 0) return false;
    discoverySocket_ = platform::Socket::BindSharedUdp(discoveryPort_);
    if (!discoverySocket_.IsValid()) return false;
    boundDiscoveryPort_ = discoverySocket_.LocalPort();
    // The responder waits on readiness first; the timeout bounds a receive after a failed wait.
    if (!discoverySocket_.SetReceiveTimeout(kDiscoveryWaitMilliseconds)) return false;
    if (!listener_.SetNonBlocking()) return false;
    wakeSocket_ = platform::Socket::BindUdp(platform::Endpoint::Loopback(0));
    if (!wakeSocket_.IsValid() || !wakeSocket_.SetNonBlocking() || wakeSocket_.LocalPort() == 0) {
      return false;
    }
    sendWakeSocket_ = platform::Socket::BindUdp(platform::Endpoint::Loopback(0));
    if (!sendWakeSocket_.IsValid() || !sendWakeSocket_.SetNonBlocking()) return false;
    sendWakePort_ = sendWakeSocket_.LocalPort();
    return sendWakePort_.load() != 0;
  };
  try {
    if (!open()) {
      CloseAll();
      return false;
    }
    running_ = true;
    controlThread_ = std::thread([this] { RunControlLoop(); });
  } catch (...) {
    ReportCaughtException(failureSink_, "remote server: start");
    running_ = false;
    CloseAll();
    return false;
  }
  try {
    discoveryThread_ = std::thread([this] {
      try {
        const std::function<DiscoveryIdentity()> identity = [this] { return Identity(); };
        RunDiscoveryResponder(discoverySocket_, wakeSocket_, running_, identity, failureSink_);
      } catch (...) {
        // The thread ends; the server keeps serving its TCP clients.
        ReportCaughtException(failureSink_, "remote discovery: thread");
      }
    });
  } catch (...) {
    ReportCaughtException(failureSink_, "remote server: starting discovery");
    running_ = false;
    const char wake = 0;
    wakeSocket_.SendTo(&wake, 1, platform::Endpoint::Loopback(wakeSocket_.LocalPort()));
    controlThread_.join();
    CloseAll();
    return false;
  }
  return true;
}

void RemoteServer::Stop() {
  std::lock_guard lifecycle(lifecycleMutex_);
  if (!running_.exchange(false)) return;
  // The threads would notice within one wait anyway (50 ms, 250 ms); the datagram ends it now.
  const char wake = 0;
  wakeSocket_.SendTo(&wake, 1, platform::Endpoint::Loopback(wakeSocket_.LocalPort()));
  if (controlThread_.joinable()) controlThread_.join();
  if (discoveryThread_.joinable()) discoveryThread_.join();
  CloseAll();
}

void RemoteServer::CloseAll() {
  {
    std::lock_guard lock(clientsMutex_);
    clients_.clear();
    retired_.clear();
  }
  commands_.Discard(inbox::Origin::kTcp);
  listener_.Close();
  discoverySocket_.Close();
  wakeSocket_.Close();
  sendWakeSocket_.Close();
  sendWakePort_ = 0;
  port_ = 0;
  boundDiscoveryPort_ = 0;
  library_.reset();  // after every socket is closed
}

void RemoteServer::RunControlLoop() noexcept {
  while (running_.load()) {
    try {
      if (!ControlPass()) return;
    } catch (...) {
      // Out of memory in one pass: the next pass starts afresh.
      ReportCaughtException(failureSink_, "remote server: control thread");
    }
  }
}

bool RemoteServer::ControlPass() {
  std::vector<platform::PollEntry> entries;
  {
    std::lock_guard lock(clientsMutex_);
    entries.reserve(clients_.size() + kFirstClientEntry);
    entries.push_back({.handle = wakeSocket_.NativeHandle(), .wantRead = true});
    entries.push_back({.handle = listener_.NativeHandle(), .wantRead = true});
    entries.push_back({.handle = sendWakeSocket_.NativeHandle(), .wantRead = true});
    for (const auto& [handle, client] : clients_) {
      entries.push_back(
          {.handle = handle, .wantRead = true, .wantWrite = client.outgoingBytes > 0});
    }
  }
  if (platform::WaitForSockets(entries, kControlWaitMilliseconds) ==
      platform::WaitResult::kFailed) {
    return false;
  }
  if (!running_.load()) return true;
  if (entries[0].readable) DrainWakeSocket(wakeSocket_);
  const bool linesQueued = entries[2].readable;
  if (linesQueued) DrainWakeSocket(sendWakeSocket_);
  if (entries[1].readable) AcceptClients();
  TakeClientsPass(entries, linesQueued);
  return true;
}

void RemoteServer::TakeClientsPass(const std::vector<platform::PollEntry>& entries,
                                   bool linesQueued) {
  std::lock_guard lock(clientsMutex_);
  // Sockets the main thread dropped during the wait are closed only now that nobody waits on them.
  retired_.clear();
  if (linesQueued) {
    // The main thread queued a document: every socket takes what it can now.
    for (auto it = clients_.begin(); it != clients_.end();) {
      if (it->second.outgoingBytes > 0 && !Flush(it->second)) {
        it = clients_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (std::size_t i = kFirstClientEntry; i < entries.size(); ++i) {
    const platform::PollEntry& entry = entries[i];
    if (!entry.readable && !entry.writable) continue;
    const auto found = clients_.find(entry.handle);
    if (found == clients_.end()) continue;
    Client& client = found->second;
    bool keep = true;
    if (entry.writable) keep = Flush(client);
    if (keep && entry.readable) keep = ReadFrom(client);
    if (!keep) clients_.erase(found);  // closes it; its unfinished line goes with it
  }
}

void RemoteServer::AcceptClients() {
  const auto welcome = std::make_shared<const std::string>(WelcomeLine(port_.load()));
  for (std::size_t accepted = 0; accepted < kMaxClients; ++accepted) {
    platform::Endpoint peer;
    platform::Socket socket = listener_.Accept(&peer);
    if (!socket.IsValid()) return;
    std::lock_guard lock(clientsMutex_);
    // Beyond either limit the connection is closed at once, unanswered.
    if (clients_.size() >= kMaxClients) continue;
    if (countLoopbackPerAddress_ || !IsLoopback(peer.address)) {
      std::size_t fromPeer = 0;
      for (const auto& entry : clients_)
        fromPeer += entry.second.address == peer.address ? 1 : 0;
      if (fromPeer >= kMaxClientsPerAddress) continue;
    }
    if (!socket.SetNonBlocking()) continue;
    socket.SetNoDelay();
    const platform::Socket::Handle handle = socket.NativeHandle();
    Client& client = clients_[handle];
    client.socket = std::move(socket);
    client.address = peer.address;
    // The greeting's state follows from the main thread's next BroadcastState.
    if (!QueueLine(client, welcome) || !Flush(client)) clients_.erase(handle);
  }
}

bool RemoteServer::ReadFrom(Client& client) {
  std::array<char, kReceiveChunkBytes> buffer;
  for (int chunk = 0; chunk < kChunksPerPass; ++chunk) {
    const platform::IoResult received = client.socket.Receive(buffer.data(), buffer.size());
    switch (received.status) {
      case platform::IoStatus::kDone:
        if (!TakeBytes(client, std::string_view(buffer.data(), received.bytes))) return false;
        break;
      case platform::IoStatus::kWouldBlock:
        return true;
      case platform::IoStatus::kClosed:
      case platform::IoStatus::kFailed:
        return false;
    }
  }
  return true;  // more may be waiting; the next pass reads it
}

bool RemoteServer::TakeBytes(Client& client, std::string_view bytes) {
  std::string& incoming = client.incoming;
  std::size_t scanFrom = incoming.size();
  incoming.append(bytes);
  std::vector<std::string> lines;
  std::size_t lineStart = 0;
  for (std::size_t end = incoming.find('\n', scanFrom); end != std::string::npos;
       end = incoming.find('\n', scanFrom)) {
    std::string_view line(incoming.data() + lineStart, end - lineStart);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kMaxLineBytes) return false;
    if (!line.empty()) lines.emplace_back(line);
    lineStart = scanFrom = end + 1;
  }
  incoming.erase(0, lineStart);
  const bool pendingReturn = !incoming.empty() && incoming.back() == '\r';
  if (incoming.size() - (pendingReturn ? 1 : 0) > kMaxLineBytes) return false;
  if (lines.empty()) return true;

  // The inbox wakes the main thread; a client whose lines find it full is dropped.
  return commands_.PushLines(inbox::Origin::kTcp, std::move(lines));
}

bool RemoteServer::QueueLine(Client& client, std::shared_ptr<const std::string> line) {
  if (client.outgoingBytes + line->size() > kMaxOutgoingBytes) return false;
  client.outgoingBytes += line->size();
  client.outgoing.push_back(std::move(line));
  return true;
}

bool RemoteServer::Flush(Client& client) {
  while (!client.outgoing.empty()) {
    const std::string& line = *client.outgoing.front();
    const platform::IoResult sent =
        client.socket.Send(line.data() + client.outgoingSent, line.size() - client.outgoingSent);
    if (sent.status == platform::IoStatus::kWouldBlock) break;
    if (sent.status != platform::IoStatus::kDone) return false;
    if (sent.bytes == 0) break;
    client.outgoingSent += sent.bytes;
    client.outgoingBytes -= sent.bytes;
    if (client.outgoingSent == line.size()) {
      client.outgoing.pop_front();
      client.outgoingSent = 0;
    }
  }
  return true;
}

void RemoteServer::Retire(platform::Socket::Handle handle) {
  const auto found = clients_.find(handle);
  if (found == clients_.end()) return;
  retired_.push_back(std::move(found->second.socket));
  clients_.erase(found);
}

void RemoteServer::WakeForSending() {
  // A full wake socket means a wake-up is already pending; the control thread also sends on its
  // next pass whatever is queued.
  const char wake = 0;
  sendWakeSocket_.SendTo(&wake, 1, platform::Endpoint::Loopback(sendWakePort_.load()));
}

void RemoteServer::SetProjectName(std::string name) {
  std::lock_guard lock(identityMutex_);
  projectName_ = std::move(name);
}

std::string RemoteServer::ProjectName() const {
  std::lock_guard lock(identityMutex_);
  return projectName_;
}

std::string RemoteServer::InstanceId() const {
  std::lock_guard lock(identityMutex_);
  if (instanceId_.empty()) instanceId_ = DrawInstanceId(failureSink_);
  return instanceId_;
}

std::string RemoteServer::HostName() const {
  std::lock_guard lock(identityMutex_);
  return hostName_;
}

DiscoveryIdentity RemoteServer::Identity() const {
  DiscoveryIdentity identity;
  identity.port = port_.load();
  std::lock_guard lock(identityMutex_);
  identity.hostName = hostName_;
  identity.instanceId = instanceId_;
  identity.projectName = projectName_;
  return identity;
}

std::size_t RemoteServer::ClientCount() const {
  std::lock_guard lock(clientsMutex_);
  return clients_.size();
}

}  // namespace quorvane::remote
