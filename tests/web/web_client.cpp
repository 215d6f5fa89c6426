#include <utility>  // before Asio: Boost 1.74 under C++20

#include "web/web_client.h"

#include <array>
#include <boost/asio/connect.hpp>
#include <boost/asio/write.hpp>
#include <cstdlib>
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

// Opens `socket` bound to the loopback address `from`, so that the server sees that address.
void OpenFrom(tcp::socket& socket, const std::string& from, beast::error_code& error) {
  socket.open(tcp::v4(), error);
  if (error) return;
  socket.bind(tcp::endpoint(asio::ip::make_address_v4(from), 0), error);
}

}  // namespace

HttpReply Request(uint16_t port, const std::string& target, const std::string& method,
                  const std::string& from, const std::string& acceptEncoding) {
  asio::io_context io;
  beast::tcp_stream stream(io);
  HttpReply reply;
  beast::error_code bindError;
  OpenFrom(stream.socket(), from, bindError);
  if (bindError) return reply;
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
  std::string serverName;

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

int WebSocketClient::Connect(uint16_t port, const std::string& target, const std::string& origin,
                             const std::string& from, const std::string& host) {
  beast::error_code error;
  OpenFrom(impl_->ws.next_layer(), from, error);
  if (error) return 0;
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
  impl_->ws.async_handshake(response, host.empty() ? "127.0.0.1:" + std::to_string(port) : host,
                            target, [&](beast::error_code handshakeError) {
                              done = true;
                              impl_->open = !handshakeError;
                            });
  impl_->RunUntil(done, std::chrono::seconds(20));
  impl_->serverName = std::string(response[http::field::server]);
  return static_cast<int>(response.result_int());
}

const std::string& WebSocketClient::ServerName() const {
  return impl_->serverName;
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

struct RawConnection::Impl {
  enum class End { kEnough, kClosed, kTimedOut };

  asio::io_context io;
  tcp::socket socket{io};
  std::string received;

  // Reads until `enough` says so, the connection ends or the deadline passes.
  template <class Enough>
  End ReadUntil(Enough enough, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::array<char, 4096> chunk{};
    while (!enough()) {
      bool done = false;
      beast::error_code readError;
      socket.async_read_some(asio::buffer(chunk), [&](beast::error_code error, std::size_t bytes) {
        done = true;
        readError = error;
        received.append(chunk.data(), bytes);
      });
      io.restart();
      io.run_until(deadline);
      if (!done) {
        beast::error_code ignored;
        socket.cancel(ignored);
        io.restart();
        io.run_for(std::chrono::seconds(5));
        return End::kTimedOut;
      }
      if (readError) return End::kClosed;
    }
    return End::kEnough;
  }
};

RawConnection::RawConnection() : impl_(std::make_unique<Impl>()) {}
RawConnection::~RawConnection() = default;

bool RawConnection::Connect(uint16_t port, const std::string& from) {
  beast::error_code error;
  OpenFrom(impl_->socket, from, error);
  if (!error) impl_->socket.connect(Loopback(port), error);
  return !error;
}

bool RawConnection::Send(const std::string& bytes) {
  beast::error_code error;
  asio::write(impl_->socket, asio::buffer(bytes), error);
  return !error;
}

int RawConnection::ReadStatus(std::chrono::milliseconds timeout) {
  // "HTTP/1.1 101 Switching Protocols"
  const auto complete = [&] { return impl_->received.find("\r\n") != std::string::npos; };
  if (impl_->ReadUntil(complete, timeout) != Impl::End::kEnough) return 0;
  if (impl_->received.size() < 12) return 0;
  return std::atoi(impl_->received.substr(9, 3).c_str());
}

bool RawConnection::WaitForClose(std::chrono::milliseconds timeout) {
  return impl_->ReadUntil([] { return false; }, timeout) == Impl::End::kClosed;
}

}  // namespace quorvane::web::testing
