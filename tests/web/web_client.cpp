#include <utility>  // before Asio: Boost 1.74 under C++20

#include "web/web_client.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

namespace quorvane::web::testing {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

tcp::endpoint Loopback(uint16_t port) {
  return tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), port);
}

}  // namespace

HttpReply Request(uint16_t port, const std::string& target, const std::string& method,
                  const std::string& acceptEncoding) {
  asio::io_context io;
  beast::tcp_stream stream(io);
  HttpReply reply;
  http::request<http::empty_body> request(http::string_to_verb(method), target, 11);
  request.set(http::field::host, "127.0.0.1:" + std::to_string(port));
  if (!acceptEncoding.empty()) request.set(http::field::accept_encoding, acceptEncoding);
  http::response<http::string_body> response;
  beast::flat_buffer buffer;
  stream.expires_after(std::chrono::seconds(20));
  stream.async_connect(Loopback(port), [&](beast::error_code error) {
    if (error) return;
    http::async_write(stream, request, [&](beast::error_code writeError, std::size_t) {
      if (writeError) return;
      http::async_read(stream, buffer, response, [&](beast::error_code readError, std::size_t) {
        if (readError) return;
        reply.status = static_cast<int>(response.result_int());
        reply.body = response.body();
        reply.contentEncoding = std::string(response[http::field::content_encoding]);
        reply.vary = std::string(response[http::field::vary]);
      });
    });
  });
  io.run();
  return reply;
}

struct WebSocketClient::Impl {
  asio::io_context io;
  websocket::stream<tcp::socket> ws{io};
  beast::flat_buffer buffer;
  bool open = false;

  // Runs the io_context until `done` or the deadline; on the deadline the socket is closed, which
  // ends the pending operation.
  bool RunUntil(const bool& done, std::chrono::milliseconds timeout) {
    io.restart();
    io.run_for(timeout);
    if (done) return true;
    beast::error_code ignored;
    ws.next_layer().close(ignored);
    io.restart();
    io.run_for(std::chrono::seconds(5));
    open = false;
    return false;
  }
};

WebSocketClient::WebSocketClient() : impl_(std::make_unique<Impl>()) {}
WebSocketClient::~WebSocketClient() = default;

int WebSocketClient::Connect(uint16_t port, const std::string& target, const std::string& origin) {
  beast::error_code error;
  impl_->ws.next_layer().connect(Loopback(port), error);
  if (error) return 0;
  // As browsers do: a command frame goes out at once, without Nagle's wait.
  impl_->ws.next_layer().set_option(tcp::no_delay(true), error);
  if (!origin.empty()) {
    impl_->ws.set_option(websocket::stream_base::decorator(
        [origin](websocket::request_type& request) { request.set(http::field::origin, origin); }));
  }
  websocket::response_type response;
  bool done = false;
  impl_->ws.async_handshake(response, "127.0.0.1:" + std::to_string(port), target,
                            [&](beast::error_code handshakeError) {
                              done = true;
                              impl_->open = !handshakeError;
                            });
  impl_->RunUntil(done, std::chrono::seconds(20));
  return static_cast<int>(response.result_int());
}

// Asynchronous like every other operation here: Wine may report a blocking send on a socket of
// an I/O completion port to that port as well, which would confuse the next wait.
bool WebSocketClient::Send(const std::string& text) {
  if (!impl_->open) return false;
  impl_->ws.text(true);
  bool done = false;
  bool sent = false;
  impl_->ws.async_write(asio::buffer(text), [&](beast::error_code error, std::size_t) {
    done = true;
    sent = !error;
  });
  return impl_->RunUntil(done, std::chrono::seconds(20)) && sent;
}

std::optional<std::string> WebSocketClient::Read(std::chrono::milliseconds timeout) {
  if (!impl_->open) return std::nullopt;
  bool done = false;
  std::optional<std::string> message;
  impl_->ws.async_read(impl_->buffer, [&](beast::error_code error, std::size_t) {
    done = true;
    if (error) {
      impl_->open = false;
      return;
    }
    message = beast::buffers_to_string(impl_->buffer.data());
    impl_->buffer.consume(impl_->buffer.size());
  });
  impl_->RunUntil(done, timeout);
  return message;
}

bool WebSocketClient::WaitForClose(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (impl_->open) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    bool done = false;
    impl_->ws.async_read(impl_->buffer, [&](beast::error_code error, std::size_t) {
      done = true;
      if (error) impl_->open = false;
      impl_->buffer.consume(impl_->buffer.size());
    });
    if (!impl_->RunUntil(done, left)) return false;
  }
  return true;
}

bool WebSocketClient::IsOpen() const {
  return impl_->open;
}

}  // namespace quorvane::web::testing
