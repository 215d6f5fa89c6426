// The composition root: every process-wide record of the extension, created when the host loads
// the library and destroyed when it unloads it, wired together at load.
#pragma once

#include <array>
#include <memory>

#include "host/actions.h"
#include "host/host_api.h"
#include "host/project_tracker.h"
#include "host/reaper_api.h"
#include "host/registrations.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "practise/count_in_player.h"
#include "practise/practise_session.h"
#include "remote/remote_server.h"
#include "remote/system_view.h"
#include "show/setlist.h"
#include "show/show_engine.h"
#include "ui/plugin_ui.h"
#include "ui/window_host.h"

namespace quorvane::host {

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
  static void SetCurrent(Extension* extension) { current_ = extension; }

 private:
  void RunAction(Action action);
  bool RegisterAction(Action action);
  void TrackProject();
  std::string SetlistReport() const;
  std::string ShowStateReport() const;

  static Extension* current_;

  HINSTANCE instance_;
  reaper_plugin_info_t* rec_;
  HostApi host_;
  platform::Clock clock_;
  platform::MessageBoxes messages_;
  ProjectTracker projects_;
  practise::CountInPlayer countIn_;
  ui::PluginUI ui_;
  show::Setlist setlist_;
  practise::PractiseSession practise_;
  show::ShowEngine engine_;
  remote::RemoteServer server_;
  remote::SystemView system_;
  std::array<int, kActions.size()> commandIds_{};
  std::array<gaccel_register_t, kActions.size()> accelerators_{};
  Registrations registrations_;
  std::unique_ptr<ui::WindowHost> window_;  // null where the build has no window
};

}  // namespace quorvane::host
