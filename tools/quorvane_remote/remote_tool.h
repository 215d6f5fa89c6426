// quorvane-remote as a function: the arguments in, text on two streams and an exit code out.
// main.cpp hands it the console; the tests hand it string streams and run it beside a host.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace quorvane::remote_cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitSocketFailure = 1,  // the system's socket library or a socket could not be had
  kExitUsage = 2,
  kExitNoInstance = 3,      // no instance answered the discovery probe
  kExitConnectFailed = 4,   // the connection was refused or not answered in time
  kExitConnectionLost = 5,  // the instance closed or broke the connection
  kExitNoGreeting = 6,      // something listens there but sent no WELCOME in time
};

// Runs one invocation; `args` without the program name. Results go to `out`, messages to `err`.
// `interrupted` is asked at least every tenth of a second while the tool waits (Ctrl+C).
int RunRemoteTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const std::function<bool()>& interrupted = {});

}  // namespace quorvane::remote_cli
