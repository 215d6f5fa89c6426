#include "platform/main_thread_wake.h"

namespace quorvane::platform {

MainThreadWake::MainThreadWake(const WakeSource* simulated, Handler handler, void* target) {
  if (!simulated) {
    native_ = CreateNativeWake();
    if (native_) simulated = &native_->Source();
  }
  if (!simulated || !simulated->attach || !simulated->post || !simulated->arm) return;
  source_ = *simulated;
  source_.attach(source_.context, handler, target);
}

MainThreadWake::~MainThreadWake() {
  if (!Available()) return;
  source_.arm(source_.context, -1);
  source_.attach(source_.context, nullptr, nullptr);
  // native_ goes after: its window is destroyed with it.
}

void MainThreadWake::Post() const {
  if (Available()) source_.post(source_.context);
}

void MainThreadWake::ArmTimer(int delayMs) const {
  if (Available()) source_.arm(source_.context, delayMs);
}

}  // namespace quorvane::platform
