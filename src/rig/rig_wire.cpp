#include "rig/rig_wire.h"

namespace quorvane::rig {

const char* RoleName(Role role) {
  switch (role) {
    case Role::kMain:
      return "main";
    case Role::kBackup:
      return "backup";
    case Role::kSingle:
      break;
  }
  return "single";
}

Role ParseRole(std::string_view text) {
  if (text == "main") return Role::kMain;
  if (text == "backup") return Role::kBackup;
  return Role::kSingle;
}

}  // namespace quorvane::rig
