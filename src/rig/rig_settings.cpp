#include "rig/rig_settings.h"

#include <charconv>

namespace quorvane::rig {
namespace {

std::string ReadText(const SettingsFunctions& settings, const char* key) {
  if (!settings.get) return {};
  const char* value = settings.get(kRigSettingsSection, key);
  return value ? std::string(value) : std::string();
}

}  // namespace

RigSettings RigSettings::Read(const SettingsFunctions& settings) {
  RigSettings read;
  read.role = ParseRole(ReadText(settings, "rigRole"));
  read.mainAddress = ReadText(settings, "rigMainAddress");
  const std::string failover = ReadText(settings, "rigFailoverMs");
  int32_t value = 0;
  const auto [end, error] =
      std::from_chars(failover.data(), failover.data() + failover.size(), value);
  if (error == std::errc() && end == failover.data() + failover.size() && value >= kMinFailoverMs &&
      value <= kMaxFailoverMs) {
    read.failoverMs = value;
  }
  return read;
}

void RigSettings::Write(const SettingsFunctions& settings) const {
  if (!settings.set) return;
  settings.set(kRigSettingsSection, "rigRole", RoleName(role), true);
  settings.set(kRigSettingsSection, "rigMainAddress", mainAddress.c_str(), true);
  settings.set(kRigSettingsSection, "rigFailoverMs", std::to_string(failoverMs).c_str(), true);
}

}  // namespace quorvane::rig
