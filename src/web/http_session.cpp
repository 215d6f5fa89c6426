#include "web/http_session.h"

#include <boost/beast/websocket/rfc6455.hpp>

#include "web/rig_session.h"
#include "web/web_page.h"
#include "web/websocket_session.h"

namespace quorvane::web {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
using tcp = boost::asio::ip::tcp;

constexpr std::size_t kMaxRequestHeaderBytes = 16 * 1024;
// An answer (the page is the largest) must be taken within this.
constexpr auto kResponseTimeout = std::chrono::seconds(30);

std::string_view View(beast::string_view text) {
  return std::string_view(text.data(), text.size());
}

}  // namespace

HttpSession::HttpSession(WebServer::Impl& server, uint64_t id, tcp::socket socket,
                         std::string address)
    : server_(server),
      id_(id),
      stream_(std::move(socket)),
      address_(std::move(address)),
      delay_(stream_.get_executor()) {
  ++server_.pageConnections;
  server_.CountKeyless(address_, +1);
}

HttpSession::~HttpSession() {
  server_.connections.erase(id_);
  --server_.pageConnections;
  if (!keyShown_) server_.CountKeyless(address_, -1);
}

void HttpSession::Read() {
  parser_.emplace();
  parser_->header_limit(kMaxRequestHeaderBytes);
  parser_->body_limit(0);
  stream_.expires_after(kRequestTimeout);
  http::async_read(stream_, buffer_, *parser_,
                   [self = shared_from_this()](beast::error_code error, std::size_t) {
                     if (error) return self->Fail(error);
                     self->Serve(self->parser_->release());
                   });
}

void HttpSession::Close() {
  closed_ = true;
  beast::error_code ignored;
  delay_.cancel();
  stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
  stream_.socket().close(ignored);
}

void HttpSession::Fail(const beast::error_code& error) {
  if (!closed_) server_.ConnectionEnded("web remote: page connection", error);
  Close();
}

void HttpSession::Serve(Request request) {
  const auto origin = request.find(http::field::origin);
  const PageRequest asked{
      .get = request.method() == http::verb::get,
      .target = View(request.target()),
      .upgrade = beast::websocket::is_upgrade(request),
      .origin = origin == request.end() ? std::nullopt
                                        : std::optional<std::string_view>(View(origin->value())),
  };
  beast::error_code error;
  const tcp::endpoint localEndpoint = stream_.socket().local_endpoint(error);
  std::optional<LocalEnd> local;
  if (!error) local = LocalEnd{localEndpoint.address().to_string(), localEndpoint.port()};

  const Route route = server_.rules.Decide(asked, address_, local, Clock::now());
  if (route.access != Access::kNone && !keyShown_) {
    keyShown_ = true;
    server_.CountKeyless(address_, -1);
  }
  switch (route.answer) {
    case Answer::kGetOnly:
      return Respond(request, http::status::method_not_allowed, "text/plain", "GET only\n");
    case Answer::kKeyNeeded:
      return Refuse(std::move(request), route.delay);
    case Answer::kWebSocketOnly:
      return Respond(request, http::status::bad_request, "text/plain", "WebSocket only\n");
    case Answer::kForeignOrigin:
      return Respond(request, http::status::forbidden, "text/plain", "Foreign origin\n");
    case Answer::kHangUp:
      return Close();
    case Answer::kUpgrade: {
      if (!server_.TakePlace(route.access)) {
        return Respond(request, http::status::service_unavailable, "text/plain",
                       "Too many clients\n");
      }
      stream_.expires_never();
      const uint64_t id = server_.nextId++;
      auto client =
          std::make_shared<WebSocketSession>(server_, id, stream_.release_socket(), route.access);
      server_.connections[id] = client;
      client->Run(std::move(request));
      return;
    }
    case Answer::kRigUpgrade: {
      if (!server_.RigPlaceLeft()) {
        return Respond(request, http::status::service_unavailable, "text/plain",
                       "Too many backups\n");
      }
      stream_.expires_never();
      const uint64_t id = server_.nextId++;
      auto backup = std::make_shared<RigSession>(server_, id, stream_.release_socket());
      server_.connections[id] = backup;
      backup->Run(std::move(request));
      return;
    }
    case Answer::kPage:
      return RespondPage(request, route.access);
    case Answer::kNotFound:
      break;
  }
  Respond(request, http::status::not_found, "text/plain", "Not found\n");
}

// A wrong key's answer waits as long as the throttle says, on a timer (no thread waits); the
// connection keeps counting against its address meanwhile, so an address has only a few guesses
// under way at any time.
void HttpSession::Refuse(Request request, Clock::duration delay) {
  request.keep_alive(false);
  if (delay == Clock::duration::zero()) {
    return Respond(request, http::status::forbidden, "text/html; charset=utf-8", kRefusedPage);
  }
  delay_.expires_after(delay);
  delay_.async_wait(
      [self = shared_from_this(), request = std::move(request)](beast::error_code error) {
        if (error) return self->Close();
        self->Respond(request, http::status::forbidden, "text/html; charset=utf-8", kRefusedPage);
      });
}

// The page hides its controls for a view-only key (the server refuses them anyway); it goes out
// compressed to a browser that accepts gzip.
void HttpSession::RespondPage(const Request& request, Access access) {
  const bool gzip = AcceptsGzip(View(request[http::field::accept_encoding]));
  const std::string_view page =
      WebPage(access == Access::kView ? PageAccess::kView : PageAccess::kControl,
              gzip ? PageEncoding::kGzip : PageEncoding::kIdentity);
  Respond(request, http::status::ok, "text/html; charset=utf-8", page,
          {{http::field::vary, "Accept-Encoding"},
           {http::field::content_encoding, gzip ? "gzip" : ""}});
}

void HttpSession::Respond(const Request& request, http::status status, std::string_view type,
                          std::string_view body,
                          std::initializer_list<std::pair<http::field, std::string_view>> headers) {
  auto response = std::make_shared<http::response<http::string_body>>(status, request.version());
  response->set(http::field::server, kServerName);
  response->set(http::field::content_type, beast::string_view(type.data(), type.size()));
  response->set(http::field::cache_control, "no-store");
  // The address carries the key: no page may pass it on.
  response->set("Referrer-Policy", "no-referrer");
  response->set("X-Content-Type-Options", "nosniff");
  for (const auto& [field, value] : headers) {
    if (!value.empty()) response->set(field, beast::string_view(value.data(), value.size()));
  }
  response->keep_alive(request.keep_alive() && keyShown_);
  response->body() = std::string(body);
  response->prepare_payload();
  stream_.expires_after(kResponseTimeout);
  http::async_write(stream_, *response,
                    [self = shared_from_this(), response](beast::error_code error, std::size_t) {
                      if (error) return self->Fail(error);
                      if (!response->keep_alive()) return self->Close();
                      self->Read();
                    });
}

}  // namespace quorvane::web
