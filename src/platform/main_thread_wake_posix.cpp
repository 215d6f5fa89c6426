#include "platform/main_thread_wake.h"

namespace quorvane::platform {

// No window system here: without the simulator's seam the timer tick does the work.
std::unique_ptr<NativeWake> CreateNativeWake() {
  return nullptr;
}

}  // namespace quorvane::platform
