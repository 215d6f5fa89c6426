#include "window/options_page.h"

#include "ui/pages.h"
#include "ui/web_access.h"
#include "window/control_ids.h"
#include "window/painters.h"
#include "window/text.h"
#include "window/theme.h"

namespace quorvane::window {
namespace {

// The rows below the live page's options: the Link switch, then the web remote.
constexpr int kLinkRowTop = 195;
constexpr int kWebRemoteTop = 250;

}  // namespace

void OptionsPage::CreateControls() {
  c_.markerNames = Button(L"Show marker names along with song names in LIVE MODE",
                          id::kOptionMarkerNames, BS_AUTOCHECKBOX | WS_TABSTOP);
  c_.timeSignature = Button(L"Show Time Signature and BPM", id::kOptionTimeSignature,
                            BS_AUTOCHECKBOX | WS_TABSTOP);
  c_.link = Button(L"Ableton Link: the song's tempo and bars for the room", id::kOptionLink,
                   BS_AUTOCHECKBOX | WS_TABSTOP);
  c_.exitOptions = Button(L"EXIT OPTIONS", id::kExitOptions);
  c_.webNewKeys = Button(L"NEW WEB REMOTE KEYS", id::kWebNewKeys);
  SubclassOptionCheckBox(c_.markerNames);
  SubclassOptionCheckBox(c_.timeSignature);
  SubclassOptionCheckBox(c_.link);
  SetFont(c_.markerNames, frame_.Fonts().optionBoxes);
  SetFont(c_.timeSignature, frame_.Fonts().optionBoxes);
  SetFont(c_.link, frame_.Fonts().optionBoxes);
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
  Place(c_.exitOptions, 15, h - 48, w - 30, 38);
  if (context_.web) Place(c_.webNewKeys, 43, h - 96, w - 86, 38);
}

void OptionsPage::Paint(HDC dc, const RECT& client) {
  OwnedFont font = MakeFont(17, FW_BOLD);
  DrawTextIn(dc, L"LIVE MODE", Rect(30, 58, client.right - 30, 90),
             DT_LEFT | DT_VCENTER | DT_SINGLELINE, colour::kBrightText, font.Get());
  if (context_.web) PaintWebRemote(dc, client);
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
  const bool box = control == c_.markerNames || control == c_.timeSignature || control == c_.link;
  return box ? ControlLook::kHollow : ControlLook::kStandard;
}

void OptionsPage::ShowOptions() {
  if (!Window()) return;
  SendMessageW(c_.markerNames, BM_SETCHECK, ui_.showMarkerNames ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageW(c_.timeSignature, BM_SETCHECK,
               ui_.showTimeSignatureAndBpm ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageW(c_.link, BM_SETCHECK, ui_.link.option ? BST_CHECKED : BST_UNCHECKED, 0);
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
