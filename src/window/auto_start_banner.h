// The live page's auto-start banner, "AUTO-START SCHEDULED FOR hh:mm    STARTS IN hh:mm:ss", as
// the engine words it. The live page paints it; the setup page empties it whenever the auto-start
// settings change, so that the next tick draws it anew.
#pragma once

#include <string>

#include "window/gdi.h"

namespace quorvane::window {

class AutoStartBanner {
 public:
  // Takes the engine's text; invalidates the banner's strip of `window` when it changed.
  void Update(HWND window, const std::wstring& text);
  void Clear() { text_.clear(); }
  // The schedule on the left, the countdown on the right; nothing while empty.
  void Paint(HDC dc, int width) const;

 private:
  std::wstring text_;
};

}  // namespace quorvane::window
