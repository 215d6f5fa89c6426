// A WebSocket client of the web server, from the start of its handshake: it reads commands (a
// view-only client's are refused here), writes the documents, patches, refusals and heartbeats
// from one queue, and is dropped past the queue's limits. It holds its place until it closes.
#pragma once

#include <utility>  // Boost 1.74's Asio uses std::exchange without including it under C++20

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "web/server_state.h"

namespace quorvane::web {

class WebSocketSession : public Connection, public std::enable_shared_from_this<WebSocketSession> {
 public:
  // The caller has taken a place for `access`.
  WebSocketSession(WebServer::Impl& server, uint64_t id, boost::asio::ip::tcp::socket socket,
                   Access access)
      : server_(server), id_(id), ws_(std::move(socket)), access_(access) {}
  ~WebSocketSession() override { ReleasePlace(); }

  // Completes the handshake `request` asked for, then registers with the server.
  void Run(boost::beast::http::request<boost::beast::http::empty_body> request);

  uint64_t Id() const { return id_; }
  // A heartbeat goes out when nothing else went out for a while.
  void BeatIfQuiet(Clock::time_point now, const Message& beat);

  // Queues a message; past the limits the client is closed (and leaves the server's lists).
  void Send(Message message, bool refusal = false);
  void Close() override;

 private:
  struct Outgoing {
    Message message;
    bool refusal = false;
  };

  void ReleasePlace();
  void Read();
  void TakeMessage(std::string line);
  void WriteNext();
  // An operation ended on `error`: the session closes, telling the server why unless it had closed
  // itself already.
  void Fail(const boost::beast::error_code& error);

  WebServer::Impl& server_;
  const uint64_t id_;
  boost::beast::websocket::stream<boost::beast::tcp_stream> ws_;
  const Access access_;
  bool placeHeld_ = true;
  boost::beast::flat_buffer incoming_;
  std::deque<Outgoing> outgoing_;
  std::size_t outgoingBytes_ = 0;
  std::size_t unreadRefusals_ = 0;
  bool writing_ = false;
  bool closed_ = false;
  Clock::time_point lastSent_ = Clock::now();
};

}  // namespace quorvane::web
