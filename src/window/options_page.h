// The options page: the live page's two display options, the "Ableton Link" switch, the rig's part
// in a two-rig show (single, main or backup, and the main's address a backup dials), and the web
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
    HWND rigSingle = nullptr, rigMain = nullptr, rigBackup = nullptr, rigMainAddress = nullptr;
  };

  void OnOptionClicked(int id);
  void PaintWebRemote(HDC dc, const RECT& client);
  void PaintRigStatus(HDC dc, const RECT& client);
  // The role boxes and the address follow the host's settings (the role the next start takes).
  void ShowRigSettings();
  void OnRoleClicked(int id);
  void OnMainAddressChanged();

  Controls c_;
  bool fillingAddress_ = false;  // the page sets the address: not the user's edit
};

}  // namespace quorvane::window
