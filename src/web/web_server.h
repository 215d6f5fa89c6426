// The web remote: an HTTP and WebSocket server that serves the embedded page and speaks the remote
// protocol to browsers. The page is served only with one of the two access keys; a WebSocket
// client at /ws first receives the whole state document, then JSON merge patches of it, and its
// commands run through the same handler as the TCP server's.
//
// One thread of its own runs every socket, the patches and the heartbeat; it owns every session.
// Its clients' commands go to the command inbox, each with the answer to its sender's refusal; the
// host's main thread runs them there and hands this server documents (Publish). The state
// provider and the commands run on the main thread with none of the server's locks held, so they
// may call ReplaceKeys or Stop; a Stop drops this server's commands not run yet, and a refusal
// answered after it goes nowhere.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "inbox/command_inbox.h"
#include "remote/failure_sink.h"
#include "web/access_keys.h"

namespace quorvane::web {

struct RigHub;

class WebServer {
 public:
  // The whole state document, on the main thread.
  using StateProvider = std::function<std::string()>;
  using FailureSink = remote::FailureSink;

  // The same limits as the TCP server's: a client that passes one is dropped.
  static constexpr std::size_t kMaxClients = 64;
  static constexpr std::size_t kMaxMessageBytes = 64 * 1024;
  static constexpr std::size_t kMaxOutgoingBytes = 8 * 1024 * 1024;
  // Places a view key may take: the others stay free for control keys.
  static constexpr std::size_t kMaxViewClients = 48;
  // Refusals a client has not read yet: one more means it sends commands without reading and is
  // dropped (each refusal is its own copy, unlike the documents all clients share).
  static constexpr std::size_t kMaxUnreadRefusals = 64;
  // A refusal repeats at most this many bytes of the refused command's name.
  static constexpr std::size_t kRefusedNameBytes = 64;
  // Connections that have not shown a key yet, from one address; more are closed at once.
  static constexpr std::size_t kMaxKeylessPerAddress = 8;
  // Page connections (requests, not WebSocket clients, which have places of their own).
  static constexpr std::size_t kMaxPageConnections = 64;
  // Ports tried after a preferred port that is taken, before letting the system choose.
  static constexpr uint16_t kPortsToTry = 10;

  // Its clients' commands go to `commands`; a client whose command finds it full is dropped.
  explicit WebServer(inbox::CommandInbox& commands);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  void SetStateProvider(StateProvider provider);
  // What the server's thread and the main thread's calls caught. Set before Start.
  void SetFailureSink(FailureSink sink) { failureSink_ = std::move(sink); }
  // Names this computer has on the band's network besides its own (a name the router gives it):
  // a page loaded through one of them may open the WebSocket. Lower case. Set before Start.
  void SetExtraHostNames(std::vector<std::string> names) { extraHostNames_ = std::move(names); }

  // Opens the rig channel's path ("/rig") to backups, sharing `hub` with the main thread's end
  // (RigEndpoint). Before Start; without it the path is not found.
  void OpenRigChannel(std::shared_ptr<RigHub> hub) { rigHub_ = std::move(hub); }
  // Main thread: `message` to every connected backup.
  void SendToBackups(std::shared_ptr<const std::string> message);

  // Listens on every interface at `preferredPort`, else on one of the next kPortsToTry ports,
  // else on a port the system chooses (0 asks for that at once). True when running afterwards.
  bool Start(uint16_t preferredPort, AccessKeys keys);
  // Closes every connection and joins the thread; its clients' commands not run yet are dropped.
  void Stop();
  bool IsRunning() const { return port_.load() != 0; }
  uint16_t Port() const { return port_.load(); }

  // New keys; every connected client is disconnected (its address no longer opens anything).
  void ReplaceKeys(AccessKeys keys);

  // Main thread: builds the document (when a client is connected) and hands it to the clients
  // when it changed since the last one; an unchanged document costs only its building.
  void Publish();

  // WebSocket clients connected now.
  std::size_t ClientCount() const { return clientCount_.load(); }

  struct Impl;  // the thread's side: sockets, sessions, patches

 private:
  // The running server's state, kept alive by the caller while it uses it.
  std::shared_ptr<Impl> Running();

  inbox::CommandInbox& commands_;
  FailureSink failureSink_;                  // written before Start only
  std::vector<std::string> extraHostNames_;  // written before Start only
  std::shared_ptr<RigHub> rigHub_;           // written before Start only
  std::atomic<uint16_t> port_{0};
  std::atomic<std::size_t> clientCount_{0};
  std::atomic<uint64_t> registrations_{0};  // clients that completed their handshake so far
  std::mutex lifecycleMutex_;               // never held while a callback runs
  std::shared_ptr<Impl> impl_;

  std::mutex callbacksMutex_;
  StateProvider stateProvider_;
};

}  // namespace quorvane::web
