#include "window/gdi.h"

namespace quorvane::window {

OwnedFont MakeFont(int height, int weight, const wchar_t* face, FontQuality quality,
                   bool ansiCharset) {
  return OwnedFont(CreateFontW(
      height, 0, 0, 0, weight, FALSE, FALSE, FALSE,
      static_cast<DWORD>(ansiCharset ? ANSI_CHARSET : DEFAULT_CHARSET), OUT_DEFAULT_PRECIS,
      CLIP_DEFAULT_PRECIS,
      static_cast<DWORD>(quality == FontQuality::kClearType ? CLEARTYPE_QUALITY : DEFAULT_QUALITY),
      static_cast<DWORD>(DEFAULT_PITCH | FF_DONTCARE), face));
}

RECT Rect(int left, int top, int right, int bottom) {
  RECT rect;
  rect.left = left;
  rect.top = top;
  rect.right = right;
  rect.bottom = bottom;
  return rect;
}

void FillRectColour(HDC dc, const RECT& rect, COLORREF colour) {
  OwnedBrush brush(CreateSolidBrush(colour));
  if (brush) FillRect(dc, &rect, brush.Get());
}

void RoundedFrame(HDC dc, const RECT& rect, int corner, COLORREF edge, int width) {
  OwnedPen pen(CreatePen(PS_SOLID, width, edge));
  Selection usePen(dc, pen.Get());
  Selection noFill(dc, GetStockObject(NULL_BRUSH));
  RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, corner, corner);
}

void RoundedFill(HDC dc, const RECT& rect, int corner, COLORREF fill, COLORREF edge) {
  OwnedPen pen(CreatePen(PS_SOLID, 1, edge));
  OwnedBrush brush(CreateSolidBrush(fill));
  Selection usePen(dc, pen.Get());
  Selection useBrush(dc, brush.Get());
  RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, corner, corner);
}

void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF colour, int width) {
  OwnedPen pen(CreatePen(PS_SOLID, width, colour));
  Selection usePen(dc, pen.Get());
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

void DrawTextIn(HDC dc, const std::wstring& text, RECT rect, UINT format, COLORREF colour,
                HFONT font) {
  Selection useFont(dc, font);
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColour = SetTextColor(dc, colour);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
  SetTextColor(dc, oldColour);
  SetBkMode(dc, oldMode);
}

int MeasureWrappedBottom(HDC dc, const std::wstring& text, RECT rect, HFONT font) {
  Selection useFont(dc, font);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
            DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
  return rect.bottom;
}

}  // namespace quorvane::window
