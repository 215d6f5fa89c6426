// The library's one export. The host calls it once at load with its record and once at unload
// with null; nothing thrown ever leaves it.
#include <memory>

#include "extension/extension.h"
#include "host/reaper_api.h"

namespace {

std::unique_ptr<quorvane::extension::Extension>& LoadedExtension() {
  static std::unique_ptr<quorvane::extension::Extension> extension;
  return extension;
}

void Unload() noexcept {
  try {
    LoadedExtension().reset();
  } catch (...) {
    // Nothing may reach the host; what could not be torn down is left to process exit.
  }
  quorvane::extension::Extension::SetCurrent(nullptr);
}

}  // namespace

QUORVANE_EXPORT int ReaperPluginEntry(HINSTANCE instance, reaper_plugin_info_t* rec) {
  if (!rec) {
    Unload();
    return 0;
  }
  if (rec->caller_version != kReaperPluginVersion || !rec->Register || !rec->GetFunc) return 0;
  try {
    Unload();  // a second load without an unload starts afresh
    auto& extension = LoadedExtension();
    extension = std::make_unique<quorvane::extension::Extension>(instance, rec);
    quorvane::extension::Extension::SetCurrent(extension.get());
    if (extension->Load()) return 1;
  } catch (...) {
    // Fall through: a load that throws is a failed load, told to the console when it can be.
    quorvane::extension::Extension::ReportFailure("loading");
  }
  // The host unloads a library whose entry returns 0, so nothing of ours may stay registered or
  // running: the extension's destructor undoes what the load did.
  Unload();
  return 0;
}
