#include "web/web_listener.h"

#include <memory>
#include <string>

#include "web/http_session.h"
#include "web/server_state.h"

namespace quorvane::web {
namespace {

using tcp = boost::asio::ip::tcp;

// POSIX needs the option to listen again at once on the port a previous run left in TIME_WAIT;
// on Windows the same option would let a second server take a port that is in use.
#ifdef _WIN32
constexpr bool kReuseAddress = false;
#else
constexpr bool kReuseAddress = true;
#endif

}  // namespace

bool Listener::ListenAt(uint16_t port) {
  boost::beast::error_code error;
  if (acceptor_.is_open()) acceptor_.close(error);
  acceptor_.open(tcp::v4(), error);
  if (error) return false;
  acceptor_.set_option(boost::asio::socket_base::reuse_address(kReuseAddress), error);
  acceptor_.bind(tcp::endpoint(tcp::v4(), port), error);
  if (error) return false;
  acceptor_.listen(boost::asio::socket_base::max_listen_connections, error);
  return !error;
}

uint16_t Listener::Listen(uint16_t preferredPort) {
  bool listening = false;
  if (preferredPort != 0) {
    for (uint32_t port = preferredPort;
         !listening && port < uint32_t{preferredPort} + WebServer::kPortsToTry && port <= 65535;
         ++port) {
      listening = ListenAt(static_cast<uint16_t>(port));
    }
  }
  if (!listening && !ListenAt(0)) return 0;
  boost::beast::error_code error;
  const uint16_t port = acceptor_.local_endpoint(error).port();
  return error ? 0 : port;
}

void Listener::Accept() {
  acceptor_.async_accept([this](boost::beast::error_code error, tcp::socket socket) {
    if (server_.closing) return;
    if (!error) {
      boost::beast::error_code ignored;
      const auto remote = socket.remote_endpoint(ignored);
      std::string address = ignored ? std::string() : remote.address().to_string();
      if (server_.AdmitPage(address)) {
        // Patches are small and must not wait for the browser's delayed acknowledgement.
        socket.set_option(tcp::no_delay(true), ignored);
        const uint64_t id = server_.nextId++;
        auto session =
            std::make_shared<HttpSession>(server_, id, std::move(socket), std::move(address));
        server_.connections[id] = session;
        session->Read();
      }  // else the socket closes here, unanswered
    }
    Accept();
  });
}

void Listener::Close() {
  boost::beast::error_code ignored;
  acceptor_.close(ignored);
}

}  // namespace quorvane::web
