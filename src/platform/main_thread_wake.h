// Hands work to the host's main thread between its timer ticks. Any thread may post a wake; the
// main thread may ask for one call at a deadline (a one-shot timer). On Windows this is a
// message-only window that the main thread creates; in the simulator a seam with the same meaning,
// offered through the host's function lookup; elsewhere there is none, and the host's timer tick
// does the work a little later.
#pragma once

#include <memory>

namespace quorvane::platform {

enum class WakeReason : int { kPosted = 0, kTimer = 1 };

// The wake as plain C callbacks, so that the simulator can hand one into the loaded library.
struct WakeSource {
  void* context;
  // Main thread. Installs the function the main thread calls for each wake, or removes it (null);
  // once removed, no call reaches the previous handler.
  void (*attach)(void* context, void (*handler)(void* target, int reason), void* target);
  // Any thread. Asks for one kPosted call soon; several posts before it may become one call.
  void (*post)(void* context);
  // Main thread. One kTimer call after `delayMs` (replacing an earlier request); negative cancels.
  void (*arm)(void* context, int delayMs);
};

// The platform's own wake (main_thread_wake_win32.cpp / main_thread_wake_posix.cpp).
class NativeWake {
 public:
  virtual ~NativeWake() = default;
  virtual const WakeSource& Source() const = 0;
};
// Main thread; null where the platform has none or it could not be made.
std::unique_ptr<NativeWake> CreateNativeWake();

// One attachment to a wake source, undone by the destructor (on the main thread).
class MainThreadWake {
 public:
  using Handler = void (*)(void* target, int reason);

  // `simulated` non-null: the simulator's seam; null: the platform's own, created here.
  MainThreadWake(const WakeSource* simulated, Handler handler, void* target);
  ~MainThreadWake();
  MainThreadWake(const MainThreadWake&) = delete;
  MainThreadWake& operator=(const MainThreadWake&) = delete;

  bool Available() const { return source_.post != nullptr; }
  void Post() const;  // any thread
  void ArmTimer(int delayMs) const;
  void CancelTimer() const { ArmTimer(-1); }

 private:
  std::unique_ptr<NativeWake> native_;
  WakeSource source_{};
};

}  // namespace quorvane::platform
