// UTF-8 <-> UTF-16 conversion for the Windows calls that take wide text.
#pragma once

#ifdef _WIN32
#include <string>

namespace quorvane::platform {

// UTF-8 first (invalid sequences rejected), then the system's ANSI code page; empty when both fail.
std::wstring Utf8ToWide(const std::string& text);
// UTF-16 to UTF-8.
std::string WideToUtf8(const std::wstring& text);

}  // namespace quorvane::platform
#endif
