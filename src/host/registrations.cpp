#include "host/registrations.h"

namespace quorvane::host {

bool Registrations::Add(const char* key, void* info) {
  if (!register_ || register_(key, info) == 0) return false;
  entries_.push_back(Entry{key, info});
  return true;
}

int Registrations::AddCommandId(const char* actionName) {
  if (!register_) return 0;
  return register_("command_id", const_cast<char*>(actionName));
}

void Registrations::UnregisterAll() {
  while (!entries_.empty()) {
    const Entry entry = entries_.back();
    entries_.pop_back();
    register_(("-" + entry.key).c_str(), entry.info);
  }
}

}  // namespace quorvane::host
