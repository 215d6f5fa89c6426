// The web server's listener: it listens on a port and accepts connections, each handed to an HTTP
// session, unless its address already holds as many keyless connections as it may (or the page
// connections are all taken): such a socket closes unanswered.
#pragma once

#include <utility>  // Boost 1.74's Asio uses std::exchange without including it under C++20

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <cstdint>

#include "web/web_server.h"

namespace quorvane::web {

class Listener {
 public:
  Listener(WebServer::Impl& server, boost::asio::io_context& io) : server_(server), acceptor_(io) {}

  // Listens on every interface at `preferredPort`, else on one of the next
  // WebServer::kPortsToTry ports, else on a port the system chooses. Returns the port, or 0.
  uint16_t Listen(uint16_t preferredPort);
  // Accepts until Close; on the server's thread.
  void Accept();
  void Close();

 private:
  bool ListenAt(uint16_t port);

  WebServer::Impl& server_;
  boost::asio::ip::tcp::acceptor acceptor_;
};

}  // namespace quorvane::web
