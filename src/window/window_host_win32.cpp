// The window as the composition root owns it: the window object, the registration of its class
// and the "Show/Hide Window" toggle.
#include "ui/window_host.h"

#include "window/main_window.h"

namespace quorvane::ui {
namespace {

using window::MainWindow;

// The window class, registered on first use and unregistered when the host goes: a class whose
// procedure lives in an unloaded library would crash the next window of that class.
class WindowClass {
 public:
  explicit WindowClass(HINSTANCE instance) : instance_(instance) {}
  ~WindowClass() {
    if (registered_) UnregisterClassW(window::kWindowClassName, instance_);
  }
  WindowClass(const WindowClass&) = delete;
  WindowClass& operator=(const WindowClass&) = delete;

  bool Register() {
    if (registered_) return true;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = 0;
    windowClass.lpfnWndProc = &window::PluginUIWindowProc;
    windowClass.hInstance = instance_;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the standard arrow
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = window::kWindowClassName;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      return false;
    }
    registered_ = true;
    return true;
  }

 private:
  HINSTANCE instance_;
  bool registered_ = false;
};

class Win32WindowHost final : public ui::WindowHost {
 public:
  explicit Win32WindowHost(const ui::WindowContext& context)
      : instance_(GetModuleHandleW(nullptr)), class_(instance_), window_(context) {}
  // The window goes before its class; the class is given back before the library goes.
  ~Win32WindowHost() override = default;

  void OpenOrToggleWindow() override {
    if (window_.Exists()) {
      ShowWindow(window_.Handle(), IsWindowVisible(window_.Handle()) ? SW_HIDE : SW_SHOW);
      return;
    }
    window_.LoadImages();
    if (!class_.Register()) return;
    window_.Create(instance_);
  }

 private:
  HINSTANCE instance_;  // the host process's main module: the class is registered under it
  WindowClass class_;
  MainWindow window_;
};

}  // namespace

std::unique_ptr<ui::WindowHost> CreateWindowHost(const ui::WindowContext& context) {
  return std::make_unique<Win32WindowHost>(context);
}

}  // namespace quorvane::ui
