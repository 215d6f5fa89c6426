#include "host/host_fallbacks.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace quorvane::host::fallback {
namespace {

// The session's settings. The host calls us on its main thread only, but the lock costs nothing
// and keeps a stray caller from corrupting the map.
struct SessionSettings {
  std::mutex mutex;
  std::map<std::pair<std::string, std::string>, std::string> values;
  std::string lastRead;  // what GetExtState handed out, valid until its next call
};

SessionSettings& Settings() {
  static SessionSettings settings;
  return settings;
}

std::pair<std::string, std::string> Key(const char* section, const char* key) {
  return {section ? section : "", key ? key : ""};
}

}  // namespace

double TimeMap_GetDividedBpmAtTime(double) {
  return 0.0;
}

void MarkProjectDirty(ReaProject*) {}

const char* GetExtState(const char* section, const char* key) {
  SessionSettings& settings = Settings();
  const std::lock_guard<std::mutex> lock(settings.mutex);
  const auto found = settings.values.find(Key(section, key));
  settings.lastRead = found == settings.values.end() ? std::string() : found->second;
  return settings.lastRead.c_str();
}

void SetExtState(const char* section, const char* key, const char* value, bool) {
  SessionSettings& settings = Settings();
  const std::lock_guard<std::mutex> lock(settings.mutex);
  settings.values[Key(section, key)] = value ? value : "";
}

bool HasExtState(const char* section, const char* key) {
  SessionSettings& settings = Settings();
  const std::lock_guard<std::mutex> lock(settings.mutex);
  return settings.values.count(Key(section, key)) > 0;
}

void DeleteExtState(const char* section, const char* key, bool) {
  SessionSettings& settings = Settings();
  const std::lock_guard<std::mutex> lock(settings.mutex);
  settings.values.erase(Key(section, key));
}

int GetProjectStateChangeCount(ReaProject*) {
  static std::atomic<int> calls{0};
  return calls.fetch_add(1, std::memory_order_relaxed) + 1;
}

}  // namespace quorvane::host::fallback
