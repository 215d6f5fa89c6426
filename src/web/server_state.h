// The web server's shared state (WebServer::Impl): the sessions open now, the WebSocket places,
// the access rules, the documents and patches; and the thread's io_context with the listener and
// the heartbeat. Sessions join it and leave it; only the server's thread touches it, except the
// next document, which the main thread reaches through its mutex, and the command inbox.
#pragma once

#include <utility>  // Boost 1.74's Asio uses std::exchange without including it under C++20

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/error.hpp>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "web/state_patcher.h"
#include "web/web_listener.h"
#include "web/web_routes.h"
#include "web/web_server.h"

namespace quorvane::web {

using Clock = std::chrono::steady_clock;
using Message = std::shared_ptr<const std::string>;

inline constexpr const char* kServerName = "Quorvane";
// A whole request header must arrive within this, and the next request of a kept connection too
// (and a WebSocket handshake): a connection that sends half a request holds its place no longer.
inline constexpr auto kRequestTimeout = std::chrono::seconds(5);

// Every open connection, so that a stop or new keys can close them all.
class Connection {
 public:
  virtual ~Connection() = default;
  virtual void Close() = 0;
};

class WebSocketSession;
class RigSession;
struct RigHub;

struct WebServer::Impl : std::enable_shared_from_this<WebServer::Impl> {
  Impl(AccessKeys initialKeys, std::atomic<std::size_t>& count, std::atomic<uint64_t>& joined,
       inbox::CommandInbox& inbox, FailureSink sink, std::vector<std::string> hostNames,
       std::shared_ptr<RigHub> rigHub);

  // Starts the listener's accepting and the heartbeat, on the thread.
  void Begin();
  void CheckHeartbeats();
  void CloseAll();
  void TakeDocument(const Message& document);
  void Register(const std::shared_ptr<WebSocketSession>& client);
  void Forget(uint64_t id);
  void Reply(uint64_t client, const std::string& text);
  void ReplaceKeys(AccessKeys next);
  // Hands a client's command to the inbox, with the answer its refusal takes back to the client;
  // false when the inbox is full (the sender is dropped).
  bool Queue(uint64_t client, std::string_view name, std::string line);
  // The registered clients still open, taken before sending to them: a send may drop a client,
  // which removes it from `clients`.
  std::vector<std::shared_ptr<WebSocketSession>> OpenClients() const;
  // The rig channel's backups (only with a hub): joined after their handshake, sent to in order.
  bool RigPlaceLeft() const;
  void RegisterBackup(const std::shared_ptr<RigSession>& backup);
  void ForgetBackup(uint64_t id);
  void SendToBackups(const Message& message);
  // A backup's bad message or a failed read: told to the failure sink like other bad input.
  void BackupFailed(std::string_view what);
  // A WebSocket place for a client with `access`, taken when its upgrade starts; false when none
  // is left for that key.
  bool TakePlace(Access access);
  void ReleasePlace(Access access);
  // Page connections: counted while open, and per address until they show a key.
  bool AdmitPage(const std::string& address) const;
  void CountKeyless(const std::string& address, int change);
  // A connection ended on `error` that it did not close itself: told to the failure sink unless
  // it is an ordinary hang-up (the sink's owner says each distinct failure once).
  void ConnectionEnded(std::string_view where, const boost::beast::error_code& error);

  // Declared before the io_context: sessions destroyed with it still find these.
  AccessRules rules;
  StatePatcher patcher;
  std::unordered_map<uint64_t, std::weak_ptr<Connection>> connections;
  std::unordered_map<uint64_t, std::weak_ptr<WebSocketSession>> clients;
  const std::shared_ptr<RigHub> rigHub;  // null: no rig channel
  std::unordered_map<uint64_t, std::weak_ptr<RigSession>> backups;
  std::size_t rigPlaces = 0;  // backups from the upgrade's start to the close
  std::size_t pageConnections = 0;
  std::unordered_map<std::string, std::size_t> keylessByAddress;
  std::size_t places = 0;  // WebSocket places taken, from the upgrade's start to the close
  std::size_t viewPlaces = 0;
  uint64_t nextId = 1;
  bool closing = false;
  std::atomic<std::size_t>& clientCount;
  std::atomic<uint64_t>& registrations;
  inbox::CommandInbox& commands;
  const FailureSink failureSink;     // may be empty
  std::atomic<bool> stopped{false};  // set by Stop; a refusal answered later goes nowhere

  std::mutex documentMutex;
  Message nextDocument;  // handed over by the main thread, not taken yet

  // Main thread only: what Publish handed over last.
  std::string lastPublished;
  uint64_t publishedForRegistrations = 0;

  boost::asio::io_context io{1};
  Listener listener{*this, io};
  boost::asio::steady_timer heartbeat{io};
  std::thread thread;
};

}  // namespace quorvane::web
