#include <utility>  // Boost 1.74's Asio uses std::exchange without including it under C++20

#include "rig/main_link_client.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <charconv>
#include <deque>

#include "rig/rig_codec.h"

namespace quorvane::rig {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

constexpr auto kDialTimeout = std::chrono::seconds(2);

int64_t NowTicks() {
  return std::chrono::steady_clock::now().time_since_epoch().count();
}

}  // namespace

std::optional<ControlAddress> ParseControlAddress(const std::string& text, std::string* reason) {
  const auto refuse = [reason](const char* why) {
    *reason = why;
    return std::nullopt;
  };
  constexpr std::string_view kScheme = "http://";
  if (text.empty()) return refuse("No main rig address is set.");
  if (text.compare(0, kScheme.size(), kScheme) != 0)
    return refuse("The main rig's address must start with http://");
  const std::string_view rest = std::string_view(text).substr(kScheme.size());
  const std::size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return refuse("The main rig's address has no key.");
  const std::string_view hostPort = rest.substr(0, slash);
  const std::size_t colon = hostPort.rfind(':');
  if (colon == std::string_view::npos || colon == 0)
    return refuse("The main rig's address needs a host and a port (HOST:PORT).");
  ControlAddress address;
  address.host = std::string(hostPort.substr(0, colon));
  const std::string_view port = hostPort.substr(colon + 1);
  unsigned value = 0;
  const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (error != std::errc() || end != port.data() + port.size() || value == 0 || value > 65535)
    return refuse("The main rig's address has no valid port.");
  address.port = static_cast<uint16_t>(value);
  const std::string_view query = rest.substr(slash + 1);
  constexpr std::string_view kKey = "?key=";
  if (query.compare(0, kKey.size(), kKey) != 0 || query.size() == kKey.size())
    return refuse("The main rig's address has no key (…/?key=KEY).");
  address.key = std::string(query.substr(kKey.size()));
  for (const char c : address.key) {
    const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!plain) return refuse("The main rig's key has characters a key never has.");
  }
  for (const char c : address.host) {
    if (c == '/' || c == '?' || c == '@' || c == ' ')
      return refuse("The main rig's address has no valid host.");
  }
  reason->clear();
  return address;
}

// The thread's side. Every member but the arrivals and the queued byte count belongs to the thread.
struct MainLinkClient::Impl : std::enable_shared_from_this<MainLinkClient::Impl> {
  struct Attempt {
    explicit Attempt(asio::io_context& io) : ws(io), resolver(io) {}
    websocket::stream<beast::tcp_stream> ws;
    tcp::resolver resolver;
    beast::flat_buffer incoming;
    websocket::response_type answer;  // the main's answer to the upgrade
  };

  Impl(ControlAddress to, std::string helloText, std::atomic<bool>& up, std::atomic<int64_t>& heard,
       std::atomic<int>& refusal, inbox::FailureSink sink)
      : address(std::move(to)),
        hello(std::move(helloText)),
        connected(up),
        lastHeard(heard),
        refusedWith(refusal),
        failures(std::move(sink)) {}

  void Dial() {
    if (stopping) return;
    auto attempt = std::make_shared<Attempt>(io);
    current = attempt;
    attempt->resolver.async_resolve(
        address.host, std::to_string(address.port),
        [self = shared_from_this(), attempt](beast::error_code error,
                                             tcp::resolver::results_type found) {
          if (error || self->current != attempt) return self->Lost(attempt);
          beast::get_lowest_layer(attempt->ws).expires_after(kDialTimeout);
          beast::get_lowest_layer(attempt->ws)
              .async_connect(found,
                             [self, attempt](beast::error_code failed, const tcp::endpoint&) {
                               // Not reachable any more: an earlier refusal no longer says why.
                               if (failed) self->refusedWith = 0;
                               if (failed || self->current != attempt) return self->Lost(attempt);
                               self->Handshake(attempt);
                             });
        });
  }

  void Handshake(const std::shared_ptr<Attempt>& attempt) {
    beast::get_lowest_layer(attempt->ws).expires_never();
    websocket::stream_base::timeout timeouts;
    timeouts.handshake_timeout = kDialTimeout;
    timeouts.idle_timeout = kMainSilenceLimit;
    timeouts.keep_alive_pings = true;
    attempt->ws.set_option(timeouts);
    attempt->ws.read_message_max(kMaxChannelMessageBytes);
    attempt->ws.text(true);
    // A rig is no browser: it sends no Origin, and the main refuses any request that does.
    attempt->ws.async_handshake(attempt->answer, address.host + ":" + std::to_string(address.port),
                                "/rig?key=" + address.key,
                                [self = shared_from_this(), attempt](beast::error_code error) {
                                  // The main answered but would not take this backup: why is
                                  // shown until a dial succeeds.
                                  if (error == websocket::error::upgrade_declined)
                                    self->refusedWith = attempt->answer.result_int();
                                  if (error || self->current != attempt) return self->Lost(attempt);
                                  self->refusedWith = 0;
                                  self->connected = true;
                                  self->outgoing.push_front(self->hello);
                                  self->queuedBytes += self->hello.size();
                                  self->WriteNext(attempt);
                                  self->Read(attempt);
                                });
  }

  void Read(const std::shared_ptr<Attempt>& attempt) {
    attempt->ws.async_read(attempt->incoming, [self = shared_from_this(), attempt](
                                                  beast::error_code error, std::size_t) {
      if (error || self->current != attempt) return self->Lost(attempt);
      self->lastHeard = NowTicks();
      std::string text = beast::buffers_to_string(attempt->incoming.data());
      attempt->incoming.consume(attempt->incoming.size());
      std::optional<FromMain> message = DecodeFromMain(text);
      if (!message) {
        self->Report("a message from the main rig that is not one");
        return self->Lost(attempt);
      }
      self->Arrive(std::move(*message));
      self->Read(attempt);
    });
  }

  void Arrive(FromMain message) {
    std::lock_guard lock(arrivedMutex);
    if (arrived.size() >= kMaxArrivedMessages) {
      // The main thread is far behind: an old state document is worth least.
      for (auto it = arrived.begin(); it != arrived.end(); ++it) {
        if (std::holds_alternative<MainState>(*it)) {
          arrived.erase(it);
          break;
        }
      }
      if (arrived.size() >= kMaxArrivedMessages) arrived.pop_front();
    }
    arrived.push_back(std::move(message));
  }

  void Queue(std::string text) {
    if (!current || !connected) {
      queuedBytes -= text.size();
      return;
    }
    outgoing.push_back(std::move(text));
    if (!writing) WriteNext(current);
  }

  void WriteNext(const std::shared_ptr<Attempt>& attempt) {
    if (outgoing.empty() || writing) return;
    writing = true;
    auto text = std::make_shared<std::string>(std::move(outgoing.front()));
    outgoing.pop_front();
    attempt->ws.async_write(asio::buffer(*text), [self = shared_from_this(), attempt, text](
                                                     beast::error_code error, std::size_t) {
      self->queuedBytes -= text->size();
      self->writing = false;
      if (error || self->current != attempt) return self->Lost(attempt);
      self->WriteNext(attempt);
    });
  }

  // The attempt failed or its connection ended: what was queued for it goes, and the next dial
  // follows after the interval.
  void Lost(const std::shared_ptr<Attempt>& attempt) {
    if (current != attempt) return;
    current.reset();
    connected = false;
    for (const std::string& text : outgoing)
      queuedBytes -= text.size();
    outgoing.clear();
    beast::error_code ignored;
    beast::get_lowest_layer(attempt->ws).socket().close(ignored);
    if (stopping) return;
    redial.expires_after(kRedialInterval);
    redial.async_wait([self = shared_from_this()](beast::error_code error) {
      if (!error) self->Dial();
    });
  }

  void Stop() {
    stopping = true;
    redial.cancel();
    if (current) {
      current->resolver.cancel();
      beast::error_code ignored;
      beast::get_lowest_layer(current->ws).socket().close(ignored);
    }
    current.reset();
    connected = false;
  }

  void Report(std::string_view what) {
    if (!failures) return;
    try {
      failures("rig channel: link to the main", what);
    } catch (...) {
      // A sink that fails is itself left unreported.
    }
  }

  const ControlAddress address;
  std::string hello;
  std::atomic<bool>& connected;
  std::atomic<int64_t>& lastHeard;
  std::atomic<int>& refusedWith;
  const inbox::FailureSink failures;
  asio::io_context io{1};
  asio::steady_timer redial{io};
  std::shared_ptr<Attempt> current;
  std::deque<std::string> outgoing;
  bool writing = false;
  bool stopping = false;
  std::atomic<std::size_t> queuedBytes{0};
  std::mutex arrivedMutex;
  std::deque<FromMain> arrived;
};

MainLinkClient::MainLinkClient(inbox::FailureSink failures) : failures_(std::move(failures)) {}

MainLinkClient::~MainLinkClient() {
  Close();
}

void MainLinkClient::Open(const std::string& controlAddress, BackupHello hello) {
  Close();
  std::optional<ControlAddress> address = ParseControlAddress(controlAddress, &addressProblem_);
  if (!address) return;
  try {
    auto impl = std::make_shared<Impl>(std::move(*address), Encode(FromBackup(std::move(hello))),
                                       connected_, lastHeard_, refusedWith_, failures_);
    asio::post(impl->io, [impl] { impl->Dial(); });
    thread_ = std::thread([impl] {
      // Runs until Close leaves it without work; a handler that throws (out of memory) is
      // reported and the others go on.
      for (;;) {
        try {
          impl->io.run();
          return;
        } catch (...) {
          inbox::ReportCaughtException(impl->failures, "rig channel: link thread");
        }
      }
    });
    impl_ = std::move(impl);
  } catch (...) {
    inbox::ReportCaughtException(failures_, "rig channel: open");
  }
}

void MainLinkClient::Close() {
  if (!impl_) return;
  asio::post(impl_->io, [impl = impl_] { impl->Stop(); });
  if (thread_.joinable()) thread_.join();
  impl_.reset();
  connected_ = false;
}

std::vector<FromMain> MainLinkClient::TakeArrived() {
  if (!impl_) return {};
  std::lock_guard lock(impl_->arrivedMutex);
  std::vector<FromMain> taken(std::make_move_iterator(impl_->arrived.begin()),
                              std::make_move_iterator(impl_->arrived.end()));
  impl_->arrived.clear();
  return taken;
}

std::string MainLinkClient::Problem() const {
  if (!addressProblem_.empty()) return addressProblem_;
  switch (refusedWith_.load()) {
    case 0:
      return {};
    case 403:
      return "The main rig refused the key: copy its control address again.";
    case 404:
      return "The rig at that address is not a main rig.";
    case 503:
      return "The main rig already has a backup.";
    default:
      return "The main rig refused this backup.";
  }
}

std::optional<std::chrono::steady_clock::time_point> MainLinkClient::LastHeard() const {
  const int64_t ticks = lastHeard_.load();
  if (ticks == 0) return std::nullopt;
  return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(ticks));
}

void MainLinkClient::UpdateHello(const BackupHello& hello) {
  if (!impl_) return;
  std::string text = Encode(FromBackup(hello));
  impl_->queuedBytes += text.size();
  asio::post(impl_->io, [impl = impl_, text = std::move(text)]() mutable {
    impl->hello = text;
    impl->Queue(std::move(text));
  });
}

bool MainLinkClient::Send(const FromBackup& message) {
  if (!impl_ || !connected_.load()) return false;
  std::string text = Encode(message);
  if (impl_->queuedBytes.load() + text.size() > kMaxQueuedToMainBytes) return false;
  impl_->queuedBytes += text.size();
  asio::post(impl_->io,
             [impl = impl_, text = std::move(text)]() mutable { impl->Queue(std::move(text)); });
  return true;
}

}  // namespace quorvane::rig
