// The web remote: an HTTP and WebSocket server that serves the embedded page and speaks the remote
// protocol to browsers. The page is served only with one of the two access keys; a WebSocket
// client at /ws first receives the whole state document, then JSON merge patches of it, and its
// commands run through the same handler as the TCP server's.
//
// One thread of its own runs every socket, the patches and the heartbeat; it owns every session.
// The host's main thread only hands it documents (Publish) and runs the commands it queued
// (DispatchCommands); the callbacks run on the main thread, never with the server's lock held.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "web/access_keys.h"

namespace quorvane::web {

class WebServer {
 public:
  // Runs one command line on the main thread; returns why it was refused, or an empty string.
  using CommandHandler = std::function<std::string(const std::string& line)>;
  // The whole state document, on the main thread.
  using StateProvider = std::function<std::string()>;

  // The same limits as the TCP server's: a client that passes one is dropped.
  static constexpr std::size_t kMaxClients = 64;
  static constexpr std::size_t kMaxMessageBytes = 64 * 1024;
  static constexpr std::size_t kMaxQueuedCommands = 10000;
  static constexpr std::size_t kMaxOutgoingBytes = 8 * 1024 * 1024;
  // Ports tried after a preferred port that is taken, before letting the system choose.
  static constexpr uint16_t kPortsToTry = 10;

  WebServer();
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  void SetCommandHandler(CommandHandler handler);
  void SetStateProvider(StateProvider provider);
  // Called on the server's thread, with none of its locks held, each time it queues a command: it
  // tells the main thread to dispatch now. Set before Start.
  using CommandsQueuedNotifier = std::function<void()>;
  void SetCommandsQueuedNotifier(CommandsQueuedNotifier notifier) {
    commandsQueued_ = std::move(notifier);
  }

  // Listens on every interface at `preferredPort`, else on one of the next kPortsToTry ports,
  // else on a port the system chooses (0 asks for that at once). True when running afterwards.
  bool Start(uint16_t preferredPort, AccessKeys keys);
  // Closes every connection and joins the thread; commands not run yet are dropped.
  void Stop();
  bool IsRunning() const { return port_.load() != 0; }
  uint16_t Port() const { return port_.load(); }

  // New keys; every connected client is disconnected (its address no longer opens anything).
  void ReplaceKeys(AccessKeys keys);

  // Main thread: runs the queued commands in arrival order; a refusal goes back to its sender.
  void DispatchCommands();
  // Main thread: hands the current document to the clients when it changed since the last one.
  void Publish();

  // WebSocket clients connected now.
  std::size_t ClientCount() const { return clientCount_.load(); }

  struct Impl;  // the thread's side: sockets, sessions, patches

 private:
  CommandsQueuedNotifier commandsQueued_;  // written before Start only
  std::atomic<uint16_t> port_{0};
  std::atomic<std::size_t> clientCount_{0};
  std::atomic<uint64_t> registrations_{0};  // clients that completed their handshake so far
  std::mutex lifecycleMutex_;
  std::unique_ptr<Impl> impl_;

  std::mutex callbacksMutex_;
  CommandHandler commandHandler_;
  StateProvider stateProvider_;

  // Main thread only.
  std::string lastPublished_;
  uint64_t publishedForRegistrations_ = 0;
};

}  // namespace quorvane::web
