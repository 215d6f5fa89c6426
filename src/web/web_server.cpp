// The one translation unit that includes Boost.Beast and Boost.Asio (they cost much compile time).
#include <utility>  // Boost 1.74's Asio uses std::exchange without including it under C++20

#include "web/web_server.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "remote/command_scanner.h"
#include "remote/json_writer.h"
#include "remote/remote_server.h"
#include "web/state_patcher.h"
#include "web/web_page.h"

namespace quorvane::web {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using Message = std::shared_ptr<const std::string>;

// Connections beyond the WebSocket clients: page loads and upgrades in progress.
constexpr std::size_t kMaxConnections = WebServer::kMaxClients * 2;
constexpr std::size_t kMaxRequestHeaderBytes = 16 * 1024;
constexpr auto kRequestTimeout = std::chrono::seconds(30);
// Each client hears at least this often, so that a page tells a dead connection in two or three.
constexpr auto kHeartbeatInterval = std::chrono::milliseconds(1000);
constexpr auto kHeartbeatCheck = std::chrono::milliseconds(250);
// The empty merge patch: it changes nothing, so it is the heartbeat.
constexpr std::string_view kHeartbeat = "{}";

// POSIX needs the option to listen again at once on the port a previous run left in TIME_WAIT;
// on Windows the same option would let a second server take a port that is in use.
#ifdef _WIN32
constexpr bool kReuseAddress = false;
#else
constexpr bool kReuseAddress = true;
#endif

constexpr std::string_view kRefusedPage =
    "<!doctype html><meta charset=utf-8><meta name=viewport content=\"width=device-width\">"
    "<title>Quorvane web remote</title>"
    "<body style=\"background:#000;color:#eee;font:24px sans-serif;padding:1em\">"
    "<h1>Key needed</h1><p>Open the address shown on the stage computer: the extension's "
    "Options page lists it, with its key, and so does quorvane-sim when it starts. A connected "
    "page shows it as a QR code too.</p>";

std::string QueryValue(std::string_view target, std::string_view name) {
  const std::size_t question = target.find('?');
  if (question == std::string_view::npos) return {};
  std::string_view query = target.substr(question + 1);
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const std::size_t equals = pair.find('=');
    if (equals != std::string_view::npos && pair.substr(0, equals) == name) {
      return std::string(pair.substr(equals + 1));
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return {};
}

std::string_view PathOf(std::string_view target) {
  return target.substr(0, target.find('?'));
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A browser names the page's origin; it must be this server as the page reached it. Clients that
// are not browsers send no Origin and are judged by their key alone.
bool OriginAllowed(const http::request<http::empty_body>& request) {
  const auto origin = request.find(http::field::origin);
  if (origin == request.end()) return true;
  const auto host = request.find(http::field::host);
  if (host == request.end()) return false;
  const std::string expected = "http://" + std::string(host->value());
  const auto value = origin->value();
  return EqualsIgnoringCase(std::string_view(value.data(), value.size()), expected);
}

std::string RefusalMessage(std::string_view command, std::string_view reason) {
  remote::JsonWriter json;
  json.BeginObject()
      .Key("type")
      .String("REFUSED")
      .Key("cmd")
      .String(command)
      .Key("reason")
      .String(reason)
      .EndObject();
  return json.Take();
}

}  // namespace

struct QueuedCommand {
  uint64_t client = 0;
  std::string line;
};

class Connection;
class SocketClient;

struct WebServer::Impl {
  Impl(AccessKeys initialKeys, std::atomic<std::size_t>& count, std::atomic<uint64_t>& joined,
       CommandsQueuedNotifier queued)
      : keys(std::move(initialKeys)),
        clientCount(count),
        registrations(joined),
        commandsQueued(std::move(queued)) {}

  void Accept();
  void CheckHeartbeats();
  void CloseAll();
  void TakeDocument(const Message& document);
  void Register(const std::shared_ptr<SocketClient>& client);
  void Forget(uint64_t id);
  void Reply(uint64_t client, const std::string& text);
  void ReplaceKeys(AccessKeys next);
  // Queues a command; false when the queue is full (the sender is dropped).
  bool Queue(uint64_t client, std::string line);

  // Declared before the io_context: sessions destroyed with it still find these.
  AccessKeys keys;
  WrongKeyThrottle throttle;
  StatePatcher patcher;
  std::unordered_map<uint64_t, std::weak_ptr<Connection>> connections;
  std::unordered_map<uint64_t, std::weak_ptr<SocketClient>> clients;
  uint64_t nextId = 1;
  bool closing = false;
  std::atomic<std::size_t>& clientCount;
  std::atomic<uint64_t>& registrations;
  const CommandsQueuedNotifier commandsQueued;  // may be empty

  std::mutex queueMutex;
  std::deque<QueuedCommand> commands;

  std::mutex documentMutex;
  Message nextDocument;  // handed over by the main thread, not taken yet

  asio::io_context io{1};
  tcp::acceptor acceptor{io};
  asio::steady_timer heartbeat{io};
  std::thread thread;
};

// Every open connection, so that a stop or new keys can close them all.
class Connection {
 public:
  virtual ~Connection() = default;
  virtual void Close() = 0;
};

// A WebSocket client after its handshake.
class SocketClient : public Connection, public std::enable_shared_from_this<SocketClient> {
 public:
  SocketClient(WebServer::Impl& server, uint64_t id, tcp::socket socket, Access access)
      : server_(server), id_(id), ws_(std::move(socket)), access_(access) {}

  void Run(http::request<http::empty_body> request) {
    ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws_.read_message_max(WebServer::kMaxMessageBytes);
    ws_.text(true);
    ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
      if (error) return self->Close();
      self->server_.Register(self);
      self->Read();
    });
  }

  uint64_t Id() const { return id_; }
  Clock::time_point LastSent() const { return lastSent_; }

  void Send(Message message) {
    if (closed_) return;
    if (outgoingBytes_ + message->size() > WebServer::kMaxOutgoingBytes) return Close();
    outgoingBytes_ += message->size();
    outgoing_.push_back(std::move(message));
    lastSent_ = Clock::now();
    if (!writing_) WriteNext();
  }

  void Close() override {
    if (closed_) return;
    closed_ = true;
    server_.Forget(id_);
    beast::error_code ignored;
    beast::get_lowest_layer(ws_).socket().shutdown(tcp::socket::shutdown_both, ignored);
    beast::get_lowest_layer(ws_).socket().close(ignored);
  }

 private:
  void Read() {
    ws_.async_read(incoming_, [self = shared_from_this()](beast::error_code error, std::size_t) {
      if (error) return self->Close();
      self->TakeMessage(beast::buffers_to_string(self->incoming_.data()));
      self->incoming_.consume(self->incoming_.size());
      if (!self->closed_) self->Read();
    });
  }

  void TakeMessage(std::string line) {
    const std::string command = remote::ReadCommandType(line);
    if (command == "PING") return;
    if (access_ != Access::kControl) {
      Send(std::make_shared<const std::string>(RefusalMessage(command, "view only")));
      return;
    }
    if (!server_.Queue(id_, std::move(line))) Close();
  }

  void WriteNext() {
    writing_ = true;
    const Message message = outgoing_.front();
    ws_.async_write(asio::buffer(*message),
                    [self = shared_from_this(), message](beast::error_code error, std::size_t) {
                      if (error) return self->Close();
                      self->outgoingBytes_ -= message->size();
                      self->outgoing_.pop_front();
                      self->writing_ = false;
                      if (!self->outgoing_.empty() && !self->closed_) self->WriteNext();
                    });
  }

  WebServer::Impl& server_;
  const uint64_t id_;
  websocket::stream<beast::tcp_stream> ws_;
  const Access access_;
  beast::flat_buffer incoming_;
  std::deque<Message> outgoing_;
  std::size_t outgoingBytes_ = 0;
  bool writing_ = false;
  bool closed_ = false;
  Clock::time_point lastSent_ = Clock::now();
};

// A connection before (or without) a WebSocket handshake: page requests, one after the other.
class PageConnection : public Connection, public std::enable_shared_from_this<PageConnection> {
 public:
  PageConnection(WebServer::Impl& server, uint64_t id, tcp::socket socket)
      : server_(server), id_(id), stream_(std::move(socket)) {
    beast::error_code error;
    const auto remote = stream_.socket().remote_endpoint(error);
    if (!error) address_ = remote.address().to_string();
  }
  ~PageConnection() override { server_.connections.erase(id_); }

  void Read() {
    parser_.emplace();
    parser_->header_limit(kMaxRequestHeaderBytes);
    parser_->body_limit(0);
    stream_.expires_after(kRequestTimeout);
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code error, std::size_t) {
                       if (error) return self->Close();
                       self->Answer(self->parser_->release());
                     });
  }

  void Close() override {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.socket().close(ignored);
  }

 private:
  void Answer(http::request<http::empty_body> request) {
    const std::string_view target(request.target().data(), request.target().size());
    const std::string_view path = PathOf(target);
    const std::string key = QueryValue(target, "key");
    const auto now = Clock::now();

    if (request.method() != http::verb::get) {
      return Respond(request, http::status::method_not_allowed, "text/plain", "GET only\n");
    }
    Access access = Access::kNone;
    if (!key.empty()) {
      if (server_.throttle.IsBlocked(address_, now)) {
        return Respond(request, http::status::too_many_requests, "text/plain",
                       "Too many wrong keys from this address: wait a minute.\n");
      }
      access = server_.keys.Check(key);
      if (access == Access::kNone) server_.throttle.RecordWrongKey(address_, now);
    }
    if (access == Access::kNone) {
      return Respond(request, http::status::forbidden, "text/html; charset=utf-8", kRefusedPage);
    }
    if (path == "/ws") {
      if (!websocket::is_upgrade(request)) {
        return Respond(request, http::status::bad_request, "text/plain", "WebSocket only\n");
      }
      if (!OriginAllowed(request)) {
        return Respond(request, http::status::forbidden, "text/plain", "Foreign origin\n");
      }
      if (server_.clients.size() >= WebServer::kMaxClients) {
        return Respond(request, http::status::service_unavailable, "text/plain",
                       "Too many clients\n");
      }
      stream_.expires_never();
      const uint64_t id = server_.nextId++;
      auto client = std::make_shared<SocketClient>(server_, id, stream_.release_socket(), access);
      server_.connections[id] = client;
      client->Run(std::move(request));
      return;
    }
    if (path == "/" || path == "/index.html") return RespondPage(request, access);
    Respond(request, http::status::not_found, "text/plain", "Not found\n");
  }

  // The page hides its controls for a view-only key (the server refuses them anyway); it goes
  // out compressed to a browser that accepts gzip.
  void RespondPage(const http::request<http::empty_body>& request, Access access) {
    const auto accepted = request[http::field::accept_encoding];
    const bool gzip = AcceptsGzip(std::string_view(accepted.data(), accepted.size()));
    const std::string_view page =
        WebPage(access == Access::kView ? PageAccess::kView : PageAccess::kControl,
                gzip ? PageEncoding::kGzip : PageEncoding::kIdentity);
    Respond(request, http::status::ok, "text/html; charset=utf-8", page,
            {{http::field::vary, "Accept-Encoding"},
             {http::field::content_encoding, gzip ? "gzip" : ""}});
  }

  // `headers` with an empty value are left out.
  void Respond(const http::request<http::empty_body>& request, http::status status,
               std::string_view type, std::string_view body,
               std::initializer_list<std::pair<http::field, std::string_view>> headers = {}) {
    auto response = std::make_shared<http::response<http::string_body>>(status, request.version());
    response->set(http::field::server, "Quorvane");
    response->set(http::field::content_type, beast::string_view(type.data(), type.size()));
    response->set(http::field::cache_control, "no-store");
    // The address carries the key: no page may pass it on.
    response->set("Referrer-Policy", "no-referrer");
    response->set("X-Content-Type-Options", "nosniff");
    for (const auto& [field, value] : headers) {
      if (!value.empty()) response->set(field, beast::string_view(value.data(), value.size()));
    }
    response->keep_alive(request.keep_alive());
    response->body() = std::string(body);
    response->prepare_payload();
    http::async_write(stream_, *response,
                      [self = shared_from_this(), response](beast::error_code error, std::size_t) {
                        if (error || !response->keep_alive()) return self->Close();
                        self->Read();
                      });
  }

  WebServer::Impl& server_;
  const uint64_t id_;
  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::empty_body>> parser_;
  std::string address_;
};

void WebServer::Impl::Accept() {
  acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
    if (closing) return;
    if (!error) {
      if (connections.size() < kMaxConnections) {
        // Patches are small and must not wait for the browser's delayed acknowledgement.
        beast::error_code ignored;
        socket.set_option(tcp::no_delay(true), ignored);
        const uint64_t id = nextId++;
        auto connection = std::make_shared<PageConnection>(*this, id, std::move(socket));
        connections[id] = connection;
        connection->Read();
      }  // else the socket closes here, unanswered
    }
    Accept();
  });
}

void WebServer::Impl::CheckHeartbeats() {
  heartbeat.expires_after(kHeartbeatCheck);
  heartbeat.async_wait([this](beast::error_code error) {
    if (error || closing) return;
    const auto now = Clock::now();
    const Message beat = std::make_shared<const std::string>(kHeartbeat);
    for (const auto& [id, weak] : clients) {
      if (const auto client = weak.lock();
          client && now - client->LastSent() >= kHeartbeatInterval) {
        client->Send(beat);
      }
    }
    CheckHeartbeats();
  });
}

void WebServer::Impl::CloseAll() {
  closing = true;
  beast::error_code ignored;
  acceptor.close(ignored);
  heartbeat.cancel();
  std::vector<std::shared_ptr<Connection>> open;
  for (const auto& [id, weak] : connections) {
    if (auto connection = weak.lock()) open.push_back(std::move(connection));
  }
  for (const auto& connection : open)
    connection->Close();
}

void WebServer::Impl::TakeDocument(const Message& document) {
  const bool first = patcher.Current().empty();
  const std::string patch = patcher.Update(*document);
  if (first && !patcher.Current().empty()) {
    for (const auto& [id, weak] : clients) {
      if (const auto client = weak.lock()) client->Send(document);
    }
    return;
  }
  if (patch.empty()) return;
  const Message message = std::make_shared<const std::string>(patch);
  std::vector<std::shared_ptr<SocketClient>> open;
  for (const auto& [id, weak] : clients) {
    if (auto client = weak.lock()) open.push_back(std::move(client));
  }
  for (const auto& client : open)
    client->Send(message);
}

void WebServer::Impl::Register(const std::shared_ptr<SocketClient>& client) {
  clients[client->Id()] = client;
  clientCount = clients.size();
  ++registrations;  // the main thread sends the current document, changed or not
  // The whole document first; the patches that follow start from it.
  if (!patcher.Current().empty()) {
    client->Send(std::make_shared<const std::string>(patcher.Current()));
  }
}

void WebServer::Impl::Forget(uint64_t id) {
  clients.erase(id);
  connections.erase(id);
  clientCount = clients.size();
}

void WebServer::Impl::Reply(uint64_t id, const std::string& text) {
  const auto found = clients.find(id);
  if (found == clients.end()) return;
  if (const auto client = found->second.lock())
    client->Send(std::make_shared<const std::string>(text));
}

void WebServer::Impl::ReplaceKeys(AccessKeys next) {
  keys = std::move(next);
  std::vector<std::shared_ptr<SocketClient>> open;
  for (const auto& [id, weak] : clients) {
    if (auto client = weak.lock()) open.push_back(std::move(client));
  }
  for (const auto& client : open)
    client->Close();
}

bool WebServer::Impl::Queue(uint64_t client, std::string line) {
  {
    std::lock_guard lock(queueMutex);
    if (commands.size() >= kMaxQueuedCommands) return false;
    commands.push_back({client, std::move(line)});
  }
  if (commandsQueued) commandsQueued();
  return true;
}

WebServer::WebServer() = default;

WebServer::~WebServer() {
  try {
    Stop();
  } catch (...) {
    // Nothing may leave a destructor that runs while the host unloads the library.
  }
}

void WebServer::SetCommandHandler(CommandHandler handler) {
  std::lock_guard lock(callbacksMutex_);
  commandHandler_ = std::move(handler);
}

void WebServer::SetStateProvider(StateProvider provider) {
  std::lock_guard lock(callbacksMutex_);
  stateProvider_ = std::move(provider);
}

bool WebServer::Start(uint16_t preferredPort, AccessKeys keys) {
  std::lock_guard lifecycle(lifecycleMutex_);
  if (impl_) return true;
  try {
    auto impl =
        std::make_unique<Impl>(std::move(keys), clientCount_, registrations_, commandsQueued_);
    const auto listen = [&impl](uint16_t port) {
      beast::error_code error;
      tcp::acceptor& acceptor = impl->acceptor;
      if (acceptor.is_open()) acceptor.close(error);
      acceptor.open(tcp::v4(), error);
      if (error) return false;
      acceptor.set_option(asio::socket_base::reuse_address(kReuseAddress), error);
      acceptor.bind(tcp::endpoint(tcp::v4(), port), error);
      if (error) return false;
      acceptor.listen(asio::socket_base::max_listen_connections, error);
      return !error;
    };
    bool listening = false;
    if (preferredPort != 0) {
      for (uint32_t port = preferredPort;
           !listening && port < uint32_t{preferredPort} + kPortsToTry && port <= 65535; ++port) {
        listening = listen(static_cast<uint16_t>(port));
      }
    }
    if (!listening && !listen(0)) return false;
    beast::error_code error;
    const uint16_t port = impl->acceptor.local_endpoint(error).port();
    if (error || port == 0) return false;
    Impl& server = *impl;
    asio::post(server.io, [&server] {
      server.Accept();
      server.CheckHeartbeats();
    });
    server.thread = std::thread([&server] {
      for (;;) {
        try {
          server.io.run();
          return;
        } catch (...) {
          // A handler failed (out of memory): the others go on.
        }
      }
    });
    impl_ = std::move(impl);
    lastPublished_.clear();
    port_ = port;
    return true;
  } catch (...) {
    return false;
  }
}

void WebServer::Stop() {
  std::lock_guard lifecycle(lifecycleMutex_);
  if (!impl_) return;
  Impl& server = *impl_;
  // Closing everything leaves the thread without work, so its run returns.
  asio::post(server.io, [&server] { server.CloseAll(); });
  if (server.thread.joinable()) server.thread.join();
  impl_.reset();
  port_ = 0;
  clientCount_ = 0;
}

void WebServer::ReplaceKeys(AccessKeys keys) {
  std::lock_guard lifecycle(lifecycleMutex_);
  if (!impl_) return;
  Impl& server = *impl_;
  asio::post(server.io,
             [&server, keys = std::move(keys)]() mutable { server.ReplaceKeys(std::move(keys)); });
}

void WebServer::DispatchCommands() {
  std::lock_guard lifecycle(lifecycleMutex_);
  if (!impl_) return;
  Impl& server = *impl_;
  CommandHandler handler;
  {
    std::lock_guard lock(callbacksMutex_);
    handler = commandHandler_;
  }
  if (!handler) {  // nobody to run them: dropped
    std::lock_guard lock(server.queueMutex);
    server.commands.clear();
    return;
  }
  // As on TCP: one command at a time, for at most the budget of the host's main thread per run
  // (the first always runs); the rest stay queued, in order, for the next wake or tick.
  const auto start = std::chrono::steady_clock::now();
  for (bool first = true;; first = false) {
    if (!first && std::chrono::steady_clock::now() - start >=
                      std::chrono::nanoseconds(remote::RemoteServer::kDispatchBudgetNanoseconds)) {
      return;
    }
    QueuedCommand command;
    {
      std::lock_guard lock(server.queueMutex);
      if (server.commands.empty()) return;
      command = std::move(server.commands.front());
      server.commands.pop_front();
    }
    std::string reason;
    try {
      reason = handler(command.line);
    } catch (...) {
      reason = "failed";
    }
    if (reason.empty()) continue;
    asio::post(server.io, [&server, client = command.client,
                           text = RefusalMessage(remote::ReadCommandType(command.line), reason)] {
      server.Reply(client, text);
    });
  }
}

void WebServer::Publish() {
  std::lock_guard lifecycle(lifecycleMutex_);
  // Without clients no document is built; the next one to connect brings a fresh one about.
  if (!impl_ || clientCount_.load() == 0) return;
  const uint64_t registrations = registrations_.load();
  const bool joined = registrations != publishedForRegistrations_;
  StateProvider provider;
  {
    std::lock_guard lock(callbacksMutex_);
    provider = stateProvider_;
  }
  if (!provider) return;
  std::string document;
  try {
    document = provider();
  } catch (...) {
    return;
  }
  if (document.empty() || (!joined && document == lastPublished_)) return;
  lastPublished_ = document;
  publishedForRegistrations_ = registrations;
  Impl& server = *impl_;
  // Only the newest document matters: when the server's thread is behind, the documents it has
  // not taken yet are replaced, and its next patch goes straight to the newest.
  bool posted = false;
  {
    std::lock_guard lock(server.documentMutex);
    posted = server.nextDocument != nullptr;
    server.nextDocument = std::make_shared<const std::string>(std::move(document));
  }
  if (posted) return;
  asio::post(server.io, [&server] {
    Message next;
    {
      std::lock_guard lock(server.documentMutex);
      next = std::move(server.nextDocument);
    }
    if (next) server.TakeDocument(next);
  });
}

}  // namespace quorvane::web
