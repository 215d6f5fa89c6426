// The window as the composition root sees it: something that opens, hides and re-shows itself on
// the "Show/Hide Window" action. Only the Windows build has one; elsewhere CreateWindowHost
// answers null and the action does nothing.
#pragma once

#include <memory>

namespace quorvane::host {
class HostApi;
}
namespace quorvane::platform {
class MessageBoxes;
}
namespace quorvane::practise {
class PractiseSession;
}
namespace quorvane::show {
class Setlist;
class ShowEngine;
}  // namespace quorvane::show
namespace quorvane::operations {
class UserOperations;
}

namespace quorvane::ui {

class PluginUI;
class WebAccessPort;

// The records the window reads and drives; all of them outlive the window host.
struct WindowContext {
  host::HostApi& host;
  PluginUI& ui;
  show::Setlist& setlist;
  show::ShowEngine& engine;
  practise::PractiseSession& practise;
  // What the window's clicks do: the same operations the remote commands run.
  operations::UserOperations& operations;
  const platform::MessageBoxes& messages;
  void* instance;                // the extension library's module handle (may be null)
  WebAccessPort* web = nullptr;  // the web remote's addresses (null: none)
};

class WindowHost {
 public:
  virtual ~WindowHost() = default;
  // Creates the window on first use, else hides it when visible and shows it when hidden.
  virtual void OpenOrToggleWindow() = 0;
};

// Destroying the host destroys the window and gives back everything the window registered, so it
// must happen before the library is unloaded.
std::unique_ptr<WindowHost> CreateWindowHost(const WindowContext& context);

}  // namespace quorvane::ui
