#include "web/websocket_session.h"

#include "protocol/command_scanner.h"

namespace quorvane::web {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

// Each client hears at least once a second, so that a page tells a dead connection in two or
// three: the heartbeat goes out once this much passed without a message.
constexpr auto kHeartbeatAfter = std::chrono::milliseconds(750);

}  // namespace

void WebSocketSession::Run(http::request<http::empty_body> request) {
  auto timeouts = websocket::stream_base::timeout::suggested(beast::role_type::server);
  timeouts.handshake_timeout = kRequestTimeout;
  ws_.set_option(timeouts);
  ws_.set_option(websocket::stream_base::decorator(
      [](websocket::response_type& response) { response.set(http::field::server, kServerName); }));
  ws_.read_message_max(WebServer::kMaxMessageBytes);
  ws_.text(true);
  ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
    if (error || self->closed_) return self->Fail(error);
    self->server_.Register(self);
    self->Read();
  });
}

void WebSocketSession::BeatIfQuiet(Clock::time_point now, const Message& beat) {
  if (now - lastSent_ >= kHeartbeatAfter) Send(beat);
}

void WebSocketSession::Send(Message message, bool refusal) {
  if (closed_) return;
  if (outgoingBytes_ + message->size() > WebServer::kMaxOutgoingBytes) return Close();
  if (refusal && unreadRefusals_ >= WebServer::kMaxUnreadRefusals) return Close();
  outgoingBytes_ += message->size();
  if (refusal) ++unreadRefusals_;
  outgoing_.push_back({std::move(message), refusal});
  lastSent_ = Clock::now();
  if (!writing_) WriteNext();
}

void WebSocketSession::Close() {
  if (closed_) return;
  closed_ = true;
  server_.Forget(id_);
  ReleasePlace();
  beast::error_code ignored;
  beast::get_lowest_layer(ws_).socket().shutdown(tcp::socket::shutdown_both, ignored);
  beast::get_lowest_layer(ws_).socket().close(ignored);
  // What it had not taken goes now (a write under way holds its own message), not when the
  // last handler lets go of the session. The read buffer stays: a read may still be using it.
  std::deque<Outgoing>().swap(outgoing_);
  outgoingBytes_ = 0;
}

void WebSocketSession::Fail(const beast::error_code& error) {
  if (!closed_ && error) server_.ConnectionEnded("web remote: client", error);
  Close();
}

void WebSocketSession::ReleasePlace() {
  if (!placeHeld_) return;
  placeHeld_ = false;
  server_.ReleasePlace(access_);
}

void WebSocketSession::Read() {
  ws_.async_read(incoming_, [self = shared_from_this()](beast::error_code error, std::size_t) {
    if (error || self->closed_) return self->Fail(error);
    self->TakeMessage(beast::buffers_to_string(self->incoming_.data()));
    self->incoming_.consume(self->incoming_.size());
    if (!self->closed_) self->Read();
  });
}

void WebSocketSession::TakeMessage(std::string line) {
  const std::string command = protocol::ReadCommandType(line);
  if (command == "PING") return;
  if (access_ != Access::kControl) {
    Send(std::make_shared<const std::string>(RefusalMessage(command, "view only")), true);
    return;
  }
  if (!server_.Queue(id_, command, std::move(line))) Close();
}

void WebSocketSession::WriteNext() {
  writing_ = true;
  const Outgoing next = outgoing_.front();
  ws_.async_write(asio::buffer(*next.message),
                  [self = shared_from_this(), next](beast::error_code error, std::size_t) {
                    if (error || self->closed_) return self->Fail(error);
                    self->outgoingBytes_ -= next.message->size();
                    if (next.refusal) --self->unreadRefusals_;
                    self->outgoing_.pop_front();
                    self->writing_ = false;
                    if (!self->outgoing_.empty()) self->WriteNext();
                  });
}

}  // namespace quorvane::web
