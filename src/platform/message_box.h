// Messages to the user. On Windows a real message box, owned by our main window when it exists;
// elsewhere a sink that the simulator or a test provides (or standard error).
#pragma once

#include <string>

namespace quorvane::platform {

enum class MessageIcon : int { kWarning = 0, kError = 1 };

// A message sink as plain C callbacks so that the simulator can hand one into the loaded library.
struct MessageSink {
  void* context;
  void (*show)(void* context, const char* text, const char* title, int icon);
};

class MessageBoxes {
 public:
  // A null sink means the platform's own message box.
  explicit MessageBoxes(const MessageSink* sink = nullptr) : sink_(sink ? *sink : MessageSink{}) {}

  // `owner` is the main window's handle or null; it is only used by the platform's message box.
  void Show(void* owner, const std::string& text, const std::string& title, MessageIcon icon) const;

 private:
  MessageSink sink_;
};

// The platform's own message box (message_box_win32.cpp / message_box_posix.cpp).
void ShowPlatformMessageBox(void* owner, const std::string& text, const std::string& title,
                            MessageIcon icon);

}  // namespace quorvane::platform
