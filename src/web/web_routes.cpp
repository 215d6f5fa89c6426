#include "web/web_routes.h"

#include "platform/network_addresses.h"
#include "platform/socket.h"
#include "protocol/json_writer.h"
#include "web/web_server.h"

namespace quorvane::web {
namespace {

std::string Lowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

const std::string_view kRefusedPage =
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

std::vector<std::string> OwnHosts(std::string_view localAddress,
                                  const std::vector<std::string>& extra) {
  std::vector<std::string> hosts = {"localhost", "127.0.0.1", "[::1]"};
  hosts.insert(hosts.end(), extra.begin(), extra.end());
  const std::string name = Lowered(platform::HostName());
  if (!name.empty()) {
    hosts.push_back(name);
    hosts.push_back(name + ".local");
  }
  const bool v6 = localAddress.find(':') != std::string_view::npos;
  hosts.push_back(v6 ? "[" + std::string(localAddress) + "]" : std::string(localAddress));
  for (std::string& interfaceAddress : platform::LocalIpv4Addresses())
    hosts.push_back(std::move(interfaceAddress));
  return hosts;
}

std::string_view RefusedName(std::string_view name) {
  if (name.size() <= WebServer::kRefusedNameBytes) return name;
  std::size_t cut = WebServer::kRefusedNameBytes;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
    --cut;
  return name.substr(0, cut);
}

std::string RefusalMessage(std::string_view command, std::string_view reason) {
  protocol::JsonWriter json;
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

Route AccessRules::Decide(const PageRequest& request, const std::string& address,
                          const std::optional<LocalEnd>& local,
                          std::chrono::steady_clock::time_point now) {
  if (!request.get) return {Answer::kGetOnly};
  const std::string_view path = PathOf(request.target);
  // Only a main has the rig channel; elsewhere the path is as unknown as any other.
  if (path == "/rig" && !rigChannel) return {Answer::kNotFound};
  const std::string key = QueryValue(request.target, "key");
  const Access access = keys.Check(key);
  if (access == Access::kNone) {
    return {Answer::kKeyNeeded, access,
            key.empty() ? std::chrono::steady_clock::duration::zero()
                        : throttle.RecordWrongKey(address, now)};
  }
  if (path == "/rig") {
    // A backup follows and commands the show: the view key is not enough. A browser always sends
    // an Origin and a rig never does, so no page, ours or a foreign one, reaches the channel.
    if (access != Access::kControl) return {Answer::kKeyNeeded};
    if (request.origin) return {Answer::kForeignOrigin, access};
    if (!request.upgrade) return {Answer::kWebSocketOnly, access};
    if (!local) return {Answer::kHangUp, access};
    return {Answer::kRigUpgrade, access};
  }
  if (path == "/ws") {
    if (!request.upgrade) return {Answer::kWebSocketOnly, access};
    if (!local) return {Answer::kHangUp, access};
    // A browser names the page's origin; it must be this server. Clients that are not browsers
    // send no Origin and are judged by their key alone.
    if (request.origin &&
        !IsOwnOrigin(*request.origin, local->port, OwnHosts(local->address, extraHostNames))) {
      return {Answer::kForeignOrigin, access};
    }
    return {Answer::kUpgrade, access};
  }
  if (path == "/" || path == "/index.html") return {Answer::kPage, access};
  return {Answer::kNotFound, access};
}

}  // namespace quorvane::web
