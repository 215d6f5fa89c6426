#include "host/extension.h"

#include <cstring>
#include <string>

#include "platform/host_seams.h"
#include "platform/menu.h"

namespace quorvane::host {
namespace {

const platform::ClockSource* SimulatedClock(reaper_plugin_info_t* rec) {
  return static_cast<const platform::ClockSource*>(rec->GetFunc(platform::kClockSourceName));
}

const platform::MessageSink* SimulatedMessages(reaper_plugin_info_t* rec) {
  return static_cast<const platform::MessageSink*>(rec->GetFunc(platform::kMessageSinkName));
}

bool EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    const auto lower = [](char c) {
      return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    };
    if (lower(*a) != lower(*b)) return false;
  }
  return *a == *b;
}

}  // namespace

Extension* Extension::current_ = nullptr;

Extension::Extension(HINSTANCE instance, reaper_plugin_info_t* rec)
    : instance_(instance),
      rec_(rec),
      clock_(SimulatedClock(rec)),
      messages_(SimulatedMessages(rec)),
      projects_(rec->GetFunc),
      registrations_(rec->Register) {}

Extension::~Extension() {
  host_.RestorePitchShiftMode();
  registrations_.UnregisterAll();
  rec_ = nullptr;
}

bool Extension::Load() {
  if (!host_.Bind(rec_->GetFunc)) return false;

  if (!registrations_.Add("timer", reinterpret_cast<void*>(&Extension::TimerThunk))) return false;
  if (!RegisterAction(Action::kShowWindow)) return false;
  if (!registrations_.Add("hookcustommenu",
                          reinterpret_cast<void*>(&Extension::HookCustomMenuThunk))) {
    return false;
  }
  auto addMenu =
      reinterpret_cast<hostfn::AddExtensionsMainMenu>(rec_->GetFunc("AddExtensionsMainMenu"));
  if (!addMenu) return false;
  addMenu();
  for (size_t i = 1; i < kActions.size(); ++i) {
    if (!RegisterAction(static_cast<Action>(i))) return false;
  }
  return registrations_.Add("hookcommand", reinterpret_cast<void*>(&Extension::HookCommandThunk));
}

bool Extension::RegisterAction(Action action) {
  const auto index = static_cast<size_t>(action);
  const int id = registrations_.AddCommandId(kActions[index].commandName);
  if (id == 0) return false;
  commandIds_[index] = id;
  gaccel_register_t& accel = accelerators_[index];
  accel.accel = HostAccel{0, 0, static_cast<unsigned short>(id)};
  accel.desc = kActions[index].description;
  return registrations_.Add("gaccel", &accel);
}

void Extension::OnTimer() {
  projects_.Poll();
}

bool Extension::OnHookCommand(int command, int /*flag*/) {
  for (size_t i = 0; i < commandIds_.size(); ++i) {
    if (commandIds_[i] != 0 && commandIds_[i] == command) {
      try {
        RunAction(static_cast<Action>(i));
      } catch (...) {
        // The action is ours even when it fails; the host must not run anything else for it.
      }
      return true;
    }
  }
  return false;
}

void Extension::RunAction(Action /*action*/) {}

void Extension::OnHookCustomMenu(const char* menuId, HMENU menu, int flag) {
  if (!menuId || !menu || flag != 0) return;
  if (!EqualsIgnoringCase(menuId, kExtensionsMenuId)) return;
  const int showWindowId = commandIds_[static_cast<size_t>(Action::kShowWindow)];
  if (showWindowId <= 0) return;
  const int count = platform::MenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    if (platform::MenuItemId(menu, i) == showWindowId) return;
  }
  platform::AppendMenuItem(menu, showWindowId, kMenuText);
}

void Extension::TimerThunk() noexcept {
  try {
    if (current_) current_->OnTimer();
  } catch (...) {
    // A failing tick must not take the host down; the next tick tries again.
  }
}

bool Extension::HookCommandThunk(int command, int flag) noexcept {
  try {
    return current_ && current_->OnHookCommand(command, flag);
  } catch (...) {
    return false;
  }
}

void Extension::HookCustomMenuThunk(const char* menuId, HMENU menu, int flag) noexcept {
  try {
    if (current_) current_->OnHookCustomMenu(menuId, menu, flag);
  } catch (...) {
    // The menu simply goes without our item.
  }
}

}  // namespace quorvane::host
