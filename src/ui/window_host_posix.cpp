#include "ui/window_host.h"

namespace quorvane::ui {

// The window exists only in the Windows build.
std::unique_ptr<WindowHost> CreateWindowHost(const WindowContext& /*context*/) {
  return nullptr;
}

}  // namespace quorvane::ui
