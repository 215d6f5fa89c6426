#include "window/main_window.h"

#include "host/failure_reports.h"
#include "platform/own_code_scope.h"
#include "show/show_engine.h"
#include "ui/web_access.h"
#include "window/control_ids.h"
#include "window/embedded_images.h"
#include "window/painters.h"
#include "window/text.h"
#include "window/theme.h"

namespace quorvane::window {
namespace {

// WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS: a fixed frame without sizing border
// or maximize box.
constexpr DWORD kWindowStyle = 0x4CA0000;

MainWindow* WindowOf(HWND window) {
  return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace

// --- Window procedure ---

LRESULT CALLBACK PluginUIWindowProc(HWND window, UINT message, WPARAM wParam,
                                    LPARAM lParam) noexcept {
  const platform::OwnCodeScope ours;
  try {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      if (auto* object = static_cast<MainWindow*>(create->lpCreateParams)) {
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        object->Attach(window);
      }
    }
    if (MainWindow* object = WindowOf(window)) {
      return object->HandleMessage(message, wParam, lParam);
    }
  } catch (...) {
    // Nothing may unwind into the system's message dispatch; the message counts as handled.
    host::ReportCaughtException("the window");
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

MainWindow::MainWindow(const ui::WindowContext& context)
    : context_(context),
      ui_(context.ui),
      menu_(*this, context),
      live_(*this, context, banner_),
      setup_(*this, context, banner_),
      practise_(*this, context),
      soundCheck_(*this, context, practise_.Shared()),
      about_(*this, context),
      options_(*this, context),
      pages_{&menu_, &live_, &setup_, &practise_, &soundCheck_, &about_, &options_} {}

MainWindow::~MainWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
  menuImage_.reset();
  aboutImage_.reset();
  gdiplus_.Shutdown();
}

Page& MainWindow::PageFor(ui::UiPage page) {
  switch (page) {
    case ui::UiPage::kModeSelect:
      return menu_;
    case ui::UiPage::kLive:
    case ui::UiPage::kFinished:
      return live_;
    case ui::UiPage::kSetlistSetup:
      return setup_;
    case ui::UiPage::kPractise:
      return practise_;
    case ui::UiPage::kSoundCheck:
      return soundCheck_;
    case ui::UiPage::kAbout:
      return about_;
    case ui::UiPage::kOptions:
      return options_;
  }
  return menu_;
}

void MainWindow::Attach(HWND window) {
  hwnd_ = window;
  ui_.window = this;
}

void MainWindow::LoadImages() {
  if (gdiplus_.Started()) return;
  if (!gdiplus_.Start()) return;
  menuImage_ = LoadImageFromMemory(MenuImageBytes());
  aboutImage_ = LoadImageFromMemory(AboutImageBytes());
}

bool MainWindow::Create(HINSTANCE instance) {
  HWND window =
      CreateWindowExW(WS_EX_APPWINDOW, kWindowClassName, kWindowTitle, kWindowStyle, CW_USEDEFAULT,
                      CW_USEDEFAULT, kWindowWidth, kWindowHeight, nullptr, nullptr, instance, this);
  if (!window) return false;
  ShowWindow(window, SW_SHOW);
  live_.RefreshPanel();
  setup_.Refresh();
  practise_.Shared().RefreshLists();
  live_.RebuildList();
  live_.RefreshTransportButtons();
  // A page that fills itself on entry is filled here too, as a re-created window shows it again.
  if (ui_.page == ui::UiPage::kSoundCheck) soundCheck_.RefreshTracks();
  options_.ShowOptions();
  return true;
}

// --- Messages ---

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = hwnd_;
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_DESTROY:
      ui_.window = nullptr;
      context_.operations.WindowDestroyed();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (ui_.window == this) ui_.window = nullptr;
      hwnd_ = nullptr;
      for (Page* page : pages_)
        page->ForgetControls();
      controls_.clear();
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_SIZE:
      LayoutPage();
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_PRINTCLIENT:
      PaintPage(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_CLOSE:
      ShowWindow(window, SW_HIDE);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint fills the whole client area
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize.x = kWindowWidth;
      info->ptMinTrackSize.y = kWindowHeight;
      info->ptMaxTrackSize.x = kWindowWidth;
      info->ptMaxTrackSize.y = kWindowHeight;
      return 0;
    }
    case WM_MEASUREITEM: {
      // Sent while a list is being made, before its page knows its handle: asked by id.
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      for (Page* page : pages_) {
        if (page->MeasureItem(*item)) return TRUE;
      }
      break;
    }
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item.CtlType == ODT_BUTTON) {
        PaintOwnerButton(item);
      } else if (item.CtlType == ODT_LISTBOX && item.itemID != static_cast<UINT>(-1)) {
        for (Page* page : pages_) {
          if (page->DrawItem(item)) break;
        }
      }
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT:
      return OnControlColour(message, reinterpret_cast<HDC>(wParam),
                             reinterpret_cast<HWND>(lParam));
    case WM_MOUSEWHEEL:
      if (CurrentPage().OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam))) return 0;
      break;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case id::kSetlistRowAction:
      setup_.RunRowAction(LOWORD(wParam), HIWORD(wParam));
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void MainWindow::OnCreate() {
  CreateFonts();
  controls_.clear();
  for (Page* page : pages_)
    page->CreateControls();
  laidOutFor_ = LayoutKey{};
  LayoutPage();
}

void MainWindow::CreateFonts() {
  if (fonts_.normal22) return;  // the fonts outlive the window
  fonts_.optionBoxes = MakeFont(22, FW_NORMAL, L"Segoe UI", FontQuality::kDefault, true);
  fonts_.bold22 = MakeFont(22, FW_BOLD);
  fonts_.normal22 = MakeFont(22, FW_NORMAL);
  fonts_.normal20 = MakeFont(20, FW_NORMAL);
  fonts_.normal18 = MakeFont(18, FW_NORMAL);
}

HWND MainWindow::AddControl(const wchar_t* className, const wchar_t* caption, DWORD style, int id,
                            DWORD exStyle) {
  HWND control = CreateWindowExW(
      exStyle, className, caption, WS_CHILD | style, 0, 0, 0, 0, hwnd_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE)), nullptr);
  if (control) controls_.push_back(control);
  return control;
}

void MainWindow::OnCommand(int id, int code, HWND control) {
  CurrentPage().OnCommand(id, code, control);
}

HBRUSH MainWindow::Brush(OwnedBrush& brush, COLORREF colour) {
  if (!brush) brush = OwnedBrush(CreateSolidBrush(colour));
  return brush.Get();
}

LRESULT MainWindow::OnControlColour(UINT message, HDC dc, HWND control) {
  const auto hollow = [] { return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)); };
  ControlLook look = ControlLook::kStandard;
  for (const Page* page : pages_) {
    look = page->LookOf(control);
    if (look != ControlLook::kStandard) break;
  }
  if (look == ControlLook::kCheckOnWindow &&
      (message == WM_CTLCOLORBTN || message == WM_CTLCOLORSTATIC)) {
    SetTextColor(dc, colour::kCheck);
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, colour::kWindow);
    return reinterpret_cast<LRESULT>(Brush(brushes_.window, colour::kWindow));
  }
  if (look == ControlLook::kHollow) return hollow();
  switch (message) {
    case WM_CTLCOLORSTATIC:
      SetTextColor(dc, colour::kLabelText);
      SetBkMode(dc, TRANSPARENT);
      if (look == ControlLook::kPaintedLabel) return hollow();
      return reinterpret_cast<LRESULT>(Brush(brushes_.panel, colour::kPanel));
    case WM_CTLCOLORLISTBOX:
      SetTextColor(dc, colour::kBrightText);
      SetBkColor(dc, colour::kList);
      return reinterpret_cast<LRESULT>(Brush(brushes_.list, colour::kList));
    case WM_CTLCOLOREDIT:
      SetTextColor(dc, colour::kWhite);
      SetBkColor(dc, colour::kList);
      return reinterpret_cast<LRESULT>(GetStockObject(DKGRAY_BRUSH));
    default:
      return DefWindowProcW(hwnd_, message, reinterpret_cast<WPARAM>(dc),
                            reinterpret_cast<LPARAM>(control));
  }
}

void MainWindow::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd_, &paint);
  if (dc) PaintPage(dc);
  EndPaint(hwnd_, &paint);
}

void MainWindow::PaintPage(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  Page& page = CurrentPage();
  FillRectColour(dc, client, page.Background());
  if (const wchar_t* heading = page.Heading()) {
    OwnedFont font = MakeFont(14, FW_BOLD, L"Arial", FontQuality::kDefault, true);
    DrawTextIn(dc, heading, Rect(15, 2, client.right - 15, 20), DT_CENTER | DT_SINGLELINE,
               colour::kHeading, font.Get());
  }
  page.Paint(dc, client);
}

void MainWindow::InvalidateAll(bool erase) {
  if (hwnd_) InvalidateRect(hwnd_, nullptr, erase ? TRUE : FALSE);
}

void MainWindow::Redraw() {
  if (hwnd_) {
    RedrawWindow(hwnd_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
}

// --- Layout and pages ---

void MainWindow::HideAllControls() {
  for (HWND control : controls_) {
    EnableWindow(control, FALSE);
    SetWindowPos(control, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void MainWindow::LayoutPage() {
  if (!hwnd_) return;
  RECT client;
  GetClientRect(hwnd_, &client);
  HideAllControls();
  InvalidateRect(hwnd_, nullptr, TRUE);
  CurrentPage().Layout(client.right, client.bottom);
}

void MainWindow::EnterPage(ui::UiPage page) {
  if (hwnd_) PageFor(page).Enter();
}

void MainWindow::SyncWindow() {
  if (!hwnd_) return;
  banner_.Update(hwnd_, Widen(context_.engine.AutoStartBannerText()));
  const show::ShowSnapshot& snapshot = ui_.snapshot;
  const LayoutKey now{static_cast<int32_t>(snapshot.status), static_cast<int64_t>(ui_.page),
                      snapshot.currentIndex, snapshot.playing};
  const bool relaid = now != laidOutFor_;
  if (relaid) {
    LayoutPage();
    laidOutFor_ = now;
  }
  CurrentPage().Sync(relaid);
}

void MainWindow::RebuildSetlistViews() {
  live_.RebuildList();
  setup_.Refresh();
}

void MainWindow::RefreshLiveTransport() {
  live_.RefreshTransport();
}

void MainWindow::RebuildLiveList() {
  live_.RebuildList();
}

void MainWindow::ShowEnded() {
  if (ui_.window == this) live_.ResetAfterShowEnd();
}

void MainWindow::ShowDurationChanged() {
  if (ui_.window != this) return;
  setup_.Refresh();
  InvalidateAll(false);
}

void MainWindow::ShowOptions() {
  options_.ShowOptions();
}

void MainWindow::DestroyInterface() {
  if (hwnd_) DestroyWindow(hwnd_);
  ui_.window = nullptr;
  menuImage_.reset();
  aboutImage_.reset();
  gdiplus_.Shutdown();
}

void MainWindow::Destroy() {
  DestroyInterface();
}

// --- The setup page's auto-start controls ---

void MainWindow::ShowAutoStart(bool reset) {
  setup_.ShowAutoStart(reset);
}

// --- The practise and sound-check pages' shared controls ---

void MainWindow::RefreshPractiseLists() {
  practise_.Shared().RefreshLists();
}

bool MainWindow::SelectPractiseStartChoice(int32_t choice) {
  return practise_.Shared().SelectStartChoice(choice);
}

bool MainWindow::SelectPractiseStopChoice(int32_t choice) {
  return practise_.Shared().SelectStopChoice(choice);
}

void MainWindow::SelectPractiseRateIndex(int index) {
  practise_.Shared().SelectRateIndex(index);
}

void MainWindow::ShowPrecountToggles(int beats) {
  practise_.Shared().ShowPrecountToggles(beats);
}

void MainWindow::ShowLoopToggle(bool on) {
  practise_.Shared().ShowLoopToggle(on);
}

void MainWindow::LoopSwitched(bool on) {
  if (ui_.window == this) practise_.Shared().ShowLoopToggle(on);
}

void MainWindow::PractiseDisplayChanged(const practise::PractiseRun& run, double position) {
  if (ui_.window == this && hwnd_) {
    CurrentPage().ShowPractiseStatus({run.active, run.countingIn, run.playing, position});
  }
}

void MainWindow::RefreshTracksList() {
  soundCheck_.RefreshTracks();
}

}  // namespace quorvane::window
