// The texts the window shows: host names in wide characters and the clock formats of the pages.
#pragma once

#include <string>

#include "window/gdi.h"

namespace quorvane::window {

// Host text (UTF-8, else the system code page) as wide text; empty stays empty.
std::wstring ToWide(const std::string& text);
// Plain ASCII as wide text.
std::wstring Widen(const std::string& ascii);

// The clock texts of ui/time_text.h as wide text.
std::wstring HoursMinutesSeconds(double seconds);
std::wstring MinutesSeconds(double seconds);

// A control's text (at most `limit` characters).
std::wstring WindowText(HWND window, int limit = 511);
// Sets the text only when it differs, so that the control is not repainted for nothing.
void SetTextIfChanged(HWND window, const std::wstring& text);

}  // namespace quorvane::window
