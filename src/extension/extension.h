// The extension as the host sees it: the core (every record of the system, core/core.h) plus the
// host's business around it: the registrations, the actions, the callbacks' thunks and the window.
// Created when the host loads the library and destroyed when it unloads it.
#pragma once

#include <array>
#include <memory>

#include "core/core.h"
#include "host/actions.h"
#include "host/failure_reports.h"
#include "host/reaper_api.h"
#include "host/registrations.h"
#include "platform/main_thread_wake.h"
#include "ui/window_host.h"

namespace quorvane::extension {

using host::Action;
using host::kActions;
using host::Registrations;

class Extension {
 public:
  Extension(HINSTANCE instance, reaper_plugin_info_t* rec);
  // Unloads: puts back what the extension changed in the host, stops what it started and
  // unregisters what it registered.
  ~Extension();
  Extension(const Extension&) = delete;
  Extension& operator=(const Extension&) = delete;

  // The load sequence; false when the extension cannot run (everything done so far is undone by
  // the destructor).
  bool Load();

  void OnTimer();
  bool OnHookCommand(int command, int flag);
  void OnHookCustomMenu(const char* menuId, HMENU menu, int flag);

  // The callbacks registered with the host; they forward to the loaded extension.
  static void TimerThunk() noexcept;
  static bool HookCommandThunk(int command, int flag) noexcept;
  static void HookCustomMenuThunk(const char* menuId, HMENU menu, int flag) noexcept;
  static int ToggleActionThunk(int command) noexcept;
  // The main thread woken between ticks (wake.h); `target` is the extension.
  static void WakeThunk(void* target, int reason) noexcept;
  static void SetCurrent(Extension* extension) { current_ = extension; }
  // From a catch block at the host boundary: reports the failure through the current extension's
  // FailureReports, if there is one.
  static void ReportFailure(const char* where) noexcept;

 private:
  void RunAction(Action action);
  int ToggleState(int command);
  // Tells the user, in a message box as hosts do at load, which required functions are missing.
  void ReportMissingFunctions();

  bool RegisterAction(Action action);
  std::string SetlistReport();
  std::string ShowStateReport();

  static Extension* current_;

  HINSTANCE instance_;
  reaper_plugin_info_t* rec_;
  core::Core core_;
  std::array<int, kActions.size()> commandIds_{};
  std::array<gaccel_register_t, kActions.size()> accelerators_{};
  Registrations registrations_;
  std::unique_ptr<ui::WindowHost> window_;  // null where the build has no window
  // The message-only window (Windows) or the simulator's seam: made at load on the main thread,
  // before the server starts; gone at unload after the server stopped.
  std::unique_ptr<platform::MainThreadWake> wake_;
};

}  // namespace quorvane::extension
