// The web server's public side: starting and stopping the thread, and what the main thread hands
// it (documents, new keys). The thread's side is in server_state.h:
// the listener, the HTTP and WebSocket sessions, and the state they share.
#include <utility>  // Boost 1.74's Asio uses std::exchange without including it under C++20

#include "web/web_server.h"

#include <boost/asio/post.hpp>
#include <string>

#include "web/server_state.h"

namespace quorvane::web {

namespace asio = boost::asio;

WebServer::WebServer(inbox::CommandInbox& commands) : commands_(commands) {}

WebServer::~WebServer() {
  try {
    Stop();
  } catch (...) {
    // Nothing may leave a destructor that runs while the host unloads the library.
    remote::ReportCaughtException(failureSink_, "web remote: stop");
  }
}

void WebServer::SetStateProvider(StateProvider provider) {
  std::lock_guard lock(callbacksMutex_);
  stateProvider_ = std::move(provider);
}

std::shared_ptr<WebServer::Impl> WebServer::Running() {
  std::lock_guard lifecycle(lifecycleMutex_);
  return impl_;
}

bool WebServer::Start(uint16_t preferredPort, AccessKeys keys) {
  std::lock_guard lifecycle(lifecycleMutex_);
  if (impl_) return true;
  try {
    auto impl = std::make_shared<Impl>(std::move(keys), clientCount_, registrations_, commands_,
                                       failureSink_, extraHostNames_, rigHub_);
    const uint16_t port = impl->listener.Listen(preferredPort);
    if (port == 0) return false;
    Impl& server = *impl;
    asio::post(server.io, [&server] { server.Begin(); });
    server.thread = std::thread([&server] {
      for (;;) {
        try {
          server.io.run();
          return;
        } catch (...) {
          // A handler failed (out of memory): the others go on.
          remote::ReportCaughtException(server.failureSink, "web remote: server thread");
        }
      }
    });
    impl_ = std::move(impl);
    port_ = port;
    return true;
  } catch (...) {
    remote::ReportCaughtException(failureSink_, "web remote: start");
    return false;
  }
}

void WebServer::Stop() {
  std::lock_guard lifecycle(lifecycleMutex_);
  if (!impl_) return;
  // A dispatch under way may hold the state a little longer; it runs no further command.
  const std::shared_ptr<Impl> server = std::move(impl_);
  server->stopped = true;
  port_ = 0;
  // Closing everything leaves the thread without work, so its run returns.
  asio::post(server->io, [&server = *server] { server.CloseAll(); });
  if (server->thread.joinable()) server->thread.join();
  clientCount_ = 0;
  commands_.Discard(inbox::Origin::kWeb);
}

void WebServer::ReplaceKeys(AccessKeys keys) {
  const std::shared_ptr<Impl> server = Running();
  if (!server) return;
  asio::post(server->io, [&server = *server, keys = std::move(keys)]() mutable {
    server.ReplaceKeys(std::move(keys));
  });
}

void WebServer::SendToBackups(std::shared_ptr<const std::string> message) {
  const std::shared_ptr<Impl> server = Running();
  if (!server) return;
  asio::post(server->io,
             [&server = *server, message = std::move(message)] { server.SendToBackups(message); });
}

void WebServer::Publish() {
  const std::shared_ptr<Impl> running = Running();
  // Without clients no document is built; the next one to connect brings a fresh one about.
  if (!running || clientCount_.load() == 0) return;
  Impl& server = *running;
  const uint64_t registrations = registrations_.load();
  const bool joined = registrations != server.publishedForRegistrations;
  StateProvider provider;
  {
    std::lock_guard lock(callbacksMutex_);
    provider = stateProvider_;
  }
  if (!provider) return;
  std::string document;
  try {
    document = provider();
  } catch (...) {
    remote::ReportCaughtException(server.failureSink, "web remote: state document");
    return;
  }
  if (document.empty() || (!joined && document == server.lastPublished)) return;
  server.lastPublished = document;
  server.publishedForRegistrations = registrations;
  // Only the newest document matters: when the server's thread is behind, the documents it has
  // not taken yet are replaced, and its next patch goes straight to the newest.
  bool posted = false;
  {
    std::lock_guard lock(server.documentMutex);
    posted = server.nextDocument != nullptr;
    server.nextDocument = std::make_shared<const std::string>(std::move(document));
  }
  if (posted) return;
  asio::post(server.io, [&server] {
    Message next;
    {
      std::lock_guard lock(server.documentMutex);
      next = std::move(server.nextDocument);
    }
    if (next) server.TakeDocument(next);
  });
}

}  // namespace quorvane::web
