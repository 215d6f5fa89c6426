#include "window/window_stage.h"

#include "support/stored_setlist.h"

namespace quorvane::window_tests {
namespace {

constexpr wchar_t kClassName[] = L"QuorvaneWindow";

struct Search {
  const wchar_t* className;
  const std::wstring* text;
  HWND found;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  wchar_t className[32] = {};
  GetClassNameW(child, className, 32);
  wchar_t text[256] = {};
  GetWindowTextW(child, text, 256);
  if (lstrcmpiW(className, search->className) == 0 && *search->text == text) {
    search->found = child;
    return FALSE;
  }
  return TRUE;
}

bool IsComboBox(HWND control) {
  wchar_t className[32] = {};
  GetClassNameW(control, className, 32);
  return lstrcmpiW(className, L"COMBOBOX") == 0;
}

}  // namespace

void BuildBandProject(sim::Host& host) {
  host.AddRegion(1, "Opener", 0.0, 60.0);
  host.AddMarker(1, "Intro", 0.0);
  host.AddMarker(2, "Verse", 32.0);
  host.AddRegion(2, "Second", 60.0, 120.0);
  host.AddMarker(3, "Chorus", 90.0);
  host.AddRegion(3, "Third", 120.0, 180.0);
  host.AddRegion(4, "Closer", 180.0, 240.0);
  host.AddRegion(5, "Encore", 240.0, 300.0);
  host.AddRegion(99, "Soundcheck Loop", 300.0, 330.0);
  host.AddTrack("Click", 1);
  host.AddTrack("Backing");
  host.AddTrack("Keys", -1);
  host.AddTrack("Vocals");
  host.SetConfigVar("smoothseek", 0);
}

WindowStage::WindowStage(bool withSetlist) {
  BuildBandProject(host);
  if (withSetlist) {
    quorvane::testing::StoreSetlist(host, {{1}, {2, true}, quorvane::testing::Pause(), {3}, {4}});
  }
  loaded = ReaperPluginEntry(nullptr, host.Info()) == 1;
  Run(100);
}

WindowStage::~WindowStage() {
  ReaperPluginEntry(nullptr, nullptr);
  Pump();
}

HWND WindowStage::ShowHide() {
  host.RunAction("Quorvane_ShowWindow");
  Pump();
  return Window();
}

HWND WindowStage::Window() const {
  return FindWindowW(kClassName, nullptr);
}

HWND WindowStage::Control(int id) const {
  HWND window = Window();
  return window ? GetDlgItem(window, id) : nullptr;
}

HWND WindowStage::ControlWithText(const wchar_t* className, const std::wstring& text) const {
  Search search{className, &text, nullptr};
  if (HWND window = Window())
    EnumChildWindows(window, &MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool WindowStage::Shown(HWND control) const {
  return control && IsWindowVisible(control);
}

bool WindowStage::Usable(HWND control) const {
  return Shown(control) && IsWindowEnabled(control);
}

std::wstring WindowStage::Text(HWND control) const {
  wchar_t text[1024] = {};
  if (control) GetWindowTextW(control, text, 1024);
  return text;
}

Placement WindowStage::PlacementOf(HWND control) const {
  RECT rect{};
  if (!control) return {};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return Placement{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

bool WindowStage::Click(int id) {
  return Click(Control(id));
}

bool WindowStage::Click(HWND control) {
  if (!Usable(control)) return false;
  SendMessageW(control, BM_CLICK, 0, 0);
  Pump();
  return true;
}

bool WindowStage::Choose(int id, int index) {
  HWND box = Control(id);
  if (!Usable(box)) return false;
  if (SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0) == CB_ERR) return false;
  SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
  Pump();
  return true;
}

void WindowStage::ClickListRow(HWND list, int row, int x) {
  const int height = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  const int top = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
  const int y = (row - top) * height + height / 2;
  const LPARAM point = MAKELPARAM(x, y);
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
  SendMessageW(list, WM_LBUTTONUP, 0, point);
  Pump();
}

void WindowStage::PressKey(HWND control, UINT virtualKey) {
  SetFocus(control);
  const UINT scanCode = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
  const LPARAM down = 1 | static_cast<LPARAM>(scanCode) << 16;
  const LPARAM up = down | static_cast<LPARAM>(0xC0000000u);
  PostMessageW(control, WM_KEYDOWN, virtualKey, down);
  PostMessageW(control, WM_KEYUP, virtualKey, up);
  Pump();
}

void WindowStage::Wheel(int delta) {
  HWND window = Window();
  RECT rect;
  GetWindowRect(window, &rect);
  SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))),
               MAKELPARAM(rect.left + 200, rect.top + 400));
  Pump();
}

std::vector<std::wstring> WindowStage::Entries(int id) const {
  std::vector<std::wstring> entries;
  HWND box = Control(id);
  const LRESULT count = SendMessageW(box, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[512] = {};
    SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    entries.emplace_back(text);
  }
  return entries;
}

std::vector<std::wstring> WindowStage::Rows(HWND list) const {
  std::vector<std::wstring> rows;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[512] = {};
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    rows.emplace_back(text);
  }
  return rows;
}

int WindowStage::Selected(int id) const {
  HWND control = Control(id);
  return static_cast<int>(
      SendMessageW(control, IsComboBox(control) ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
}

int WindowStage::ListSelection(HWND list) const {
  return static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
}

void WindowStage::Pump() const {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void WindowStage::Run(int ms, int tickMs) {
  Pump();
  host.Run(ms, tickMs);
  Pump();
}

}  // namespace quorvane::window_tests
