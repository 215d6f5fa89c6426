#include "window/text.h"

#include <algorithm>

#include "platform/wide_text.h"
#include "ui/time_text.h"

namespace quorvane::window {

std::wstring ToWide(const std::string& text) {
  return platform::Utf8ToWide(text);
}

std::wstring Widen(const std::string& ascii) {
  return std::wstring(ascii.begin(), ascii.end());
}

std::wstring HoursMinutesSeconds(double seconds) {
  return Widen(ui::HoursMinutesSeconds(seconds));
}

std::wstring MinutesSeconds(double seconds) {
  return Widen(ui::MinutesSeconds(seconds));
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

}  // namespace quorvane::window
