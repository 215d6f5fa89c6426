#include <windows.h>

#include <atomic>

#include "platform/main_thread_wake.h"

namespace quorvane::platform {
namespace {

constexpr UINT kWakeMessage = WM_APP + 0x51;
constexpr UINT_PTR kOneShotTimer = 1;
constexpr const wchar_t* kClassName = L"QuorvaneMainThreadWake";

// A message-only window on the main thread: a posted message and its timer are dispatched by the
// host's message loop, usually within a millisecond.
class WindowWake final : public NativeWake {
 public:
  bool Create() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &WindowWake::Procedure;
    windowClass.hInstance = ModuleOf();
    windowClass.lpszClassName = kClassName;
    // The class may still be registered by an earlier load of the library in this process.
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      return false;
    }
    HWND window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ModuleOf(), nullptr);
    if (!window) return false;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    window_.store(window);
    source_ = WakeSource{this, &Attach, &Post, &Arm};
    return true;
  }

  ~WindowWake() override {
    HWND window = window_.exchange(nullptr);
    if (!window) return;
    KillTimer(window, kOneShotTimer);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
    // Messages still queued for the window are discarded with it. The class stays registered:
    // another instance's window may use it, and the system removes it when the library unloads.
  }

  const WakeSource& Source() const override { return source_; }

 private:
  static HINSTANCE ModuleOf() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&WindowWake::Procedure), &module);
    return module;
  }

  static void Attach(void* context, void (*handler)(void*, int), void* target) {
    auto* self = static_cast<WindowWake*>(context);
    self->handler_ = handler;
    self->target_ = target;
  }

  static void Post(void* context) {
    auto* self = static_cast<WindowWake*>(context);
    if (HWND window = self->window_.load()) PostMessageW(window, kWakeMessage, 0, 0);
  }

  static void Arm(void* context, int delayMs) {
    auto* self = static_cast<WindowWake*>(context);
    HWND window = self->window_.load();
    if (!window) return;
    if (delayMs < 0) {
      KillTimer(window, kOneShotTimer);
      return;
    }
    SetTimer(window, kOneShotTimer,
             static_cast<UINT>(delayMs < USER_TIMER_MINIMUM ? USER_TIMER_MINIMUM : delayMs),
             nullptr);
  }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam,
                                    LPARAM lParam) noexcept {
    auto* self = reinterpret_cast<WindowWake*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == kWakeMessage) {
      if (self && self->handler_)
        self->handler_(self->target_, static_cast<int>(WakeReason::kPosted));
      return 0;
    }
    if (message == WM_TIMER && wParam == kOneShotTimer) {
      KillTimer(window, kOneShotTimer);  // one shot
      if (self && self->handler_)
        self->handler_(self->target_, static_cast<int>(WakeReason::kTimer));
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  std::atomic<HWND> window_{nullptr};  // posted to from other threads
  void (*handler_)(void*, int) = nullptr;
  void* target_ = nullptr;
  WakeSource source_{};
};

}  // namespace

std::unique_ptr<NativeWake> CreateNativeWake() {
  auto wake = std::make_unique<WindowWake>();
  if (!wake->Create()) return nullptr;
  return wake;
}

}  // namespace quorvane::platform
