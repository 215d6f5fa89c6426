// Follows the host's current project across ticks: a tab switch, a save under a new name or a
// closed project all count as a change of project.
#pragma once

#include <string>

#include "host/host_api.h"

namespace quorvane::host {

// The project's name for remote clients: the file name without its folders and extension;
// "Untitled Project" when there is no file.
std::string ProjectDisplayName(const std::string& path);

class ProjectTracker {
 public:
  enum class Change { kNone, kOpened, kClosed };

  // Polls through the host's "EnumProjects" once `host` is bound; without it nothing changes.
  explicit ProjectTracker(const HostApi& host) : host_(host) {}

  Change Poll();
  const std::string& Path() const { return lastPath_; }
  // ProjectDisplayName of Path(), worked out once per change rather than on every tick.
  const std::string& DisplayName() const { return displayName_; }

 private:
  const HostApi& host_;
  ReaProject* lastProject_ = nullptr;
  std::string lastPath_;
  std::string displayName_ = ProjectDisplayName("");
};

}  // namespace quorvane::host
