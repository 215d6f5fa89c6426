// quorvane-sim's own remote client: a loopback connection to the server of the extension it has
// loaded, through which it reads what the extension says about itself (the STATE documents) and
// sends remote commands as any remote app would.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/socket.h"
#include "quorvane_remote/json_reader.h"
#include "quorvane_remote/line_connection.h"
#include "quorvane_remote/state_view.h"

namespace quorvane::sim {

class StateLink {
 public:
  StateLink() = default;
  StateLink(const StateLink&) = delete;
  StateLink& operator=(const StateLink&) = delete;

  // Finds the server and connects to it, up to its WELCOME. The server of this very process is
  // looked for first among the ports the process listens on; where the system does not tell, a
  // discovery probe of 127.0.0.1 is answered by an instance of `projectName` (on Linux the one
  // started last). False with `detail` saying why.
  bool Connect(const std::string& projectName, std::string* detail);
  bool IsConnected() const { return connection_.IsOpen(); }
  uint16_t Port() const { return port_; }
  // How the server was found: "own listener" or "discovery".
  const std::string& FoundBy() const { return foundBy_; }

  // Reads every line that has arrived, waiting at most `waitMs` for the first; true when a new
  // STATE came. A closed connection leaves the link unconnected (the last state stays).
  bool Poll(int waitMs = 1);
  const remote_cli::StateView* State() const { return state_ ? &*state_ : nullptr; }
  const remote_cli::JsonValue* Document() const { return document_ ? &*document_ : nullptr; }
  int64_t StatesReceived() const { return statesReceived_; }

  // Sends one command line (a line feed is added).
  bool Send(const std::string& commandLine);
  void Close();

 private:
  bool TryPort(uint16_t port);

  platform::SocketLibrary library_;
  remote_cli::LineConnection connection_;
  uint16_t port_ = 0;
  std::string foundBy_;
  std::optional<remote_cli::JsonValue> document_;
  std::optional<remote_cli::StateView> state_;
  int64_t statesReceived_ = 0;
};

}  // namespace quorvane::sim
