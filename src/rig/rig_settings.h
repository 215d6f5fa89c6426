// A rig's part in a two-rig show as the host keeps it with its global settings (section
// "Quorvane"): "rigRole" ("single", "main" or "backup"), "rigMainAddress" (the main's control
// address, which a backup dials) and "rigFailoverMs" (how long a backup waits for a silent main).
// Read once at Init; the Options page writes them, and they take effect at the next start.
#pragma once

#include <cstdint>
#include <string>

#include "rig/rig_wire.h"

namespace quorvane::rig {

inline constexpr const char* kRigSettingsSection = "Quorvane";
inline constexpr int32_t kDefaultFailoverMs = 500;
// A failover wait outside these is taken as the default: shorter would fail over on one late
// packet, longer would let the audience hear the silence.
inline constexpr int32_t kMinFailoverMs = 100;
inline constexpr int32_t kMaxFailoverMs = 10000;

// The host's global settings; either may be missing (then nothing is kept and all is default).
struct SettingsFunctions {
  const char* (*get)(const char* section, const char* key) = nullptr;
  void (*set)(const char* section, const char* key, const char* value, bool persist) = nullptr;
};

struct RigSettings {
  Role role = Role::kSingle;
  std::string mainAddress;
  int32_t failoverMs = kDefaultFailoverMs;

  static RigSettings Read(const SettingsFunctions& settings);
  // Kept across restarts.
  void Write(const SettingsFunctions& settings) const;
};

}  // namespace quorvane::rig
