// Marks the main thread as inside code of ours that the host called: the tick, a hook, a window
// procedure, a message box we opened. A modal loop run from there (a message box, a menu) still
// dispatches the host's messages, so work handed to the main thread must wait while one is open:
// it would run in the middle of another of our operations.
#pragma once

namespace quorvane::platform {

class OwnCodeScope {
 public:
  OwnCodeScope() { ++depth_; }
  ~OwnCodeScope() { --depth_; }
  OwnCodeScope(const OwnCodeScope&) = delete;
  OwnCodeScope& operator=(const OwnCodeScope&) = delete;

  // Main thread: true while any scope is open.
  static bool Active() { return depth_ > 0; }

 private:
  // Main thread only; the host calls all of these there.
  static inline int depth_ = 0;
};

}  // namespace quorvane::platform
