#include <windows.h>

#include "platform/wide_text.h"

namespace quorvane::platform {
namespace {

std::wstring Convert(UINT codePage, DWORD flags, const std::string& text) {
  const int length =
      MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), wide.data(),
                      length);
  return wide;
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return {};
  std::wstring wide = Convert(CP_UTF8, MB_ERR_INVALID_CHARS, text);
  if (wide.empty()) wide = Convert(CP_ACP, 0, text);
  return wide;
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length,
                      nullptr, nullptr);
  return utf8;
}

}  // namespace quorvane::platform
