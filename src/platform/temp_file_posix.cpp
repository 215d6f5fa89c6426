#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "platform/temp_file.h"

namespace quorvane::platform {
namespace {

constexpr const char* kSuffix = ".tmp";

std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  std::string folder = (dir && *dir) ? dir : "/tmp";
  if (folder.back() != '/') folder.push_back('/');
  return folder;
}

}  // namespace

std::string CreateUniqueTempFile(const std::string& prefix) {
  const std::string pattern = TempFolder() + prefix + "XXXXXX" + kSuffix;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemps(name.data(), 4);
  if (fd < 0) return {};
  close(fd);
  return std::string(name.data());
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

bool DeleteFileAtPath(const std::string& path) {
  return unlink(path.c_str()) == 0;
}

}  // namespace quorvane::platform
