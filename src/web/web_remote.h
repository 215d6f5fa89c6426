// The web remote as the extension runs it: its port and keys kept with the host's global
// settings, the server started with them, and the addresses a performer opens.
//
// Settings (section "Quorvane"): "webPort" (default kDefaultPort), "webControlKey" and
// "webViewKey", drawn at first use and kept; "webPortInUse", for this session only, is the port
// the server actually listens on (another one when the chosen port was taken).
#pragma once

#include <cstdint>
#include <string_view>
#include <string>
#include <vector>

#include "inbox/command_inbox.h"
#include "inbox/transport.h"
#include "ui/web_access.h"
#include "web/access_keys.h"
#include "web/web_server.h"

namespace quorvane::web {

// The host's global settings; either function may be missing (settings then last for the
// session only).
struct GlobalSettingsFunctions {
  const char* (*get)(const char* section, const char* key) = nullptr;
  void (*set)(const char* section, const char* key, const char* value, bool persist) = nullptr;
};

inline constexpr const char* kSettingsSection = "Quorvane";
inline constexpr uint16_t kDefaultPort = 8470;

// The names in the "webHostNames" setting (separated by commas or spaces), in lower case: names
// the band's network gives this computer, by which its browsers may load the page.
std::vector<std::string> HostNamesIn(std::string_view text);

class WebRemote final : public ui::WebAccessPort, public inbox::Transport {
 public:
  // Its clients' commands go to `commands`.
  explicit WebRemote(inbox::CommandInbox& commands, GlobalSettingsFunctions settings = {});
  // The host's settings functions, bound after construction.
  void UseSettings(GlobalSettingsFunctions settings) { settings_ = settings; }

  WebServer& Server() { return server_; }

  // Reads (or draws and keeps) the keys and starts the server on the kept port, answering to the
  // kept extra host names too.
  bool Start() override;
  void Stop() override { server_.Stop(); }

  // inbox::Transport: the server's failures and documents.
  void SetFailureSink(inbox::FailureSink sink) override { server_.SetFailureSink(std::move(sink)); }
  void SetStateProvider(StateProvider provider) override {
    server_.SetStateProvider(std::move(provider));
  }
  // Every offer goes to the server's thread, which sends merge patches at its own pace.
  void Publish(inbox::Offer) override { server_.Publish(); }
  // Draws two new keys and keeps them; every connected web client is disconnected.
  AccessKeys DrawNewKeyPair();
  // A backup rig takes the main's keys and keeps them, so that the same address opens the show on
  // either rig; false (and nothing changed) when they are not a well-formed pair. Keys already
  // held disconnect nobody.
  bool AdoptKeys(const AccessKeys& keys);

  const AccessKeys& Keys() const { return keys_; }
  // "http://HOST:PORT/?key=KEY" with the control or the view key; empty while not running.
  std::string ControlAddress(const std::string& host) const;
  std::string ViewAddress(const std::string& host) const;
  // The computer's network addresses to show (127.0.0.1 when it has none), read at Start.
  const std::vector<std::string>& Hosts() const { return hosts_; }

  // ui::WebAccessPort: what the Options page shows.
  std::vector<std::string> ControlAddresses() const override;
  std::vector<std::string> ViewAddresses() const override;
  void DrawNewKeys() override { DrawNewKeyPair(); }

 private:
  std::string Read(const char* key) const;
  void Write(const char* key, const std::string& value, bool persist);
  std::string Address(const std::string& host, const std::string& key) const;

  GlobalSettingsFunctions settings_;
  // Used when the host keeps no settings, so that the keys stay the same for the session.
  std::vector<std::pair<std::string, std::string>> sessionSettings_;
  AccessKeys keys_;
  std::vector<std::string> hosts_;
  WebServer server_;
};

}  // namespace quorvane::web
