// The painters of the custom-drawn controls: owner-drawn buttons, the rows of the three lists with
// their cells, and the two option check boxes. Each works on the context the system hands over
// and leaves it as it found it.
#pragma once

#include <cstdint>
#include <string>

#include "practise/track_row.h"
#include "window/gdi.h"

namespace quorvane::window {

// The height of a row of the live list and of the setup page's setlist list.
inline constexpr UINT kSongRowHeight = 48;

// One row of the live list.
struct LiveRow {
  uint64_t songNumber = 0;  // 1-based over the songs; 0 for a pause
  bool isPause = false;
  bool autoStart = false;
  bool played = false;
  std::wstring name;
  std::wstring durationText;  // empty for a pause
};

// One row of the setup page's setlist list.
struct SetupListRow {
  uint64_t number = 0;  // a song's number among the songs; for a pause, the songs before it
  int32_t regionId = -1;
  bool isPause = false;
  bool autoStart = false;
  bool autoStartAvailable = false;  // a song that is first or follows a song
  std::wstring name;
  std::wstring durationText;
};

// The setlist row's cells: the auto-start cell (when offered), up, down and remove, each 34
// pixels wide on a 38-pixel pitch, ending 7 pixels before the row's right edge.
inline constexpr int kGlyphCellWidth = 34;
inline constexpr int kGlyphCellPitch = 38;
int SetlistGlyphAreaWidth(bool autoStartAvailable);
// Left edge of the first cell in a row whose right edge is `right`.
int SetlistCellsLeft(int right, bool autoStartAvailable);

// The track row's M and S cells, relative to K = the row's right edge - 8.
struct TrackCells {
  RECT mute;
  RECT solo;
};
TrackCells TrackCellRects(const RECT& row);

// `pressed`, `disabled` and `on` come from the control; `caption` is the button's text.
struct ButtonFace {
  int id = 0;
  bool pressed = false;
  bool disabled = false;
  bool on = false;
  std::wstring caption;
};
// The fill, edge and text colours the button painter uses for a face.
struct ButtonLook {
  COLORREF fill;
  COLORREF edge;
  COLORREF text;
  bool rounded;  // the background outside the rounded edge shows the window colour
};
ButtonLook LookOfButton(const ButtonFace& face);

void PaintOwnerButton(const DRAWITEMSTRUCT& item);
void PaintLiveRow(const DRAWITEMSTRUCT& item, const LiveRow* row, HFONT font);
void PaintSetlistRow(const DRAWITEMSTRUCT& item, const SetupListRow* row, HFONT font);
void PaintTrackRow(const DRAWITEMSTRUCT& item, const practise::BackingTrackRow* row, HFONT font);
void PaintGlyphCell(HDC dc, const RECT& cell, const wchar_t* glyph, bool danger);
void PaintTrackCell(HDC dc, const RECT& cell, bool on, COLORREF onFill, COLORREF onEdge,
                    const wchar_t* letter);

// Installed on the two option check boxes; the previous procedure is kept in the control's user
// value.
LRESULT CALLBACK OptionCheckBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
void SubclassOptionCheckBox(HWND box);

}  // namespace quorvane::window
