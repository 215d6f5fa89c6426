#include <windows.h>

#include <cstdio>

#include "platform/temp_file.h"
#include "platform/wide_text.h"

namespace quorvane::platform {

std::string CreateUniqueTempFile(const std::string& prefix) {
  wchar_t folder[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, folder);
  if (length < 1 || length >= MAX_PATH) return {};
  const std::wstring widePrefix = Utf8ToWide(prefix);
  wchar_t name[MAX_PATH] = {};
  // Unique number 0: the system picks the name and creates the empty file.
  if (GetTempFileNameW(folder, widePrefix.c_str(), 0, name) == 0) return {};
  std::string path = WideToUtf8(name);
  if (path.empty()) DeleteFileW(name);
  return path;
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size) {
  const std::wstring widePath = Utf8ToWide(path);
  if (widePath.empty()) return false;
  std::FILE* file = _wfopen(widePath.c_str(), L"wb");
  if (!file) return false;
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

bool DeleteFileAtPath(const std::string& path) {
  const std::wstring widePath = Utf8ToWide(path);
  return !widePath.empty() && DeleteFileW(widePath.c_str()) != 0;
}

}  // namespace quorvane::platform
