#include "ui/win32/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/wide_text.h"

namespace quorvane::ui::win32 {
namespace {

int WholeSeconds(double seconds) {
  if (!(seconds > 0.0)) return 0;
  constexpr double kLimit = 2.0e9;
  return static_cast<int>(std::min(seconds, kLimit));
}

}  // namespace

std::wstring ToWide(const std::string& text) {
  return platform::Utf8ToWide(text);
}

std::wstring Widen(const std::string& ascii) {
  return std::wstring(ascii.begin(), ascii.end());
}

std::wstring HoursMinutesSeconds(double seconds) {
  const int total = WholeSeconds(seconds);
  char text[48];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", total / 3600, total / 60 % 60, total % 60);
  return Widen(text);
}

std::wstring MinutesSeconds(double seconds) {
  const int total = WholeSeconds(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d", total / 60, total % 60);
  return Widen(text);
}

std::wstring WindowText(HWND window, int limit) {
  std::wstring text(static_cast<size_t>(limit) + 1, L'\0');
  const int length = GetWindowTextW(window, text.data(), limit + 1);
  text.resize(static_cast<size_t>(std::max(length, 0)));
  return text;
}

void SetTextIfChanged(HWND window, const std::wstring& text) {
  if (window && WindowText(window, 1023) != text) SetWindowTextW(window, text.c_str());
}

}  // namespace quorvane::ui::win32
