#include <windows.h>

#include "platform/message_box.h"
#include "platform/wide_text.h"

namespace quorvane::platform {

void ShowPlatformMessageBox(void* owner, const std::string& text, const std::string& title,
                            MessageIcon icon) {
  const UINT flags = MB_OK | (icon == MessageIcon::kError ? MB_ICONERROR : MB_ICONWARNING);
  MessageBoxW(static_cast<HWND>(owner), Utf8ToWide(text).c_str(), Utf8ToWide(title).c_str(), flags);
}

}  // namespace quorvane::platform
