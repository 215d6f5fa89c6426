// The about page: the picture, the introduction, the scrollable how-to-use text and the donation
// link.
#pragma once

#include "window/page.h"

namespace quorvane::window {

class AboutPage final : public Page {
 public:
  using Page::Page;

  void CreateControls() override;
  void ForgetControls() override;
  void Enter() override;
  void Layout(int width, int height) override;
  void Paint(HDC dc, const RECT& client) override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMouseWheel(int delta) override;

 private:
  void OpenDonationPage();

  HWND backToMenu_ = nullptr;
  HWND donate_ = nullptr;
};

}  // namespace quorvane::window
