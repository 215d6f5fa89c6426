#include <windows.h>

#include "sim/platform/message_pump.h"

namespace quorvane::platform {

void PumpWindowMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool SystemHasWindows() {
  return true;
}

}  // namespace quorvane::platform
