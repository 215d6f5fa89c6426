#include <unistd.h>

#include "sim/platform/executable_path.h"

namespace quorvane::platform {

std::string ExecutablePath() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return {};
  path.resize(static_cast<size_t>(length));
  return path;
}

}  // namespace quorvane::platform
