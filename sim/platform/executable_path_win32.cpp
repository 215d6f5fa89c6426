#include <windows.h>

#include "sim/platform/executable_path.h"
#include "platform/wide_text.h"

namespace quorvane::platform {

std::string ExecutablePath() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return {};
  path.resize(length);
  return WideToUtf8(path);
}

}  // namespace quorvane::platform
