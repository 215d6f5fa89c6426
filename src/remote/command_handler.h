// Executes one remote command line on the host's main thread. The commands, their fields and
// broadcast rules are the table of remote/command_table.h; what each one does is a user operation
// (operations/user_operations.h), the same one the window's button runs, or a page or option of
// the window state. A client learns the result from the next state document. Nothing here ever
// asks the user anything: a refused command changes nothing, silently.
#pragma once

#include <string>

#include "remote/system_view.h"

namespace quorvane::remote {

// False when the line names no command of the table (it then did nothing); true when it ran
// the command, whatever the command made of its fields. A client that is told why a command was
// refused (the web remote) passes `refusal`: it receives the reason of a refused note, selection
// or practise start, and stays empty otherwise.
bool HandleRemoteCommand(const SystemView& system, const std::string& line,
                         std::string* refusal = nullptr);

}  // namespace quorvane::remote
