#include "web/server_state.h"

#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/websocket/error.hpp>

#include "web/rig_endpoint.h"
#include "web/rig_session.h"
#include "web/websocket_session.h"

namespace quorvane::web {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;

constexpr auto kHeartbeatCheck = std::chrono::milliseconds(100);
// The empty merge patch: it changes nothing, so it is the heartbeat.
constexpr std::string_view kHeartbeat = "{}";

// How a connection ends when its client goes away, or when we close it: no failure. A phone that
// leaves the network ends on a timeout or a reset.
bool IsHangUp(const beast::error_code& error) {
  return error == asio::error::eof || error == asio::error::connection_reset ||
         error == asio::error::connection_aborted || error == asio::error::broken_pipe ||
         error == asio::error::operation_aborted || error == beast::error::timeout ||
         error == beast::http::error::end_of_stream ||
         error == beast::http::error::partial_message || error == beast::websocket::error::closed;
}

}  // namespace

WebServer::Impl::Impl(AccessKeys initialKeys, std::atomic<std::size_t>& count,
                      std::atomic<uint64_t>& joined, inbox::CommandInbox& inbox, FailureSink sink,
                      std::vector<std::string> hostNames, std::shared_ptr<RigHub> hub)
    : rules{std::move(initialKeys), {}, std::move(hostNames), hub != nullptr},
      rigHub(std::move(hub)),
      clientCount(count),
      registrations(joined),
      commands(inbox),
      failureSink(std::move(sink)) {}

void WebServer::Impl::Begin() {
  listener.Accept();
  CheckHeartbeats();
}

void WebServer::Impl::CheckHeartbeats() {
  heartbeat.expires_after(kHeartbeatCheck);
  heartbeat.async_wait([this](beast::error_code error) {
    if (error || closing) return;
    const auto now = Clock::now();
    const Message beat = std::make_shared<const std::string>(kHeartbeat);
    for (const auto& client : OpenClients())
      client->BeatIfQuiet(now, beat);
    CheckHeartbeats();
  });
}

void WebServer::Impl::CloseAll() {
  closing = true;
  listener.Close();
  heartbeat.cancel();
  std::vector<std::shared_ptr<Connection>> open;
  for (const auto& [id, weak] : connections) {
    if (auto connection = weak.lock()) open.push_back(std::move(connection));
  }
  for (const auto& connection : open)
    connection->Close();
}

std::vector<std::shared_ptr<WebSocketSession>> WebServer::Impl::OpenClients() const {
  std::vector<std::shared_ptr<WebSocketSession>> open;
  open.reserve(clients.size());
  for (const auto& [id, weak] : clients) {
    if (auto client = weak.lock()) open.push_back(std::move(client));
  }
  return open;
}

void WebServer::Impl::TakeDocument(const Message& document) {
  const bool first = patcher.Current().empty();
  const std::string patch = patcher.Update(*document);
  if (first && !patcher.Current().empty()) {
    for (const auto& client : OpenClients())
      client->Send(document);
    return;
  }
  if (patch.empty()) return;
  const Message message = std::make_shared<const std::string>(patch);
  for (const auto& client : OpenClients())
    client->Send(message);
}

void WebServer::Impl::Register(const std::shared_ptr<WebSocketSession>& client) {
  clients[client->Id()] = client;
  clientCount = clients.size();
  ++registrations;  // the main thread sends the current document, changed or not
  // The whole document first; the patches that follow start from it.
  if (!patcher.Current().empty()) {
    client->Send(std::make_shared<const std::string>(patcher.Current()));
  }
}

void WebServer::Impl::Forget(uint64_t id) {
  clients.erase(id);
  connections.erase(id);
  clientCount = clients.size();
}

void WebServer::Impl::Reply(uint64_t id, const std::string& text) {
  const auto found = clients.find(id);
  if (found == clients.end()) return;
  if (const auto client = found->second.lock())
    client->Send(std::make_shared<const std::string>(text), true);
}

void WebServer::Impl::ReplaceKeys(AccessKeys next) {
  rules.keys = std::move(next);
  // Clients still in their handshake too: they came in with the old keys.
  std::vector<std::shared_ptr<WebSocketSession>> open;
  for (const auto& [id, weak] : connections) {
    if (auto client = std::dynamic_pointer_cast<WebSocketSession>(weak.lock()))
      open.push_back(std::move(client));
  }
  for (const auto& client : open)
    client->Close();
  // A backup came in with the old key too.
  std::vector<std::shared_ptr<RigSession>> rigs;
  for (const auto& [id, weak] : connections) {
    if (auto backup = std::dynamic_pointer_cast<RigSession>(weak.lock()))
      rigs.push_back(std::move(backup));
  }
  for (const auto& backup : rigs)
    backup->Close();
}

bool WebServer::Impl::RigPlaceLeft() const {
  return rigHub && rigPlaces < kMaxBackups;
}

void WebServer::Impl::RegisterBackup(const std::shared_ptr<RigSession>& backup) {
  backups[backup->Id()] = backup;
  rigHub->connected = backups.size();
  for (const Message& text : rigHub->Greeting())
    backup->Send(text);
}

void WebServer::Impl::ForgetBackup(uint64_t id) {
  backups.erase(id);
  connections.erase(id);
  if (rigHub) rigHub->connected = backups.size();
}

void WebServer::Impl::SendToBackups(const Message& message) {
  std::vector<std::shared_ptr<RigSession>> open;
  for (const auto& [id, weak] : backups) {
    if (auto backup = weak.lock()) open.push_back(std::move(backup));
  }
  for (const auto& backup : open)
    backup->Send(message);
}

void WebServer::Impl::BackupFailed(std::string_view what) {
  if (closing || !failureSink) return;
  try {
    failureSink("rig channel: a backup", what);
  } catch (...) {
    // A sink that fails is itself left unreported.
  }
}

bool WebServer::Impl::Queue(uint64_t client, std::string_view name, std::string line) {
  // The answer runs on the main thread: it hands the refusal to this thread, which sends it. A
  // stopped server's state is kept only by the answer that is running.
  auto reply = [server = weak_from_this(), client,
                name = std::string(name)](std::string_view reason) {
    const std::shared_ptr<Impl> running = server.lock();
    if (!running || running->stopped.load()) return;
    asio::post(running->io, [&server = *running, client, text = RefusalMessage(name, reason)] {
      server.Reply(client, text);
    });
  };
  return commands.Push({inbox::Origin::kWeb, std::move(line), std::move(reply)});
}

bool WebServer::Impl::TakePlace(Access access) {
  if (places >= kMaxClients) return false;
  if (access != Access::kControl && viewPlaces >= kMaxViewClients) return false;
  ++places;
  if (access != Access::kControl) ++viewPlaces;
  return true;
}

void WebServer::Impl::ReleasePlace(Access access) {
  --places;
  if (access != Access::kControl) --viewPlaces;
}

bool WebServer::Impl::AdmitPage(const std::string& address) const {
  if (pageConnections >= kMaxPageConnections) return false;
  const auto found = keylessByAddress.find(address);
  return found == keylessByAddress.end() || found->second < kMaxKeylessPerAddress;
}

void WebServer::Impl::CountKeyless(const std::string& address, int change) {
  if (change > 0) {
    ++keylessByAddress[address];
    return;
  }
  const auto found = keylessByAddress.find(address);
  if (found == keylessByAddress.end()) return;
  if (--found->second == 0) keylessByAddress.erase(found);
}

void WebServer::Impl::ConnectionEnded(std::string_view where, const beast::error_code& error) {
  if (closing || !failureSink || IsHangUp(error)) return;
  try {
    failureSink(where, error.message());
  } catch (...) {
    // A sink that fails is itself left unreported.
  }
}

}  // namespace quorvane::web
