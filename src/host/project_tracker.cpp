#include "host/project_tracker.h"

#include <array>
#include <cstring>

namespace quorvane::host {

std::string ProjectDisplayName(const std::string& path) {
  constexpr const char* kUntitled = "Untitled Project";
  std::string name = path;
  while (!name.empty() && (name.back() == '/' || name.back() == '\\'))
    name.pop_back();
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot != 0) name.resize(dot);
  return name.empty() ? kUntitled : name;
}

ProjectTracker::Change ProjectTracker::Poll() {
  if (!host_.EnumProjects) return Change::kNone;

  std::array<char, 4096> buffer{};
  ReaProject* project = host_.EnumProjects(-1, buffer.data(), static_cast<int>(buffer.size()));
  if (!project) {
    if (!lastProject_ && lastPath_.empty()) return Change::kNone;
    lastProject_ = nullptr;
    lastPath_.clear();
    displayName_ = ProjectDisplayName(lastPath_);
    return Change::kClosed;
  }
  const std::string path(buffer.data(), strnlen(buffer.data(), buffer.size()));
  if (project == lastProject_ && path == lastPath_) return Change::kNone;
  lastProject_ = project;
  lastPath_ = path;
  displayName_ = ProjectDisplayName(lastPath_);
  return Change::kOpened;
}

}  // namespace quorvane::host
