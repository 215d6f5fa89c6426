// The helpers every page makes and places its controls with, and the list hook.
#include "window/page.h"

#include "host/failure_reports.h"
#include "platform/message_box.h"
#include "ui/pages.h"
#include "window/theme.h"

namespace quorvane::window {
namespace {

constexpr DWORD kDropList = CBS_DROPDOWNLIST | WS_VSCROLL;
// How far a drop-down list opens below its box.
constexpr int kDropHeight = 320;

}  // namespace

COLORREF Page::Background() const {
  return colour::kWindow;
}

HWND ControlMaker::Button(const wchar_t* caption, int id, DWORD style) {
  return frame_.AddControl(L"BUTTON", caption, style, id);
}

HWND ControlMaker::Label(const wchar_t* caption, int id, DWORD style) {
  return frame_.AddControl(L"STATIC", caption, style, id);
}

HWND ControlMaker::DropList(int id, DWORD extra) {
  return frame_.AddControl(L"COMBOBOX", L"", kDropList | extra, id);
}

HWND ControlMaker::List(int id, DWORD style) {
  return frame_.AddControl(L"LISTBOX", L"", style | WS_VSCROLL, id, WS_EX_CLIENTEDGE);
}

HWND ControlMaker::TextField(int id) {
  return frame_.AddControl(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, id, WS_EX_CLIENTEDGE);
}

bool Page::Clicked(int code) {
  return code == BN_CLICKED;
}

void Page::LeaveMode() {
  context_.operations.ExitMode();
}

void Place(HWND control, int x, int y, int width, int height, bool enabled) {
  if (!control) return;
  wchar_t className[16] = {};
  GetClassNameW(control, className, 16);
  if (lstrcmpiW(className, L"COMBOBOX") == 0) height = kDropHeight;
  SetWindowPos(control, nullptr, x, y, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  EnableWindow(control, enabled ? TRUE : FALSE);
}

void SetFont(HWND control, const OwnedFont& font) {
  if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
}

void Enable(HWND control, bool enabled) {
  EnableWindow(control, enabled ? TRUE : FALSE);
}

void Show(HWND control, bool shown) {
  ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
}

void ExplainRefusal(const ui::WindowContext& context, HWND owner, const host::Outcome& outcome,
                    const char* caption) {
  if (outcome.applied || outcome.reason.empty()) return;
  context.messages.Show(
      owner, outcome.reason, caption,
      outcome.failure ? platform::MessageIcon::kError : platform::MessageIcon::kWarning);
}

void SetToggle(HWND toggle, bool on) {
  if (!toggle) return;
  SetWindowLongPtrW(toggle, GWLP_USERDATA, on ? 1 : 0);
  SendMessageW(toggle, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  InvalidateRect(toggle, nullptr, FALSE);
}

bool MeasureListRows(MEASUREITEMSTRUCT& item, int listId, UINT height) {
  if (item.CtlType != ODT_LISTBOX || item.CtlID != static_cast<UINT>(listId)) return false;
  item.itemHeight = height;
  return true;
}

void AddEntry(HWND box, const std::wstring& text, LPARAM data) {
  const LRESULT index = SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (index >= 0) SendMessageW(box, CB_SETITEMDATA, static_cast<WPARAM>(index), data);
}

void ListHook::HookList(HWND list) {
  if (!list) return;
  SetWindowLongPtrW(list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  original_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListHook::Procedure)));
}

LRESULT CALLBACK ListHook::Procedure(HWND list, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept {
  try {
    if (auto* hook = reinterpret_cast<ListHook*>(GetWindowLongPtrW(list, GWLP_USERDATA))) {
      const Answer answer = hook->OnListMessage(list, message, wParam, lParam);
      if (answer.handled) return answer.result;
      return hook->original_ ? CallWindowProcW(hook->original_, list, message, wParam, lParam)
                             : DefWindowProcW(list, message, wParam, lParam);
    }
  } catch (...) {
    // Nothing may unwind into the system's message dispatch; the message counts as handled.
    host::ReportCaughtException("a list of the window");
    return 0;
  }
  return DefWindowProcW(list, message, wParam, lParam);
}

}  // namespace quorvane::window
