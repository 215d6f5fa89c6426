// Small owners for GDI objects and the text and shape calls every painter of the window uses.
// Whatever a painter creates is deleted when its owner goes out of scope, after the selection
// that used it has been undone.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <utility>

namespace quorvane::window {

constexpr COLORREF Rgb(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// A GDI object deleted with DeleteObject.
template <typename Handle>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(Handle handle) : handle_(handle) {}
  ~GdiObject() { Reset(); }
  GdiObject(GdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  GdiObject& operator=(GdiObject&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset() {
    if (handle_) DeleteObject(handle_);
    handle_ = nullptr;
  }

 private:
  Handle handle_ = nullptr;
};

using OwnedFont = GdiObject<HFONT>;
using OwnedBrush = GdiObject<HBRUSH>;
using OwnedPen = GdiObject<HPEN>;

// Selects an object into a context and selects the previous one back when it ends.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
  ~Selection() {
    if (previous_) SelectObject(dc_, previous_);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

enum class FontQuality { kDefault, kClearType };

// "Segoe UI" (or another face) at a character-cell height in pixels.
OwnedFont MakeFont(int height, int weight, const wchar_t* face = L"Segoe UI",
                   FontQuality quality = FontQuality::kClearType, bool ansiCharset = false);

RECT Rect(int left, int top, int right, int bottom);

void FillRectColour(HDC dc, const RECT& rect, COLORREF colour);
// A rounded rectangle with a 1-pixel (or `width`) edge; `fill` < 0 leaves the inside alone.
void RoundedFrame(HDC dc, const RECT& rect, int corner, COLORREF edge, int width = 1);
void RoundedFill(HDC dc, const RECT& rect, int corner, COLORREF fill, COLORREF edge);
void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF colour, int width = 1);

// Draws text with a transparent background in `colour`, in the font given (or the one selected).
void DrawTextIn(HDC dc, const std::wstring& text, RECT rect, UINT format, COLORREF colour,
                HFONT font = nullptr);
// The bottom of `text` word-wrapped into the rectangle's width (a calculate-only draw).
int MeasureWrappedBottom(HDC dc, const std::wstring& text, RECT rect, HFONT font);

}  // namespace quorvane::window
