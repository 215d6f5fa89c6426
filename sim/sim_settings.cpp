// The simulated host's settings: config variables at stable addresses, and the extension's own
// settings kept per host (optionally in a file, as the host keeps them).
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "sim/sim_host.h"
#include "sim/sim_state.h"

namespace quorvane::sim {

const Host::State::GlobalValue* Host::State::FindGlobal(const std::string& section,
                                                        const std::string& key) const {
  const auto found = globalExtState.find(section);
  if (found == globalExtState.end()) return nullptr;
  const auto value = found->second.find(key);
  return value == found->second.end() ? nullptr : &value->second;
}

Host::State::ConfigValue* Host::State::Config(const std::string& name) const {
  auto it = config.find(name);
  return it == config.end() ? nullptr : it->second.get();
}

Host::State::ConfigValue& Host::State::ConfigOfSize(const std::string& name, size_t size) {
  auto it = config.find(name);
  if (it != config.end()) {
    if (it->second->bytes.size() == size) return *it->second;
    retiredConfig.push_back(std::move(it->second));
    config.erase(it);
  }
  auto value = std::make_unique<ConfigValue>();
  value->bytes.assign(std::max<size_t>(size, 1), 0);
  ConfigValue& result = *value;
  config.emplace(name, std::move(value));
  return result;
}

long long Host::State::ConfigInteger(const std::string& name) const {
  const ConfigValue* value = Config(name);
  if (!value) return 0;
  switch (value->bytes.size()) {
    case 1:
      return static_cast<signed char>(value->bytes[0]);
    case 2: {
      int16_t v = 0;
      std::memcpy(&v, value->bytes.data(), sizeof v);
      return v;
    }
    case 4: {
      int32_t v = 0;
      std::memcpy(&v, value->bytes.data(), sizeof v);
      return v;
    }
    case 8: {
      int64_t v = 0;
      std::memcpy(&v, value->bytes.data(), sizeof v);
      return v;
    }
    default:
      return 0;
  }
}

void Host::UseSettingsFile(const std::string& path) {
  state_->settingsFile = path;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t slash = line.find('/');
    const std::size_t equals = line.find('=', slash == std::string::npos ? 0 : slash);
    if (slash == std::string::npos || equals == std::string::npos) continue;
    state_->globalExtState[line.substr(0, slash)][line.substr(slash + 1, equals - slash - 1)] =
        State::GlobalValue{line.substr(equals + 1), true};
  }
}

void Host::State::SaveSettings() const {
  if (settingsFile.empty()) return;
  std::ofstream out(settingsFile, std::ios::trunc);
  for (const auto& [section, values] : globalExtState) {
    for (const auto& [key, value] : values) {
      if (value.persist) out << section << '/' << key << '=' << value.value << '\n';
    }
  }
}

std::string Host::GlobalExtState(const std::string& section, const std::string& key) const {
  const State::GlobalValue* value = state_->FindGlobal(section, key);
  return value ? value->value : std::string();
}

bool Host::HasGlobalExtState(const std::string& section, const std::string& key) const {
  return state_->FindGlobal(section, key) != nullptr;
}

bool Host::GlobalExtStatePersists(const std::string& section, const std::string& key) const {
  const State::GlobalValue* value = state_->FindGlobal(section, key);
  return value && value->persist;
}

void Host::SetGlobalExtState(const std::string& section, const std::string& key,
                             const std::string& value) {
  state_->globalExtState[section][key] = State::GlobalValue{value, true};
}

void Host::SetConfigVar(const std::string& name, int value, int size) {
  if (size != 1 && size != 2 && size != 8) size = 4;
  State::ConfigValue& config = state_->ConfigOfSize(name, static_cast<size_t>(size));
  switch (size) {
    case 1:
      config.bytes[0] = static_cast<unsigned char>(value);
      break;
    case 2: {
      const auto v = static_cast<int16_t>(value);
      std::memcpy(config.bytes.data(), &v, sizeof v);
      break;
    }
    case 8: {
      const auto v = static_cast<int64_t>(value);
      std::memcpy(config.bytes.data(), &v, sizeof v);
      break;
    }
    default: {
      const auto v = static_cast<int32_t>(value);
      std::memcpy(config.bytes.data(), &v, sizeof v);
      break;
    }
  }
}

void Host::SetConfigDouble(const std::string& name, double value) {
  State::ConfigValue& config = state_->ConfigOfSize(name, sizeof(double));
  std::memcpy(config.bytes.data(), &value, sizeof value);
}

int Host::ConfigVar(const std::string& name) const {
  return static_cast<int>(state_->ConfigInteger(name));
}

double Host::ConfigDouble(const std::string& name) const {
  const State::ConfigValue* config = state_->Config(name);
  if (!config || config->bytes.size() != sizeof(double)) return 0.0;
  double value = 0.0;
  std::memcpy(&value, config->bytes.data(), sizeof value);
  return value;
}

bool Host::HasConfigVar(const std::string& name) const {
  return state_->Config(name) != nullptr;
}

void Host::RemoveConfigVar(const std::string& name) {
  auto it = state_->config.find(name);
  if (it == state_->config.end()) return;
  state_->retiredConfig.push_back(std::move(it->second));
  state_->config.erase(it);
}

}  // namespace quorvane::sim
