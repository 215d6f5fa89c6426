#include "window/options_page.h"

#include "platform/wide_text.h"
#include "rig/rig_settings.h"
#include "ui/pages.h"
#include "ui/web_access.h"
#include "window/control_ids.h"
#include "window/painters.h"
#include "window/text.h"
#include "window/theme.h"

namespace quorvane::window {
namespace {

// The rows below the live page's options: the Link switch, the two rigs, then the web remote.
constexpr int kLinkRowTop = 195;
constexpr int kRigsTop = 240;
constexpr int kRoleRowTop = kRigsTop + 35;
constexpr int kAddressLabelTop = kRoleRowTop + 42;
constexpr int kAddressRowTop = kAddressLabelTop + 20;
constexpr int kRigStatusTop = kAddressRowTop + 34;
constexpr int kWebRemoteTop = kRigStatusTop + 44;

rig::SettingsFunctions RigSettingsOf(const host::HostApi& host) {
  return {host.GetExtState, host.SetExtState};
}

// What this rig does now, and whether the choice above waits for the host's next start.
std::wstring RigStatusText(const ui::RigStatus& rig, rig::Role chosen) {
  std::wstring text;
  if (rig.role == "main") {
    text = rig.connected ? L"Main rig: a backup follows it." : L"Main rig: no backup connected.";
  } else if (rig.role == "backup") {
    if (rig.onBackupRig) {
      text = L"ON BACKUP RIG: this rig plays the show.";
    } else if (!rig.problem.empty()) {
      text = L"Backup rig: " + ToWide(rig.problem);
    } else {
      text = rig.connected ? L"Backup rig: following the main."
                           : L"Backup rig: the main rig is not reachable.";
    }
  } else {
    text = L"One rig plays the show.";
  }
  if (rig::RoleName(chosen) != rig.role)
    text += L" The new role applies when the host starts again.";
  return text;
}

}  // namespace

void OptionsPage::CreateControls() {
  c_.markerNames = Button(L"Show marker names along with song names in LIVE MODE",
                          id::kOptionMarkerNames, BS_AUTOCHECKBOX | WS_TABSTOP);
  c_.timeSignature = Button(L"Show Time Signature and BPM", id::kOptionTimeSignature,
                            BS_AUTOCHECKBOX | WS_TABSTOP);
  c_.link = Button(L"Ableton Link: the show's beat for the room", id::kOptionLink,
                   BS_AUTOCHECKBOX | WS_TABSTOP);
  c_.rigSingle = Button(L"Single", id::kOptionRigSingle, BS_CHECKBOX | WS_TABSTOP);
  c_.rigMain = Button(L"Main", id::kOptionRigMain, BS_CHECKBOX | WS_TABSTOP);
  c_.rigBackup = Button(L"Backup", id::kOptionRigBackup, BS_CHECKBOX | WS_TABSTOP);
  c_.rigMainAddress = TextField(id::kOptionRigMainAddress);
  c_.exitOptions = Button(L"EXIT OPTIONS", id::kExitOptions);
  c_.webNewKeys = Button(L"NEW WEB REMOTE KEYS", id::kWebNewKeys);
  SubclassOptionCheckBox(c_.markerNames);
  SubclassOptionCheckBox(c_.timeSignature);
  SubclassOptionCheckBox(c_.link);
  SetFont(c_.markerNames, frame_.Fonts().optionBoxes);
  SetFont(c_.timeSignature, frame_.Fonts().optionBoxes);
  SetFont(c_.link, frame_.Fonts().optionBoxes);
  for (HWND role : {c_.rigSingle, c_.rigMain, c_.rigBackup}) {
    SubclassOptionCheckBox(role);
    SetFont(role, frame_.Fonts().optionBoxes);
  }
  SetFont(c_.rigMainAddress, frame_.Fonts().normal18);
}

void OptionsPage::ForgetControls() {
  c_ = {};
}

void OptionsPage::Enter() {
  ShowOptions();
  frame_.LayoutPage();
  frame_.Redraw();
}

void OptionsPage::Layout(int w, int h) {
  Place(c_.markerNames, 43, 105, w - 75, 36);
  Place(c_.timeSignature, 43, 150, w - 75, 36);
  Place(c_.link, 43, kLinkRowTop, w - 75, 36);
  Place(c_.rigSingle, 43, kRoleRowTop, 120, 36);
  Place(c_.rigMain, 173, kRoleRowTop, 110, 36);
  Place(c_.rigBackup, 293, kRoleRowTop, 130, 36);
  // Only a backup dials a main.
  const bool backup = SendMessageW(c_.rigBackup, BM_GETCHECK, 0, 0) == BST_CHECKED;
  Place(c_.rigMainAddress, 43, kAddressRowTop, w - 86, 28, backup);
  Place(c_.exitOptions, 15, h - 48, w - 30, 38);
  if (context_.web) Place(c_.webNewKeys, 43, h - 96, w - 86, 38);
}

void OptionsPage::Paint(HDC dc, const RECT& client) {
  OwnedFont font = MakeFont(17, FW_BOLD);
  DrawTextIn(dc, L"LIVE MODE", Rect(30, 58, client.right - 30, 90),
             DT_LEFT | DT_VCENTER | DT_SINGLELINE, colour::kBrightText, font.Get());
  PaintRigStatus(dc, client);
  if (context_.web) PaintWebRemote(dc, client);
}

void OptionsPage::PaintRigStatus(HDC dc, const RECT& client) {
  const int width = client.right;
  OwnedFont heading = MakeFont(17, FW_BOLD);
  DrawTextIn(dc, L"TWO RIGS", Rect(30, kRigsTop, width - 30, kRigsTop + 32),
             DT_LEFT | DT_VCENTER | DT_SINGLELINE, colour::kBrightText, heading.Get());
  OwnedFont label = MakeFont(13, FW_NORMAL, L"Segoe UI", FontQuality::kClearType);
  DrawTextIn(dc, L"The main's control address (a backup dials it):",
             Rect(43, kAddressLabelTop, width - 30, kAddressLabelTop + 20),
             DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS, colour::kAboutText,
             label.Get());
  const rig::Role chosen = rig::RigSettings::Read(RigSettingsOf(context_.host)).role;
  DrawTextIn(dc, RigStatusText(ui_.rig, chosen).c_str(),
             Rect(43, kRigStatusTop, width - 30, kRigStatusTop + 36),
             DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS,
             ui_.rig.onBackupRig ? colour::kBrightText : colour::kAboutText, label.Get());
}

void OptionsPage::PaintWebRemote(HDC dc, const RECT& client) {
  const int width = client.right;
  OwnedFont heading = MakeFont(17, FW_BOLD);
  DrawTextIn(dc, L"WEB REMOTE", Rect(30, kWebRemoteTop, width - 30, kWebRemoteTop + 32),
             DT_LEFT | DT_VCENTER | DT_SINGLELINE, colour::kBrightText, heading.Get());
  // Large enough to read off the screen and type into a phone.
  OwnedFont label = MakeFont(13, FW_NORMAL, L"Segoe UI", FontQuality::kClearType);
  OwnedFont address = MakeFont(20, FW_BOLD, L"Consolas", FontQuality::kClearType);
  const UINT oneLine = DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
  int y = kWebRemoteTop + 35;
  const auto list = [&](const wchar_t* caption, const std::vector<std::string>& addresses) {
    DrawTextIn(dc, caption, Rect(43, y, width - 30, y + 20), oneLine, colour::kAboutText,
               label.Get());
    y += 20;
    for (size_t i = 0; i < addresses.size() && i < 3; ++i) {
      DrawTextIn(dc, ToWide(addresses[i]).c_str(), Rect(43, y, width - 30, y + 28), oneLine,
                 colour::kBrightText, address.Get());
      y += 28;
    }
    y += 8;
  };
  const std::vector<std::string> control = context_.web->ControlAddresses();
  if (control.empty()) {
    DrawTextIn(dc, L"Not running (its port could not be opened).", Rect(43, y, width - 30, y + 20),
               oneLine, colour::kAboutText, label.Get());
    return;
  }
  list(L"Control (everything this window can do):", control);
  list(L"View only (every command refused):", context_.web->ViewAddresses());
}

bool OptionsPage::OnCommand(int id, int code, HWND /*control*/) {
  switch (id) {
    case id::kExitOptions:
      ui::ShowModeSelectPage(ui_);
      return true;
    case id::kOptionMarkerNames:
    case id::kOptionTimeSignature:
      if (Clicked(code)) OnOptionClicked(id);
      return true;
    case id::kOptionLink:
      // Kept with the host's settings; the core joins or leaves the session on its next tick.
      if (Clicked(code)) {
        context_.operations.SetLinkOption(SendMessageW(c_.link, BM_GETCHECK, 0, 0) == BST_CHECKED);
        InvalidateRect(c_.link, nullptr, TRUE);
      }
      return true;
    case id::kOptionRigSingle:
    case id::kOptionRigMain:
    case id::kOptionRigBackup:
      if (Clicked(code)) OnRoleClicked(id);
      return true;
    case id::kOptionRigMainAddress:
      if (code == EN_CHANGE && !fillingAddress_) OnMainAddressChanged();
      return true;
    case id::kWebNewKeys:
      if (Clicked(code) && context_.web) {
        context_.web->DrawNewKeys();
        frame_.InvalidateAll(true);
      }
      return true;
    default:
      return false;
  }
}

ControlLook OptionsPage::LookOf(HWND control) const {
  const bool box = control == c_.markerNames || control == c_.timeSignature || control == c_.link ||
                   control == c_.rigSingle || control == c_.rigMain || control == c_.rigBackup;
  return box ? ControlLook::kHollow : ControlLook::kStandard;
}

void OptionsPage::ShowOptions() {
  if (!Window()) return;
  SendMessageW(c_.markerNames, BM_SETCHECK, ui_.showMarkerNames ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageW(c_.timeSignature, BM_SETCHECK,
               ui_.showTimeSignatureAndBpm ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageW(c_.link, BM_SETCHECK, ui_.link.option ? BST_CHECKED : BST_UNCHECKED, 0);
  ShowRigSettings();
}

void OptionsPage::ShowRigSettings() {
  const rig::RigSettings settings = rig::RigSettings::Read(RigSettingsOf(context_.host));
  const auto check = [](HWND box, bool on) {
    SendMessageW(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  };
  check(c_.rigSingle, settings.role == rig::Role::kSingle);
  check(c_.rigMain, settings.role == rig::Role::kMain);
  check(c_.rigBackup, settings.role == rig::Role::kBackup);
  fillingAddress_ = true;
  SetTextIfChanged(c_.rigMainAddress, ToWide(settings.mainAddress));
  fillingAddress_ = false;
}

void OptionsPage::OnRoleClicked(int id) {
  // Kept with the host's settings; the rig takes its part when the host starts again.
  rig::RigSettings settings = rig::RigSettings::Read(RigSettingsOf(context_.host));
  settings.role = id == id::kOptionRigMain     ? rig::Role::kMain
                  : id == id::kOptionRigBackup ? rig::Role::kBackup
                                               : rig::Role::kSingle;
  settings.Write(RigSettingsOf(context_.host));
  ShowRigSettings();
  frame_.LayoutPage();
  frame_.InvalidateAll(true);
}

void OptionsPage::OnMainAddressChanged() {
  rig::RigSettings settings = rig::RigSettings::Read(RigSettingsOf(context_.host));
  settings.mainAddress = platform::WideToUtf8(WindowText(c_.rigMainAddress));
  settings.Write(RigSettingsOf(context_.host));
}

void OptionsPage::OnOptionClicked(int id) {
  HWND box = id == id::kOptionMarkerNames ? c_.markerNames : c_.timeSignature;
  const bool checked = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (id == id::kOptionMarkerNames) {
    ui_.showMarkerNames = checked;
  } else {
    ui_.showTimeSignatureAndBpm = checked;
  }
  // The live page reads the options as it paints, when it is next shown.
  InvalidateRect(box, nullptr, TRUE);
  frame_.InvalidateAll(true);
}

}  // namespace quorvane::window
