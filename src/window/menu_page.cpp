#include "window/menu_page.h"

#include <iterator>

#include "ui/pages.h"
#include "window/control_ids.h"
#include "window/images.h"
#include "window/theme.h"

namespace quorvane::window {

void MenuPage::CreateControls() {
  c_.liveMode = Button(L"LIVE MODE", id::kLiveMode);
  c_.practiseMode = Button(L"PRACTISE MODE", id::kPractiseMode);
  c_.soundCheckMode = Button(L"SOUND-CHECK MODE", id::kSoundCheckMode);
  c_.options = Button(L"OPTIONS", id::kOptions);
  c_.about = Button(L"ABOUT / HOW TO USE", id::kAbout);
  c_.hideInterface = Button(L"HIDE PLUGIN INTERFACE", id::kHideInterface);
  for (HWND control :
       {c_.liveMode, c_.practiseMode, c_.soundCheckMode, c_.options, c_.about, c_.hideInterface}) {
    SetFont(control, frame_.Fonts().normal22);
  }
}

void MenuPage::ForgetControls() {
  c_ = {};
}

void MenuPage::Enter() {
  frame_.LayoutPage();
  frame_.Redraw();
}

void MenuPage::Layout(int w, int /*h*/) {
  const HWND buttons[] = {c_.liveMode, c_.practiseMode, c_.soundCheckMode,
                          c_.options,  c_.about,        c_.hideInterface};
  SetWindowTextW(c_.soundCheckMode, L"SOUND-CHECK MODE");
  for (size_t i = 0; i < std::size(buttons); ++i) {
    Place(buttons[i], 60, 390 + 58 * static_cast<int>(i), w - 120, 50);
  }
}

COLORREF MenuPage::Background() const {
  return colour::kMenuBackground;
}

void MenuPage::Paint(HDC dc, const RECT& client) {
  const int width = client.right;
  DrawImageFit(dc, frame_.MenuImage(), Rect(30, 25, width - 30, 325));
  OwnedFont font = MakeFont(24, FW_BOLD);
  DrawTextIn(dc, L"MENU", Rect(15, 337, width - 15, 370), DT_CENTER | DT_VCENTER | DT_SINGLELINE,
             colour::kBrightText, font.Get());
}

bool MenuPage::OnCommand(int id, int code, HWND /*control*/) {
  switch (id) {
    case id::kLiveMode:
      context_.operations.EnterLiveMode();
      return true;
    case id::kPractiseMode:
      context_.operations.EnterPractiseMode();
      return true;
    case id::kSoundCheckMode:
      if (Clicked(code)) context_.operations.EnterSoundCheckMode();
      return true;
    case id::kOptions:
      ui::ShowOptionsPage(ui_);
      return true;
    case id::kAbout:
      ui::ShowAboutPage(ui_);
      return true;
    case id::kHideInterface:
      frame_.DestroyInterface();
      return true;
    default:
      return false;
  }
}

}  // namespace quorvane::window
