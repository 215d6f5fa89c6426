// What a page of the window is: the interface the main window routes its messages through, the
// services the main window lends every page (its handle, the shared fonts and pictures, making
// a control, re-laying and redrawing) and the few helpers every page places controls with.
//
// A page owns its controls' handles. They are made when the window is created and forgotten when
// it is destroyed; the page object itself, and what it remembers, lives as long as the main
// window object, so that a re-opened window shows the same page as before.
#pragma once

#include <string>
#include <vector>

#include "host/outcome.h"
#include "operations/user_operations.h"
#include "ui/plugin_ui.h"
#include "ui/window_host.h"
#include "window/gdi.h"

namespace Gdiplus {
class GpImage;
}

namespace quorvane::window {

// The fonts the controls are set in; made once and kept while the window comes and goes.
struct SharedFonts {
  OwnedFont optionBoxes;  // 22 normal, ANSI character set, default quality
  OwnedFont bold22;
  OwnedFont normal22;
  OwnedFont normal20;
  OwnedFont normal18;
};

// How the frame colours a control's background when the control asks.
enum class ControlLook {
  kStandard,       // labels on the panel colour, lists and edits in the list colours
  kHollow,         // no background and the control's own text colours
  kPaintedLabel,   // a label in the label colour on the page's own painting
  kCheckOnWindow,  // a check box on the window colour
};

// The practise transport's state as the practise and sound-check pages show it.
struct PractiseStatus {
  bool active = false;
  bool countingIn = false;
  bool playing = false;
  double position = 0.0;
};

// What the main window lends its pages.
class PageFrame {
 public:
  virtual HWND Handle() const = 0;
  virtual const SharedFonts& Fonts() const = 0;
  virtual Gdiplus::GpImage* MenuImage() const = 0;
  virtual Gdiplus::GpImage* AboutImage() const = 0;
  // A hidden child control of the window, hidden again with every re-layout.
  virtual HWND AddControl(const wchar_t* className, const wchar_t* caption, DWORD style, int id,
                          DWORD exStyle = 0) = 0;
  // Hides every control and lays out the current page.
  virtual void LayoutPage() = 0;
  virtual void Redraw() = 0;
  virtual void InvalidateAll(bool erase) = 0;
  // Destroys the window and its pictures; the pages keep what they remember.
  virtual void DestroyInterface() = 0;

 protected:
  ~PageFrame() = default;
};

// Makes the window's controls, each hidden until a layout places it.
class ControlMaker {
 public:
  explicit ControlMaker(PageFrame& frame) : frame_(frame) {}
  HWND Button(const wchar_t* caption, int id, DWORD style = BS_OWNERDRAW);
  HWND Label(const wchar_t* caption, int id, DWORD style = 0);
  HWND DropList(int id, DWORD extra = 0);
  HWND List(int id, DWORD style);
  HWND TextField(int id);

 private:
  PageFrame& frame_;
};

class Page {
 public:
  Page(PageFrame& frame, const ui::WindowContext& context)
      : frame_(frame), context_(context), ui_(context.ui) {}
  virtual ~Page() = default;
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;

  // --- The window's lifetime ---
  // Makes the page's controls (through the frame) and sets their fonts and fixed entries.
  virtual void CreateControls() = 0;
  // The window and its controls are gone.
  virtual void ForgetControls() = 0;

  // --- Being the current page ---
  // The page became current (the record already says so): fill, lay out and redraw it.
  virtual void Enter() = 0;
  // Places the page's controls in a client area of `width` x `height`; all are hidden before.
  virtual void Layout(int width, int height) = 0;
  // The heading painted at the top of the page, if any, and the page's background.
  virtual const wchar_t* Heading() const { return nullptr; }
  virtual COLORREF Background() const;
  virtual void Paint(HDC /*dc*/, const RECT& /*client*/) {}
  // A control's command or notification; false when it is not this page's.
  virtual bool OnCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
  virtual bool OnMouseWheel(int /*delta*/) { return false; }
  // The per-tick refresh; `relaid` when the frame has just re-laid the page for the tick.
  virtual void Sync(bool /*relaid*/) {}
  virtual void ShowPractiseStatus(const PractiseStatus& /*status*/) {}

  // --- Asked of every page, as the control's owner answers ---
  virtual bool MeasureItem(MEASUREITEMSTRUCT& /*item*/) { return false; }
  virtual bool DrawItem(const DRAWITEMSTRUCT& /*item*/) { return false; }
  virtual ControlLook LookOf(HWND /*control*/) const { return ControlLook::kStandard; }

 protected:
  HWND Window() const { return frame_.Handle(); }
  HWND Button(const wchar_t* caption, int id, DWORD style = BS_OWNERDRAW) {
    return ControlMaker(frame_).Button(caption, id, style);
  }
  HWND Label(const wchar_t* caption, int id, DWORD style = 0) {
    return ControlMaker(frame_).Label(caption, id, style);
  }
  HWND DropList(int id, DWORD extra = 0) { return ControlMaker(frame_).DropList(id, extra); }
  HWND List(int id, DWORD style) { return ControlMaker(frame_).List(id, style); }
  HWND TextField(int id) { return ControlMaker(frame_).TextField(id); }
  // Whether a button's notification is its click.
  static bool Clicked(int code);
  // Leaves the live or practise mode for the main page.
  void LeaveMode();

  PageFrame& frame_;
  ui::WindowContext context_;
  ui::PluginUI& ui_;
};

// Shows and enables `control` at the given place. A drop-down box's window height is how far its
// list opens; its closed height is set apart.
void Place(HWND control, int x, int y, int width, int height, bool enabled = true);
void SetFont(HWND control, const OwnedFont& font);
void Enable(HWND control, bool enabled);
void Show(HWND control, bool shown);
// Explains a refused operation in a message box owned by `owner`: a warning, or an error when
// something failed. An operation applied, or refused with nothing to tell, shows nothing.
void ExplainRefusal(const ui::WindowContext& context, HWND owner, const host::Outcome& outcome,
                    const char* caption);
// An owner-drawn toggle button's state, kept where its painter reads it.
void SetToggle(HWND toggle, bool on);
// Answers a list's WM_MEASUREITEM with `height` when it comes from the list with `listId`.
bool MeasureListRows(MEASUREITEMSTRUCT& item, int listId, UINT height);
// The record of the row a list asks to have drawn, null past the records' end.
template <typename Row>
const Row* RowToDraw(const std::vector<Row>& rows, const DRAWITEMSTRUCT& item) {
  return item.itemID < rows.size() ? &rows[item.itemID] : nullptr;
}
// Adds an entry carrying `data` to a drop-down box.
void AddEntry(HWND box, const std::wstring& text, LPARAM data);

// A list whose messages a page sees first. The page answers with `handled` set, else the list's
// own procedure runs.
class ListHook {
 public:
  struct Answer {
    bool handled = false;
    LRESULT result = 0;
  };
  virtual Answer OnListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) = 0;

  // Routes `list`'s messages through this hook from now on, until the list is destroyed.
  void HookList(HWND list);

 protected:
  ~ListHook() = default;

 private:
  static LRESULT CALLBACK Procedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  WNDPROC original_ = nullptr;
};

}  // namespace quorvane::window
