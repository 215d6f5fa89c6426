// What the window's Options page shows of the web remote and the one thing it can do to it.
#pragma once

#include <string>
#include <vector>

namespace quorvane::ui {

class WebAccessPort {
 public:
  virtual ~WebAccessPort() = default;
  // One address per network address of the computer; empty while the web remote is not running.
  virtual std::vector<std::string> ControlAddresses() const = 0;
  virtual std::vector<std::string> ViewAddresses() const = 0;
  // New keys for both addresses; every connected web client is disconnected.
  virtual void DrawNewKeys() = 0;
};

}  // namespace quorvane::ui
