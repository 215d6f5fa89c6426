// The main page: the picture, "MENU" and the buttons into the modes, the options, the about page
// and hiding the window.
#pragma once

#include "window/page.h"

namespace quorvane::window {

class MenuPage final : public Page {
 public:
  using Page::Page;

  void CreateControls() override;
  void ForgetControls() override;
  void Enter() override;
  void Layout(int width, int height) override;
  COLORREF Background() const override;
  void Paint(HDC dc, const RECT& client) override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  struct Controls {
    HWND liveMode = nullptr, practiseMode = nullptr, soundCheckMode = nullptr, options = nullptr,
         about = nullptr, hideInterface = nullptr;
  };
  Controls c_;
};

}  // namespace quorvane::window
