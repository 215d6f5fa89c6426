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
#include <deque>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/network_addresses.h"
#include "platform/socket.h"
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

constexpr std::size_t kMaxRequestHeaderBytes = 16 * 1024;
// A whole request header must arrive within this, and the next request of a kept connection too:
// a connection that sends half a request holds its place no longer.
constexpr auto kRequestTimeout = std::chrono::seconds(5);
// An answer (the page is the largest) must be taken within this.
constexpr auto kResponseTimeout = std::chrono::seconds(30);
// Each client hears at least once a second, so that a page tells a dead connection in two or
// three: the heartbeat goes out once this much passed without a message, checked this often.
constexpr auto kHeartbeatAfter = std::chrono::milliseconds(750);
constexpr auto kHeartbeatCheck = std::chrono::milliseconds(100);
// The empty merge patch: it changes nothing, so it is the heartbeat.
constexpr std::string_view kHeartbeat = "{}";
constexpr const char* kServerName = "Quorvane";

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

std::string Lowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The names and addresses by which a browser may have reached this server through `local`, the
// address the connection came in on, besides the names the band gave it (`extra`).
std::vector<std::string> OwnHosts(const tcp::endpoint& local,
                                  const std::vector<std::string>& extra) {
  std::vector<std::string> hosts = {"localhost", "127.0.0.1", "[::1]"};
  hosts.insert(hosts.end(), extra.begin(), extra.end());
  const std::string name = Lowered(platform::HostName());
  if (!name.empty()) {
    hosts.push_back(name);
    hosts.push_back(name + ".local");
  }
  const asio::ip::address address = local.address();
  hosts.push_back(address.is_v6() ? "[" + address.to_string() + "]" : address.to_string());
  for (std::string& interfaceAddress : platform::LocalIpv4Addresses())
    hosts.push_back(std::move(interfaceAddress));
  return hosts;
}

// A browser names the page's origin; it must be this server. Clients that are not browsers send
// no Origin and are judged by their key alone.
bool OriginAllowed(const http::request<http::empty_body>& request, const tcp::endpoint& local,
                   const std::vector<std::string>& extraHosts) {
  const auto origin = request.find(http::field::origin);
  if (origin == request.end()) return true;
  const auto value = origin->value();
  return IsOwnOrigin(std::string_view(value.data(), value.size()), local.port(),
                     OwnHosts(local, extraHosts));
}

// At most kRefusedNameBytes of a name, never cutting a UTF-8 sequence in two.
std::string_view RefusedName(std::string_view name) {
  if (name.size() <= WebServer::kRefusedNameBytes) return name;
  std::size_t cut = WebServer::kRefusedNameBytes;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
    --cut;
  return name.substr(0, cut);
}

std::string RefusalMessage(std::string_view command, std::string_view reason) {
  remote::JsonWriter json;
  json.BeginObject()
      .Key("type")
      .String("REFUSED")
      .Key("cmd")
      .String(RefusedName(command))
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
       CommandsQueuedNotifier queued, FailureSink sink, std::vector<std::string> hostNames)
      : keys(std::move(initialKeys)),
        clientCount(count),
        registrations(joined),
        commandsQueued(std::move(queued)),
        failureSink(std::move(sink)),
        extraHostNames(std::move(hostNames)) {}

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
  // The registered clients still open, taken before sending to them: a send may drop a client,
  // which removes it from `clients`.
  std::vector<std::shared_ptr<SocketClient>> OpenClients() const;
  // A WebSocket place for a client with `access`, taken when its upgrade starts; false when none
  // is left for that key.
  bool TakePlace(Access access);
  void ReleasePlace(Access access);
  // Page connections: counted while open, and per address until they show a key.
  bool AdmitPage(const std::string& address) const;
  void CountKeyless(const std::string& address, int change);

  // Declared before the io_context: sessions destroyed with it still find these.
  AccessKeys keys;
  WrongKeyThrottle throttle;
  StatePatcher patcher;
  std::unordered_map<uint64_t, std::weak_ptr<Connection>> connections;
  std::unordered_map<uint64_t, std::weak_ptr<SocketClient>> clients;
  std::size_t pageConnections = 0;
  std::unordered_map<std::string, std::size_t> keylessByAddress;
  std::size_t places = 0;  // WebSocket places taken, from the upgrade's start to the close
  std::size_t viewPlaces = 0;
  uint64_t nextId = 1;
  bool closing = false;
  std::atomic<std::size_t>& clientCount;
  std::atomic<uint64_t>& registrations;
  const CommandsQueuedNotifier commandsQueued;    // may be empty
  const FailureSink failureSink;                  // may be empty
  const std::vector<std::string> extraHostNames;  // lower case
  std::atomic<bool> stopped{false};               // set by Stop; a running dispatch ends

  std::mutex queueMutex;
  std::deque<QueuedCommand> commands;

  std::mutex documentMutex;
  Message nextDocument;  // handed over by the main thread, not taken yet

  // Main thread only: what Publish handed over last.
  std::string lastPublished;
  uint64_t publishedForRegistrations = 0;

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

// A WebSocket client from the start of its handshake. It holds its place until it closes.
class SocketClient : public Connection, public std::enable_shared_from_this<SocketClient> {
 public:
  // The caller has taken a place for `access`.
  SocketClient(WebServer::Impl& server, uint64_t id, tcp::socket socket, Access access)
      : server_(server), id_(id), ws_(std::move(socket)), access_(access) {}
  ~SocketClient() override { ReleasePlace(); }

  void Run(http::request<http::empty_body> request) {
    auto timeouts = websocket::stream_base::timeout::suggested(beast::role_type::server);
    timeouts.handshake_timeout = kRequestTimeout;
    ws_.set_option(timeouts);
    ws_.set_option(websocket::stream_base::decorator([](websocket::response_type& response) {
      response.set(http::field::server, kServerName);
    }));
    ws_.read_message_max(WebServer::kMaxMessageBytes);
    ws_.text(true);
    ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
      if (error || self->closed_) return self->Close();
      self->server_.Register(self);
      self->Read();
    });
  }

  uint64_t Id() const { return id_; }
  Clock::time_point LastSent() const { return lastSent_; }

  // Queues a message; past the limits the client is closed (and leaves the server's lists).
  void Send(Message message, bool refusal = false) {
    if (closed_) return;
    if (outgoingBytes_ + message->size() > WebServer::kMaxOutgoingBytes) return Close();
    if (refusal && unreadRefusals_ >= WebServer::kMaxUnreadRefusals) return Close();
    outgoingBytes_ += message->size();
    if (refusal) ++unreadRefusals_;
    outgoing_.push_back({std::move(message), refusal});
    lastSent_ = Clock::now();
    if (!writing_) WriteNext();
  }

  void Close() override {
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

 private:
  struct Outgoing {
    Message message;
    bool refusal = false;
  };

  void ReleasePlace() {
    if (!placeHeld_) return;
    placeHeld_ = false;
    server_.ReleasePlace(access_);
  }

  void Read() {
    ws_.async_read(incoming_, [self = shared_from_this()](beast::error_code error, std::size_t) {
      if (error || self->closed_) return self->Close();
      self->TakeMessage(beast::buffers_to_string(self->incoming_.data()));
      self->incoming_.consume(self->incoming_.size());
      if (!self->closed_) self->Read();
    });
  }

  void TakeMessage(std::string line) {
    const std::string command = remote::ReadCommandType(line);
    if (command == "PING") return;
    if (access_ != Access::kControl) {
      Send(std::make_shared<const std::string>(RefusalMessage(command, "view only")), true);
      return;
    }
    if (!server_.Queue(id_, std::move(line))) Close();
  }

  void WriteNext() {
    writing_ = true;
    const Outgoing next = outgoing_.front();
    ws_.async_write(asio::buffer(*next.message),
                    [self = shared_from_this(), next](beast::error_code error, std::size_t) {
                      if (error || self->closed_) return self->Close();
                      self->outgoingBytes_ -= next.message->size();
                      if (next.refusal) --self->unreadRefusals_;
                      self->outgoing_.pop_front();
                      self->writing_ = false;
                      if (!self->outgoing_.empty()) self->WriteNext();
                    });
  }

  WebServer::Impl& server_;
  const uint64_t id_;
  websocket::stream<beast::tcp_stream> ws_;
  const Access access_;
  bool placeHeld_ = true;
  beast::flat_buffer incoming_;
  std::deque<Outgoing> outgoing_;
  std::size_t outgoingBytes_ = 0;
  std::size_t unreadRefusals_ = 0;
  bool writing_ = false;
  bool closed_ = false;
  Clock::time_point lastSent_ = Clock::now();
};

// A connection before (or without) a WebSocket handshake: page requests, one after the other.
// Until it shows a valid key it counts against its address.
class PageConnection : public Connection, public std::enable_shared_from_this<PageConnection> {
 public:
  PageConnection(WebServer::Impl& server, uint64_t id, tcp::socket socket, std::string address)
      : server_(server),
        id_(id),
        stream_(std::move(socket)),
        address_(std::move(address)),
        delay_(stream_.get_executor()) {
    ++server_.pageConnections;
    server_.CountKeyless(address_, +1);
  }
  ~PageConnection() override {
    server_.connections.erase(id_);
    --server_.pageConnections;
    if (!keyShown_) server_.CountKeyless(address_, -1);
  }

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
    delay_.cancel();
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.socket().close(ignored);
  }

 private:
  void Answer(http::request<http::empty_body> request) {
    const std::string_view target(request.target().data(), request.target().size());
    const std::string_view path = PathOf(target);
    const std::string key = QueryValue(target, "key");

    if (request.method() != http::verb::get) {
      return Respond(request, http::status::method_not_allowed, "text/plain", "GET only\n");
    }
    const Access access = server_.keys.Check(key);
    if (access == Access::kNone) {
      const auto delay = key.empty() ? Clock::duration::zero()
                                     : server_.throttle.RecordWrongKey(address_, Clock::now());
      return Refuse(std::move(request), delay);
    }
    if (!keyShown_) {
      keyShown_ = true;
      server_.CountKeyless(address_, -1);
    }
    if (path == "/ws") {
      if (!websocket::is_upgrade(request)) {
        return Respond(request, http::status::bad_request, "text/plain", "WebSocket only\n");
      }
      beast::error_code error;
      const tcp::endpoint local = stream_.socket().local_endpoint(error);
      if (error) return Close();
      if (!OriginAllowed(request, local, server_.extraHostNames)) {
        return Respond(request, http::status::forbidden, "text/plain", "Foreign origin\n");
      }
      if (!server_.TakePlace(access)) {
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

  // No key or a wrong one: the short page, then the connection ends. A wrong key's answer waits
  // as long as the throttle says, on a timer (no thread waits); the connection keeps counting
  // against its address meanwhile, so an address has only a few guesses under way at any time.
  void Refuse(http::request<http::empty_body> request, Clock::duration delay) {
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
                        if (error || !response->keep_alive()) return self->Close();
                        self->Read();
                      });
  }

  WebServer::Impl& server_;
  const uint64_t id_;
  beast::tcp_stream stream_;
  const std::string address_;
  asio::steady_timer delay_;
  bool keyShown_ = false;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::empty_body>> parser_;
};

void WebServer::Impl::Accept() {
  acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
    if (closing) return;
    if (!error) {
      beast::error_code ignored;
      const auto remote = socket.remote_endpoint(ignored);
      std::string address = ignored ? std::string() : remote.address().to_string();
      if (AdmitPage(address)) {
        // Patches are small and must not wait for the browser's delayed acknowledgement.
        socket.set_option(tcp::no_delay(true), ignored);
        const uint64_t id = nextId++;
        auto connection =
            std::make_shared<PageConnection>(*this, id, std::move(socket), std::move(address));
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
    for (const auto& client : OpenClients()) {
      if (now - client->LastSent() >= kHeartbeatAfter) client->Send(beat);
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

std::vector<std::shared_ptr<SocketClient>> WebServer::Impl::OpenClients() const {
  std::vector<std::shared_ptr<SocketClient>> open;
  open.reserve(clients.size());
  for (const auto& [id, weak] : clients) {
    if (auto client = weak.lock()) open.push_back(std::move(client));
  }
  return open;
}

void WebServer::Impl::TakeDocument(const Message& document) {
  const bool first = patcher.Current().empty();
  const std::string patch = patcher.Update(*document);
  if (first && !patcher.Current().empty()) {
    for (const auto& client : OpenClients())
      client->Send(document);
    return;
  }
  if (patch.empty()) return;
  const Message message = std::make_shared<const std::string>(patch);
  for (const auto& client : OpenClients())
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
    client->Send(std::make_shared<const std::string>(text), true);
}

void WebServer::Impl::ReplaceKeys(AccessKeys next) {
  keys = std::move(next);
  // Clients still in their handshake too: they came in with the old keys.
  std::vector<std::shared_ptr<SocketClient>> open;
  for (const auto& [id, weak] : connections) {
    if (auto client = std::dynamic_pointer_cast<SocketClient>(weak.lock()))
      open.push_back(std::move(client));
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

bool WebServer::Impl::TakePlace(Access access) {
  if (places >= kMaxClients) return false;
  if (access != Access::kControl && viewPlaces >= kMaxViewClients) return false;
  ++places;
  if (access != Access::kControl) ++viewPlaces;
  return true;
}

void WebServer::Impl::ReleasePlace(Access access) {
  --places;
  if (access != Access::kControl) --viewPlaces;
}

bool WebServer::Impl::AdmitPage(const std::string& address) const {
  if (pageConnections >= kMaxPageConnections) return false;
  const auto found = keylessByAddress.find(address);
  return found == keylessByAddress.end() || found->second < kMaxKeylessPerAddress;
}

void WebServer::Impl::CountKeyless(const std::string& address, int change) {
  if (change > 0) {
    ++keylessByAddress[address];
    return;
  }
  const auto found = keylessByAddress.find(address);
  if (found == keylessByAddress.end()) return;
  if (--found->second == 0) keylessByAddress.erase(found);
}

WebServer::WebServer() = default;

WebServer::~WebServer() {
  try {
    Stop();
  } catch (...) {
    // Nothing may leave a destructor that runs while the host unloads the library.
    remote::ReportCaughtException(failureSink_, "web remote: stop");
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

std::shared_ptr<WebServer::Impl> WebServer::Running() {
  std::lock_guard lifecycle(lifecycleMutex_);
  return impl_;
}

bool WebServer::Start(uint16_t preferredPort, AccessKeys keys) {
  std::lock_guard lifecycle(lifecycleMutex_);
  if (impl_) return true;
  try {
    auto impl = std::make_shared<Impl>(std::move(keys), clientCount_, registrations_,
                                       commandsQueued_, failureSink_, extraHostNames_);
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
          remote::ReportCaughtException(server.failureSink, "web remote: server thread");
        }
      }
    });
    impl_ = std::move(impl);
    port_ = port;
    return true;
  } catch (...) {
    remote::ReportCaughtException(failureSink_, "web remote: start");
    return false;
  }
}

void WebServer::Stop() {
  std::lock_guard lifecycle(lifecycleMutex_);
  if (!impl_) return;
  // A dispatch under way may hold the state a little longer; it runs no further command.
  const std::shared_ptr<Impl> server = std::move(impl_);
  server->stopped = true;
  port_ = 0;
  // Closing everything leaves the thread without work, so its run returns.
  asio::post(server->io, [&server = *server] { server.CloseAll(); });
  if (server->thread.joinable()) server->thread.join();
  clientCount_ = 0;
}

void WebServer::ReplaceKeys(AccessKeys keys) {
  const std::shared_ptr<Impl> server = Running();
  if (!server) return;
  asio::post(server->io, [&server = *server, keys = std::move(keys)]() mutable {
    server.ReplaceKeys(std::move(keys));
  });
}

void WebServer::DispatchCommands() {
  const std::shared_ptr<Impl> running = Running();
  if (!running) return;
  Impl& server = *running;
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
  for (bool first = true; !server.stopped.load(); first = false) {
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
      remote::ReportCaughtException(server.failureSink, "web remote: command");
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
  const std::shared_ptr<Impl> running = Running();
  // Without clients no document is built; the next one to connect brings a fresh one about.
  if (!running || clientCount_.load() == 0) return;
  Impl& server = *running;
  const uint64_t registrations = registrations_.load();
  const bool joined = registrations != server.publishedForRegistrations;
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
    remote::ReportCaughtException(server.failureSink, "web remote: state document");
    return;
  }
  if (document.empty() || (!joined && document == server.lastPublished)) return;
  server.lastPublished = document;
  server.publishedForRegistrations = registrations;
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
