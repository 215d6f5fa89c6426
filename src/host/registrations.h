// Owned registrations with the host: each one undoes itself ("-" + key) when destroyed, so a
// failed load and an unload leave nothing of ours registered.
#pragma once

#include <string>
#include <vector>

namespace quorvane::host {

using RegisterFunction = int (*)(const char* name, void* info);

class Registrations {
 public:
  explicit Registrations(RegisterFunction registerFn) : register_(registerFn) {}
  ~Registrations() { UnregisterAll(); }
  Registrations(const Registrations&) = delete;
  Registrations& operator=(const Registrations&) = delete;

  // Registers `info` under `key`; false when the host answers 0. Kept for undoing when the key
  // has a "-" form.
  bool Add(const char* key, void* info);
  // Registers an action name, returning the host's command id (0 on failure). Command ids have no
  // "-" form and stay with the host.
  int AddCommandId(const char* actionName);
  // Unregisters everything, newest first.
  void UnregisterAll();

 private:
  struct Entry {
    std::string key;
    void* info;
  };
  RegisterFunction register_;
  std::vector<Entry> entries_;
};

}  // namespace quorvane::host
