#include "platform/message_box.h"

#include "platform/own_code_scope.h"

namespace quorvane::platform {

void MessageBoxes::Show(void* owner, const std::string& text, const std::string& title,
                        MessageIcon icon) const {
  const OwnCodeScope modal;  // the box runs a modal loop of its own
  if (sink_.show) {
    sink_.show(sink_.context, text.c_str(), title.c_str(), static_cast<int>(icon));
    return;
  }
  ShowPlatformMessageBox(owner, text, title, icon);
}

}  // namespace quorvane::platform
