// A page connection: requests one after the other, each within a time limit, answered as the
// routing decides (a missing or wrong key gets the short refusal page, a wrong one only after the
// throttle's delay), or handed to a WebSocket session when it asks for the upgrade and a place is
// left. Until it shows a valid key it counts against its address.
#pragma once

#include <utility>  // Boost 1.74's Asio uses std::exchange without including it under C++20

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "web/server_state.h"

namespace quorvane::web {

class HttpSession : public Connection, public std::enable_shared_from_this<HttpSession> {
 public:
  using Request = boost::beast::http::request<boost::beast::http::empty_body>;

  HttpSession(WebServer::Impl& server, uint64_t id, boost::asio::ip::tcp::socket socket,
              std::string address);
  ~HttpSession() override;

  // Reads the next request.
  void Read();
  void Close() override;

 private:
  void Serve(Request request);
  // No key or a wrong one: the short page, then the connection ends.
  void Refuse(Request request, Clock::duration delay);
  void RespondPage(const Request& request, Access access);
  // `headers` with an empty value are left out.
  void Respond(
      const Request& request, boost::beast::http::status status, std::string_view type,
      std::string_view body,
      std::initializer_list<std::pair<boost::beast::http::field, std::string_view>> headers = {});
  // A read or write ended on `error`: the connection closes, telling the server why.
  void Fail(const boost::beast::error_code& error);

  WebServer::Impl& server_;
  const uint64_t id_;
  boost::beast::tcp_stream stream_;
  const std::string address_;
  boost::asio::steady_timer delay_;
  bool keyShown_ = false;
  bool closed_ = false;
  boost::beast::flat_buffer buffer_;
  std::optional<boost::beast::http::request_parser<boost::beast::http::empty_body>> parser_;
};

}  // namespace quorvane::web
