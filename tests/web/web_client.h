// A browser's side of the web remote for the suites: plain HTTP requests and a WebSocket client,
// every wait bounded by a deadline. Only loopback.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace quorvane::web::testing {

struct HttpReply {
  int status = 0;  // 0: no answer
  std::string body;
  std::string contentEncoding;  // the reply's Content-Encoding header, as sent
  std::string vary;
};

// One GET (or another method) to 127.0.0.1:port, from the loopback address `from` (every
// 127.x.y.z is this computer: the suites play several phones with them); an Accept-Encoding
// header when one is given.
HttpReply Request(uint16_t port, const std::string& target, const std::string& method = "GET",
                  const std::string& from = "127.0.0.1", const std::string& acceptEncoding = "");

// A bare connection that sends only what it is told: half a request, or many requests at once.
class RawConnection {
 public:
  RawConnection();
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool Connect(uint16_t port, const std::string& from = "127.0.0.1");
  bool Send(const std::string& bytes);
  // The status of the answer's first line; 0 when the connection closed or nothing came in time.
  int ReadStatus(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // True when the server closed the connection within `timeout`.
  bool WaitForClose(std::chrono::milliseconds timeout = std::chrono::seconds(20));

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class WebSocketClient {
 public:
  WebSocketClient();
  ~WebSocketClient();
  WebSocketClient(const WebSocketClient&) = delete;
  WebSocketClient& operator=(const WebSocketClient&) = delete;

  // The handshake's HTTP status: 101 when the upgrade was accepted. An empty origin sends none;
  // an empty host sends 127.0.0.1:port as the Host.
  int Connect(uint16_t port, const std::string& target, const std::string& origin = "",
              const std::string& from = "127.0.0.1", const std::string& host = "");
  // The Server field of the handshake's answer.
  const std::string& ServerName() const;
  bool Send(const std::string& text);
  // The next message, or nothing when none came within `timeout` or the connection closed.
  std::optional<std::string> Read(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // True when the server closed the connection within `timeout` (messages before it are read
  // and dropped).
  bool WaitForClose(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  bool IsOpen() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quorvane::web::testing
