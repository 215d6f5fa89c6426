// What a page connection's request gets, decided without a socket: which path is what, the key and
// its brake, the Origin rule with the names this server answers to, and the refusal a command
// gets back. Plain text in, a small decision out; the HTTP session turns the decision into bytes.
// Used on the web server's thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "web/access_keys.h"

namespace quorvane::web {

// The short page a request without a valid key gets.
extern const std::string_view kRefusedPage;

// The value of `name` in the query of `target` ("/ws?key=abc"); empty when absent.
std::string QueryValue(std::string_view target, std::string_view name);
// `target` without its query.
std::string_view PathOf(std::string_view target);

// The names and addresses by which a browser may have reached this server through
// `localAddress` (the address the connection came in on; an IPv6 one without brackets), besides
// the names the band gave it (`extra`, lower case).
std::vector<std::string> OwnHosts(std::string_view localAddress,
                                  const std::vector<std::string>& extra);

// At most WebServer::kRefusedNameBytes of a command's name, never cutting a UTF-8 sequence in two.
std::string_view RefusedName(std::string_view name);
// The message a refused command's sender gets: its name (shortened) and why.
std::string RefusalMessage(std::string_view command, std::string_view reason);

// One request as the routing sees it.
struct PageRequest {
  bool get = true;
  std::string_view target;                 // path and query
  bool upgrade = false;                    // asks for a WebSocket
  std::optional<std::string_view> origin;  // the Origin header, when the client sent one
};

// Where a connection came in: the address and port it reached.
struct LocalEnd {
  std::string address;  // IPv6 without brackets
  uint16_t port = 0;
};

enum class Answer {
  kGetOnly,        // 405: only GET is served
  kKeyNeeded,      // 403 with kRefusedPage after `delay`; the connection ends
  kWebSocketOnly,  // 400: /ws without an upgrade
  kForeignOrigin,  // 403: a page from elsewhere may not open the channel
  kUpgrade,        // a WebSocket client, when a place is left for its key
  kRigUpgrade,     // a backup rig on the rig channel, when a place is left
  kPage,           // 200: the page for `access`
  kNotFound,       // 404
  kHangUp,         // closed unanswered (the connection's own address is gone)
};

struct Route {
  Answer answer = Answer::kNotFound;
  Access access = Access::kNone;
  std::chrono::steady_clock::duration delay{};  // before a kKeyNeeded answer
};

// The keys, their brake on guessing and the server's extra names: everything a request is judged
// by. A wrong key counts against its address, and its answer waits as the throttle says; a request
// without a key waits for nothing.
struct AccessRules {
  AccessKeys keys;
  WrongKeyThrottle throttle;
  std::vector<std::string> extraHostNames;  // lower case
  bool rigChannel = false;                  // this rig is a main: backups may connect at /rig

  Route Decide(const PageRequest& request, const std::string& address,
               const std::optional<LocalEnd>& local, std::chrono::steady_clock::time_point now);
};

}  // namespace quorvane::web
