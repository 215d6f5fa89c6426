// The full path of the running program (UTF-8), used to find files shipped next to it.
#pragma once

#include <string>

namespace quorvane::platform {

// Empty when the system cannot tell.
std::string ExecutablePath();

}  // namespace quorvane::platform
