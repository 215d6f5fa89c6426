#include <cstdio>

#include "platform/message_box.h"

namespace quorvane::platform {

// Without a window system the message goes to standard error, where a person running the
// library outside the simulator can still read it.
void ShowPlatformMessageBox(void*, const std::string& text, const std::string& title,
                            MessageIcon icon) {
  std::fprintf(stderr, "[%s] %s: %s\n", title.c_str(),
               icon == MessageIcon::kError ? "error" : "warning", text.c_str());
}

}  // namespace quorvane::platform
