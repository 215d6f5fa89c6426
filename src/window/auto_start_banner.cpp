#include "window/auto_start_banner.h"

#include "window/theme.h"

namespace quorvane::window {
namespace {

// The banner strip, invalidated once a second while the countdown runs.
const RECT kBannerStrip{15, 78, 545, 113};

}  // namespace

void AutoStartBanner::Update(HWND window, const std::wstring& text) {
  if (text == text_) return;
  text_ = text;
  InvalidateRect(window, &kBannerStrip, FALSE);
}

void AutoStartBanner::Paint(HDC dc, int width) const {
  if (text_.empty()) return;
  const size_t split = text_.find(L"    ");
  const std::wstring schedule = text_.substr(0, split);
  const std::wstring countdown =
      split == std::wstring::npos ? std::wstring() : text_.substr(split + 4);
  const RECT strip = Rect(15, 79, width - 15, 105);
  {
    OwnedFont font = MakeFont(18, FW_NORMAL);
    DrawTextIn(dc, schedule, strip, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX, colour::kLabelText,
               font.Get());
  }
  OwnedFont font = MakeFont(18, FW_BOLD);
  DrawTextIn(dc, countdown, strip, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX, colour::kCountdown,
             font.Get());
}

}  // namespace quorvane::window
