// Executes one remote command line on the host's main thread. Commands mirror the window's
// buttons; a client learns the result from the next state document. Nothing here ever asks the
// user anything: a refused command changes nothing, silently.
#pragma once

#include <string>

#include "remote/system_view.h"

namespace quorvane::remote {

void HandleRemoteCommand(const SystemView& system, const std::string& line);

}  // namespace quorvane::remote
