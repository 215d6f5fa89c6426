#include "window/painters.h"

#include <algorithm>
#include <cwctype>

#include "host/failure_reports.h"
#include "window/control_ids.h"
#include "window/text.h"
#include "window/theme.h"

namespace quorvane::window {
namespace {

constexpr int kCorner = 12;
constexpr int kCellCorner = 8;
constexpr wchar_t kPauseText[] = L"----------------  PAUSE  ----------------";

bool IsToggle(int id) {
  return id == id::kPrecount4 || id == id::kPrecount8 || id == id::kLoop;
}

bool EqualsIgnoringCase(const std::wstring& a, const wchar_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    if (std::towupper(a[i]) != std::towupper(b[i])) return false;
  }
  return i == a.size() && b[i] == L'\0';
}

bool ReadsPlaySelected(const std::wstring& caption) {
  return EqualsIgnoringCase(caption, L"PLAY SELECTED SONG");
}

HFONT FontOf(HWND control) {
  return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
}

std::wstring NumberText(uint64_t number) {
  wchar_t text[32];
  swprintf(text, 32, L"%02llu", static_cast<unsigned long long>(number));
  return text;
}

}  // namespace

int SetlistGlyphAreaWidth(bool autoStartAvailable) {
  return autoStartAvailable ? 148 : 110;
}

int SetlistCellsLeft(int right, bool autoStartAvailable) {
  return right - SetlistGlyphAreaWidth(autoStartAvailable) - 7;
}

TrackCells TrackCellRects(const RECT& row) {
  const int k = row.right - 8;
  return TrackCells{Rect(k - 68, row.top + 4, k - 36, row.bottom - 4),
                    Rect(k - 32, row.top + 4, k, row.bottom - 4)};
}

ButtonLook LookOfButton(const ButtonFace& face) {
  colour::ButtonColours colours = colour::kButton;
  switch (face.id) {
    case id::kStartShow:
    case id::kPlayNext:
    case id::kPractisePlay:
      colours = colour::kGo;
      break;
    case id::kEndShow:
      colours = colour::kEnd;
      break;
    case id::kLiveStop:
    case id::kPractiseStop:
      colours = colour::kStop;
      break;
    case id::kPlaySelected:
      colours = ReadsPlaySelected(face.caption) ? colour::kGo : colour::kReplay;
      break;
    default:
      break;
  }
  ButtonLook look{colours.fill, colours.edge, colour::kWhite, face.id == id::kPlayNext};
  if (face.disabled) {
    look.fill = colour::kDisabled.fill;
    look.edge = colour::kDisabled.edge;
    look.text = colour::kDisabledText;
  }
  if (face.pressed) {
    look.text = colour::kBlack;
    if (face.id == id::kPlayNext) {
      look.fill = colour::kPressedGo.fill;
      look.edge = colour::kPressedGo.edge;
    } else if (face.id == id::kPlaySelected) {
      const colour::ButtonColours pressed =
          ReadsPlaySelected(face.caption) ? colour::kPressedGo : colour::kPressedReplay;
      look.fill = pressed.fill;
      look.edge = pressed.edge;
    } else {
      look.fill = colour::kPressed;
    }
  }
  return look;
}

void PaintOwnerButton(const DRAWITEMSTRUCT& item) {
  ButtonFace face;
  face.id = static_cast<int>(item.CtlID);
  face.pressed = (item.itemState & ODS_SELECTED) != 0;
  face.disabled = (item.itemState & ODS_DISABLED) != 0;
  face.on = IsToggle(face.id) && GetWindowLongPtrW(item.hwndItem, GWLP_USERDATA) != 0;
  face.caption = WindowText(item.hwndItem, 255);
  const ButtonLook look = LookOfButton(face);

  HDC dc = item.hDC;
  const RECT& r = item.rcItem;
  if (look.rounded) {
    FillRectColour(dc, r, colour::kWindow);
    RoundedFill(dc, r, kCorner, look.fill, look.fill);
  } else {
    FillRectColour(dc, r, look.fill);
  }
  RoundedFrame(dc, r, kCorner, look.edge);
  if (face.on) {
    RoundedFrame(dc, Rect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1), kCorner,
                 colour::kToggleRing, 3);
  }
  RECT text = r;
  if (face.pressed) OffsetRect(&text, 0, 1);
  DrawTextIn(dc, face.caption, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, look.text,
             FontOf(item.hwndItem));
}

void PaintGlyphCell(HDC dc, const RECT& cell, const wchar_t* glyph, bool danger) {
  const colour::ButtonColours colours = danger ? colour::kEnd : colour::kButton;
  FillRectColour(dc, cell, colours.fill);
  RoundedFrame(dc, cell, kCellCorner, colours.edge);
  DrawTextIn(dc, glyph, cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
             danger ? colour::kDangerText : colour::kGlyphText);
}

void PaintTrackCell(HDC dc, const RECT& cell, bool on, COLORREF onFill, COLORREF onEdge,
                    const wchar_t* letter) {
  FillRectColour(dc, cell, on ? onFill : colour::kButton.fill);
  RoundedFrame(dc, cell, kCellCorner, on ? onEdge : colour::kButton.edge);
  DrawTextIn(dc, letter, cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE, colour::kWhite);
}

void PaintLiveRow(const DRAWITEMSTRUCT& item, const LiveRow* row, HFONT font) {
  HDC dc = item.hDC;
  const RECT& r = item.rcItem;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  const bool played = row && row->played && !row->isPause;

  FillRectColour(dc, r, selected ? colour::kLiveSelection : colour::kList);
  if (selected) FillRectColour(dc, Rect(r.left, r.top, r.left + 5, r.bottom), colour::kAccent);
  if (!row) return;
  Selection useFont(dc, font);

  if (row->isPause) {
    DrawTextIn(dc, kPauseText, Rect(r.left + 8, r.top, r.right - 8, r.bottom),
               DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX,
               selected ? colour::kAccent : colour::kRowNumber);
    return;
  }
  const COLORREF text =
      selected ? colour::kAccent : (played ? colour::kRowNumberPlayed : colour::kRowNumber);
  DrawTextIn(dc, NumberText(row->songNumber), Rect(r.left + 8, r.top, r.left + 48, r.bottom),
             DT_LEFT | DT_VCENTER | DT_SINGLELINE, text);
  const std::wstring name = row->autoStart ? L"\u21B3 " + row->name : row->name;
  DrawTextIn(dc, name, Rect(r.left + 56, r.top, r.right - 82, r.bottom),
             DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX, text);
  DrawTextIn(dc, row->durationText, Rect(r.right - 74, r.top, r.right - 10, r.bottom),
             DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX,
             played ? colour::kDurationPlayed : colour::kDuration);
  if (played) {
    const int middle = (r.top + r.bottom) / 2;
    Line(dc, r.left + 7, middle, r.right - 7, middle, colour::kStrike, 2);
  }
}

void PaintSetlistRow(const DRAWITEMSTRUCT& item, const SetupListRow* row, HFONT font) {
  HDC dc = item.hDC;
  const RECT& r = item.rcItem;
  FillRectColour(dc, r, colour::kList);
  if (item.itemState & ODS_SELECTED) FillRectColour(dc, r, colour::kSetlistSelection);
  if (row) {
    Selection useFont(dc, font);
    const bool offersAutoStart = !row->isPause && row->autoStartAvailable;
    const int g = SetlistGlyphAreaWidth(offersAutoStart);
    if (row->isPause) {
      DrawTextIn(dc, kPauseText, Rect(r.left + 12, r.top, r.right - g - 8, r.bottom),
                 DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, colour::kBrightText);
    } else {
      DrawTextIn(dc, NumberText(row->number), Rect(r.left + 7, r.top, r.left + 45, r.bottom),
                 DT_CENTER | DT_VCENTER | DT_SINGLELINE, colour::kStrike);
      DrawTextIn(dc, row->name, Rect(r.left + 45, r.top, r.right - g - 93, r.bottom),
                 DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX,
                 colour::kBrightText);
      DrawTextIn(dc, row->durationText, Rect(r.right - g - 89, r.top, r.right - g - 7, r.bottom),
                 DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, colour::kDuration);
    }
    int x0 = SetlistCellsLeft(r.right, offersAutoStart);
    const auto cell = [&](int x) { return Rect(x, r.top + 8, x + kGlyphCellWidth, r.bottom - 8); };
    if (offersAutoStart) {
      const RECT a = cell(x0);
      PaintGlyphCell(dc, a, L"A", false);
      if (row->autoStart) {
        FillRectColour(dc, a, colour::kGlyphOn);
        DrawTextIn(dc, L"A", a, DT_CENTER | DT_VCENTER | DT_SINGLELINE, colour::kAccent);
      }
      x0 += kGlyphCellPitch;
    }
    PaintGlyphCell(dc, cell(x0), L"\u2191", false);
    PaintGlyphCell(dc, cell(x0 + kGlyphCellPitch), L"\u2193", false);
    PaintGlyphCell(dc, cell(x0 + 2 * kGlyphCellPitch), L"\u00D7", true);
  }
  Line(dc, r.left, r.bottom - 1, r.right, r.bottom - 1, colour::kSeparator);
}

void PaintTrackRow(const DRAWITEMSTRUCT& item, const practise::BackingTrackRow* row, HFONT font) {
  if (!row) return;
  HDC dc = item.hDC;
  const RECT& r = item.rcItem;
  FillRectColour(dc, r, colour::kList);
  Selection useFont(dc, font);
  const int indent = 22 * std::max(row->indentLevel, 0);
  DrawTextIn(dc, ToWide(row->name), Rect(r.left + 8 + indent, r.top, r.right - 8 - 80, r.bottom),
             DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX,
             item.itemID == 0 ? colour::kWhite : colour::kTrackText);
  const TrackCells cells = TrackCellRects(r);
  PaintTrackCell(dc, cells.mute, row->muted, colour::kMuteOn.fill, colour::kMuteOn.edge, L"M");
  PaintTrackCell(dc, cells.solo, row->soloed, colour::kSoloOn.fill, colour::kSoloOn.edge, L"S");
  Line(dc, r.left, r.bottom - 1, r.right, r.bottom - 1, colour::kSeparator);
}

void SubclassOptionCheckBox(HWND box) {
  const LONG_PTR previous =
      SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OptionCheckBoxProc));
  SetWindowLongPtrW(box, GWLP_USERDATA, previous);
}

namespace {

void PaintOptionCheckBox(HWND box, HDC dc) {
  RECT client;
  GetClientRect(box, &client);
  FillRectColour(dc, client, colour::kWindow);
  const int top = std::max(static_cast<int>(client.bottom - 18) / 2, 0);
  const RECT square = Rect(2, top, 20, top + 18);
  FillRectColour(dc, square, colour::kWindow);
  {
    OwnedPen pen(CreatePen(PS_SOLID, 1, colour::kCheckFrame));
    Selection usePen(dc, pen.Get());
    Selection noFill(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, square.left, square.top, square.right, square.bottom);
  }
  if (SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED) {
    OwnedPen pen(CreatePen(PS_SOLID, 2, colour::kCheck));
    Selection usePen(dc, pen.Get());
    MoveToEx(dc, square.left + 4, square.top + 9, nullptr);
    LineTo(dc, square.left + 8, square.top + 13);
    LineTo(dc, square.left + 15, square.top + 5);
  }
  DrawTextIn(dc, WindowText(box, 511), Rect(30, 0, client.right, client.bottom),
             DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, colour::kCheck, FontOf(box));
}

}  // namespace

LRESULT CALLBACK OptionCheckBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    const auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(box, GWLP_USERDATA));
    switch (message) {
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(box, &paint);
        if (dc) PaintOptionCheckBox(box, dc);
        EndPaint(box, &paint);
        return 0;
      }
      case WM_PRINTCLIENT:
        PaintOptionCheckBox(box, reinterpret_cast<HDC>(wParam));
        return 0;
      case WM_ERASEBKGND:
        return 1;
      case WM_NCDESTROY: {
        const LRESULT result = previous ? CallWindowProcW(previous, box, message, wParam, lParam)
                                        : DefWindowProcW(box, message, wParam, lParam);
        SetWindowLongPtrW(box, GWLP_USERDATA, 0);
        return result;
      }
      default:
        break;
    }
    // The button's own painting of a state change is painted over at once.
    LRESULT result = previous ? CallWindowProcW(previous, box, message, wParam, lParam)
                              : DefWindowProcW(box, message, wParam, lParam);
    if (message == BM_SETCHECK || message == BM_SETSTATE || message == WM_SETFOCUS ||
        message == WM_KILLFOCUS || message == WM_LBUTTONUP || message == WM_ENABLE) {
      InvalidateRect(box, nullptr, FALSE);
    }
    return result;
  } catch (...) {
    // Nothing may unwind into the system's message dispatch; the message counts as handled.
    host::ReportCaughtException("a check box of the window");
    return 0;
  }
}

}  // namespace quorvane::window
