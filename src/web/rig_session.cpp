#include "web/rig_session.h"

#include "rig/main_link_client.h"
#include "rig/rig_codec.h"
#include "web/rig_endpoint.h"

namespace quorvane::web {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

}  // namespace

RigSession::RigSession(WebServer::Impl& server, uint64_t id, tcp::socket socket)
    : server_(server), id_(id), ws_(std::move(socket)) {
  ++server_.rigPlaces;
}

RigSession::~RigSession() {
  --server_.rigPlaces;
  if (!closed_) server_.ForgetBackup(id_);
}

void RigSession::Run(http::request<http::empty_body> request) {
  // A backup that goes silent (its computer died, its cable was pulled) is dropped as soon as the
  // backup would give up on us.
  websocket::stream_base::timeout timeouts;
  timeouts.handshake_timeout = kRequestTimeout;
  timeouts.idle_timeout = rig::kMainSilenceLimit;
  timeouts.keep_alive_pings = true;
  ws_.set_option(timeouts);
  ws_.set_option(websocket::stream_base::decorator(
      [](websocket::response_type& response) { response.set(http::field::server, kServerName); }));
  ws_.read_message_max(rig::kMaxChannelMessageBytes);
  ws_.text(true);
  ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
    if (error || self->closed_) return self->Fail(error);
    self->server_.RegisterBackup(self);
    self->Read();
  });
}

void RigSession::Send(Message message) {
  if (closed_) return;
  if (outgoingBytes_ + message->size() > kMaxQueuedToBackupBytes) {
    server_.BackupFailed("a backup that does not keep up was dropped");
    return Close();
  }
  outgoingBytes_ += message->size();
  outgoing_.push_back(std::move(message));
  if (!writing_) WriteNext();
}

void RigSession::Close() {
  if (closed_) return;
  closed_ = true;
  server_.ForgetBackup(id_);
  beast::error_code ignored;
  beast::get_lowest_layer(ws_).socket().shutdown(tcp::socket::shutdown_both, ignored);
  beast::get_lowest_layer(ws_).socket().close(ignored);
  std::deque<Message>().swap(outgoing_);
  outgoingBytes_ = 0;
}

void RigSession::Fail(const beast::error_code& error) {
  if (!closed_ && error) {
    if (error == websocket::error::message_too_big) {
      server_.BackupFailed("a message from a backup larger than any may be");
    } else {
      server_.ConnectionEnded("rig channel: a backup", error);
    }
  }
  Close();
}

void RigSession::Read() {
  ws_.async_read(incoming_, [self = shared_from_this()](beast::error_code error, std::size_t) {
    if (error || self->closed_) return self->Fail(error);
    const std::string text = beast::buffers_to_string(self->incoming_.data());
    self->incoming_.consume(self->incoming_.size());
    std::optional<rig::FromBackup> message = rig::DecodeFromBackup(text);
    if (!message) {
      self->server_.BackupFailed("a message from a backup that is not one");
      return self->Close();
    }
    if (!self->server_.rigHub->Arrive(std::move(*message))) {
      self->server_.BackupFailed("a backup that sends faster than the main takes was dropped");
      return self->Close();
    }
    self->Read();
  });
}

void RigSession::WriteNext() {
  writing_ = true;
  const Message next = outgoing_.front();
  ws_.async_write(asio::buffer(*next),
                  [self = shared_from_this(), next](beast::error_code error, std::size_t) {
                    if (error || self->closed_) return self->Fail(error);
                    self->outgoingBytes_ -= next->size();
                    self->outgoing_.pop_front();
                    self->writing_ = false;
                    if (!self->outgoing_.empty()) self->WriteNext();
                  });
}

}  // namespace quorvane::web
