#include "web/web_remote.h"

#include <algorithm>
#include <charconv>

#include "platform/network_addresses.h"

namespace quorvane::web {

WebRemote::WebRemote(inbox::CommandInbox& commands, GlobalSettingsFunctions settings)
    : settings_(settings), server_(commands) {}

std::string WebRemote::Read(const char* key) const {
  if (settings_.get) {
    const char* value = settings_.get(kSettingsSection, key);
    return value ? std::string(value) : std::string();
  }
  const auto found = std::find_if(sessionSettings_.begin(), sessionSettings_.end(),
                                  [key](const auto& entry) { return entry.first == key; });
  return found == sessionSettings_.end() ? std::string() : found->second;
}

void WebRemote::Write(const char* key, const std::string& value, bool persist) {
  if (settings_.set && settings_.get) {
    settings_.set(kSettingsSection, key, value.c_str(), persist);
    return;
  }
  const auto found = std::find_if(sessionSettings_.begin(), sessionSettings_.end(),
                                  [key](const auto& entry) { return entry.first == key; });
  if (found == sessionSettings_.end()) {
    sessionSettings_.emplace_back(key, value);
  } else {
    found->second = value;
  }
}

std::vector<std::string> HostNamesIn(std::string_view text) {
  std::vector<std::string> names;
  std::string name;
  for (size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : ',';
    if (c == ',' || c == ' ' || c == '\t') {
      if (!name.empty()) names.push_back(std::move(name));
      name.clear();
    } else {
      name += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
  }
  return names;
}

bool WebRemote::Start() {
  keys_.control = Read("webControlKey");
  keys_.view = Read("webViewKey");
  if (!IsWellFormedAccessKey(keys_.control) || !IsWellFormedAccessKey(keys_.view) ||
      keys_.control == keys_.view) {
    DrawNewKeyPair();
  }
  uint16_t port = kDefaultPort;
  const std::string kept = Read("webPort");
  unsigned value = 0;
  const auto [end, error] = std::from_chars(kept.data(), kept.data() + kept.size(), value);
  if (error == std::errc() && end == kept.data() + kept.size() && value > 0 && value <= 65535) {
    port = static_cast<uint16_t>(value);
  }
  hosts_ = platform::LocalIpv4Addresses();
  if (hosts_.empty()) hosts_.push_back("127.0.0.1");
  server_.SetExtraHostNames(HostNamesIn(Read("webHostNames")));
  if (!server_.Start(port, keys_)) return false;
  Write("webPortInUse", std::to_string(server_.Port()), false);
  return true;
}

AccessKeys WebRemote::DrawNewKeyPair() {
  keys_.control = DrawAccessKey();
  do {
    keys_.view = DrawAccessKey();
  } while (keys_.view == keys_.control);
  Write("webControlKey", keys_.control, true);
  Write("webViewKey", keys_.view, true);
  server_.ReplaceKeys(keys_);
  return keys_;
}

bool WebRemote::AdoptKeys(const AccessKeys& keys) {
  if (!IsWellFormedAccessKey(keys.control) || !IsWellFormedAccessKey(keys.view) ||
      keys.control == keys.view) {
    return false;
  }
  if (keys.control == keys_.control && keys.view == keys_.view) return true;
  keys_ = keys;
  Write("webControlKey", keys_.control, true);
  Write("webViewKey", keys_.view, true);
  server_.ReplaceKeys(keys_);
  return true;
}

std::string WebRemote::Address(const std::string& host, const std::string& key) const {
  if (!server_.IsRunning()) return {};
  return "http://" + host + ":" + std::to_string(server_.Port()) + "/?key=" + key;
}

std::string WebRemote::ControlAddress(const std::string& host) const {
  return Address(host, keys_.control);
}

std::string WebRemote::ViewAddress(const std::string& host) const {
  return Address(host, keys_.view);
}

std::vector<std::string> WebRemote::ControlAddresses() const {
  std::vector<std::string> addresses;
  if (!server_.IsRunning()) return addresses;
  for (const std::string& host : hosts_)
    addresses.push_back(ControlAddress(host));
  return addresses;
}

std::vector<std::string> WebRemote::ViewAddresses() const {
  std::vector<std::string> addresses;
  if (!server_.IsRunning()) return addresses;
  for (const std::string& host : hosts_)
    addresses.push_back(ViewAddress(host));
  return addresses;
}

}  // namespace quorvane::web
