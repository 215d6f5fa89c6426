// One backup on the main's rig channel, from the start of its handshake: it reads the backup's
// messages (anything that is not one closes this connection, never the server), writes the main's
// from one bounded queue, and holds a rig place until it closes.
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

#include "web/server_state.h"

namespace quorvane::web {

class RigSession : public Connection, public std::enable_shared_from_this<RigSession> {
 public:
  // Takes a rig place, held until it closes.
  RigSession(WebServer::Impl& server, uint64_t id, boost::asio::ip::tcp::socket socket);
  ~RigSession() override;

  void Run(boost::beast::http::request<boost::beast::http::empty_body> request);
  uint64_t Id() const { return id_; }
  // Queues a message; past the queue's limit the backup is dropped.
  void Send(Message message);
  void Close() override;

 private:
  void Read();
  void WriteNext();
  void Fail(const boost::beast::error_code& error);

  WebServer::Impl& server_;
  const uint64_t id_;
  boost::beast::websocket::stream<boost::beast::tcp_stream> ws_;
  boost::beast::flat_buffer incoming_;
  std::deque<Message> outgoing_;
  std::size_t outgoingBytes_ = 0;
  bool writing_ = false;
  bool closed_ = false;
};

}  // namespace quorvane::web
