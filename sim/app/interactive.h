// quorvane-sim's interactive run: the show in real time (or `speed` times faster), the status
// display, the keys, and the remote server open to any app on this computer.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sim/app/session.h"
#include "sim/app/state_link.h"

namespace quorvane::sim {

struct InteractiveSettings {
  double speed = 1.0;
  double seconds = -1.0;  // < 0: until quit
  bool plain = false;
  bool trace = false;
  bool window = false;
  int durationMinutes = 0;  // > 0: the set's length, sent to the extension at start
  std::vector<std::string> actions;
};

// Runs until q, `interrupted` or the seconds are over; the exit code (2 for an action that is not
// registered).
int RunInteractive(ShowSession& session, StateLink& link, const InteractiveSettings& settings,
                   const std::function<bool()>& interrupted);

}  // namespace quorvane::sim
