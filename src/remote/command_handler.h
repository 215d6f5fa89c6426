// Executes one decoded remote command on the host's main thread. The commands, their fields and
// broadcast rules are the table of protocol/command_table.h; what each one does is a user operation
// (operations/user_operations.h), the same one the window's button runs, or a page or option of
// the window state. A client learns the result from the next state document. Nothing here ever
// asks the user anything: a refused command changes nothing, silently.
#pragma once

#include <string>

#include "protocol/command_scanner.h"
#include "remote/system_view.h"

namespace quorvane::remote {

// What a command came to: `applied` when it changed something; `refusal` says why it was refused
// (a note, a selection during playback, a practise start without a tempo), for the clients that
// are told (the web remote), and stays empty otherwise.
struct CommandResult {
  bool applied = false;
  std::string refusal;
};

CommandResult HandleRemoteCommand(const SystemView& system,
                                  const protocol::DecodedCommand& decoded);

}  // namespace quorvane::remote
