// The options page: the live page's two display options, the "Ableton Link" switch, and the web
// remote's addresses with a button that draws new keys for them.
#pragma once

#include "window/page.h"

namespace quorvane::window {

class OptionsPage final : public Page {
 public:
  using Page::Page;

  void CreateControls() override;
  void ForgetControls() override;
  void Enter() override;
  void Layout(int width, int height) override;
  const wchar_t* Heading() const override { return L"OPTIONS"; }
  void Paint(HDC dc, const RECT& client) override;
  bool OnCommand(int id, int code, HWND control) override;
  ControlLook LookOf(HWND control) const override;

  // The check boxes follow the record's options.
  void ShowOptions();

 private:
  struct Controls {
    HWND markerNames = nullptr, timeSignature = nullptr, link = nullptr, exitOptions = nullptr;
    HWND webNewKeys = nullptr;
  };

  void OnOptionClicked(int id);
  void PaintWebRemote(HDC dc, const RECT& client);

  Controls c_;
};

}  // namespace quorvane::window
