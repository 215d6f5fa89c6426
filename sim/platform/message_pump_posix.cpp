#include "sim/platform/message_pump.h"

namespace quorvane::platform {

void PumpWindowMessages() {}

bool SystemHasWindows() {
  return false;
}

}  // namespace quorvane::platform
