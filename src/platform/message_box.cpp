#include "platform/message_box.h"

namespace quorvane::platform {

void MessageBoxes::Show(void* owner, const std::string& text, const std::string& title,
                        MessageIcon icon) const {
  if (sink_.show) {
    sink_.show(sink_.context, text.c_str(), title.c_str(), static_cast<int>(icon));
    return;
  }
  ShowPlatformMessageBox(owner, text, title, icon);
}

}  // namespace quorvane::platform
