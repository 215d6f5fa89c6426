#include "ui/win32/main_window.h"

#include <cmath>
#include <cstdio>
#include <iterator>

#include "host/host_api.h"
#include "practise/practise_session.h"
#include "practise/track_manager.h"
#include "show/pages.h"
#include "show/show_engine.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/embedded_images.h"
#include "ui/win32/text.h"
#include "ui/win32/theme.h"

namespace quorvane::ui::win32 {
namespace {

// WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS: a fixed frame without sizing border
// or maximize box.
constexpr DWORD kWindowStyle = 0x4CA0000;
constexpr DWORD kOwnerButton = BS_OWNERDRAW;
constexpr DWORD kDropList = CBS_DROPDOWNLIST | WS_VSCROLL;
// How far a drop-down list opens below its box.
constexpr int kDropHeight = 320;

MainWindow* WindowOf(HWND window) {
  return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK LiveListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    if (MainWindow* window = WindowOf(GetParent(list))) {
      return window->LiveListMessage(list, message, wParam, lParam);
    }
  } catch (...) {
    return 0;
  }
  return DefWindowProcW(list, message, wParam, lParam);
}

LRESULT CALLBACK SetlistListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    if (MainWindow* window = WindowOf(GetParent(list))) {
      return window->SetlistListMessage(list, message, wParam, lParam);
    }
  } catch (...) {
    return 0;
  }
  return DefWindowProcW(list, message, wParam, lParam);
}

LRESULT CALLBACK TracksListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    if (MainWindow* window = WindowOf(GetParent(list))) {
      return window->TracksListMessage(list, message, wParam, lParam);
    }
  } catch (...) {
    return 0;
  }
  return DefWindowProcW(list, message, wParam, lParam);
}

WNDPROC Subclass(HWND control, WNDPROC procedure) {
  return reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

void SetFont(HWND control, const OwnedFont& font) {
  if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
}

std::wstring RateText(double rate) {
  const double d = (rate - 1.0) * 100.0;
  char text[32];
  if (std::fabs(d) < 0.01) {
    std::snprintf(text, sizeof text, "normal");
  } else if (d < 0.0) {
    std::snprintf(text, sizeof text, "%.0f%% slower", -d);
  } else {
    std::snprintf(text, sizeof text, "%.0f%% faster", d);
  }
  return Widen(text);
}

std::wstring DurationChoiceText(int minutes) {
  char text[32];
  if (minutes < 60) {
    std::snprintf(text, sizeof text, "%dmin", minutes);
  } else {
    std::snprintf(text, sizeof text, "%dh%02dmin", minutes / 60, minutes % 60);
  }
  return Widen(text);
}

}  // namespace

// --- Window procedure ---

LRESULT CALLBACK PluginUIWindowProc(HWND window, UINT message, WPARAM wParam,
                                    LPARAM lParam) noexcept {
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
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

MainWindow::MainWindow(const WindowContext& context) : context_(context), ui_(context.ui) {}

MainWindow::~MainWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
  menuImage_.reset();
  aboutImage_.reset();
  gdiplus_.Shutdown();
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
  RefreshLivePage();
  RefreshSetupPage();
  RefreshPractiseLists();
  RebuildLiveList();
  RefreshTransportButtons();
  // A page that fills itself on entry is filled here too, as a re-created window shows it again.
  if (ui_.page == UiPage::kSoundCheck) RefreshTracksList();
  ShowOptions();
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
      OnDestroy();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (ui_.window == this) ui_.window = nullptr;
      hwnd_ = nullptr;
      c_ = Controls{};
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
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (item->CtlType == ODT_LISTBOX &&
          (item->CtlID == id::kLiveList || item->CtlID == id::kSetlistList)) {
        item->itemHeight = 48;
        return TRUE;
      }
      break;
    }
    case WM_DRAWITEM:
      OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT:
      return OnControlColour(message, reinterpret_cast<HDC>(wParam),
                             reinterpret_cast<HWND>(lParam));
    case WM_MOUSEWHEEL:
      if (ui_.page == UiPage::kAbout) {
        OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
      }
      break;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case id::kSetlistRowAction:
      RunSetlistRowAction(LOWORD(wParam), HIWORD(wParam));
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void MainWindow::OnCreate() {
  CreateFonts();
  CreateControls();
  FillFixedLists();
  liveListProc_ = Subclass(c_.liveList, &LiveListProc);
  setlistListProc_ = Subclass(c_.setlistList, &SetlistListProc);
  tracksListProc_ = Subclass(c_.tracksList, &TracksListProc);
  SubclassOptionCheckBox(c_.optionMarkerNames);
  SubclassOptionCheckBox(c_.optionTimeSignature);

  SetFont(c_.optionMarkerNames, fonts_.optionBoxes);
  SetFont(c_.optionTimeSignature, fonts_.optionBoxes);
  SetFont(c_.liveList, fonts_.bold22);
  for (HWND control :
       {c_.liveMode,       c_.practiseMode, c_.soundCheckMode, c_.options,      c_.about,
        c_.hideInterface,  c_.startShow,    c_.endShow,        c_.playNext,     c_.liveStop,
        c_.playSelected,   c_.showSetup,    c_.exitLive,       c_.backToLive,   c_.addSong,
        c_.addPause,       c_.setlistList,  c_.songBox,        c_.excessText,   c_.setlistHeading,
        c_.autoStartCheck, c_.songLabel,    c_.startLabel,     c_.stopLabel,    c_.songCombo,
        c_.startCombo,     c_.stopCombo,    c_.markersLabel,   c_.markersList,  c_.loop,
        c_.rateLabel,      c_.rateBox,      c_.practisePlay,   c_.practiseStop, c_.exitPractise,
        c_.backToMenu,     c_.donate}) {
    SetFont(control, fonts_.normal22);
  }
  SetFont(c_.precount4, fonts_.normal20);
  SetFont(c_.precount8, fonts_.normal20);
  for (HWND control : {c_.songCountText, c_.songCountExtra, c_.musicTimeText, c_.musicTimeExtra,
                       c_.durationLabel, c_.startTimeLabel, c_.hourLabel, c_.minuteLabel,
                       c_.autoStartLabel, c_.durationBox, c_.hourBox, c_.minuteBox}) {
    SetFont(control, fonts_.normal18);
  }
  laidOutFor_ = LayoutKey{};
  scrolledTo_ = -999999;
  LayoutPage();
}

void MainWindow::OnDestroy() {
  liveRows_.clear();
  setupRows_.clear();
  ui_.window = nullptr;
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

void MainWindow::CreateControls() {
  controls_.clear();
  const auto button = [this](const wchar_t* caption, int id, DWORD style = kOwnerButton) {
    return AddControl(L"BUTTON", caption, style, id);
  };
  const auto label = [this](const wchar_t* caption, int id, DWORD style = 0) {
    return AddControl(L"STATIC", caption, style, id);
  };
  const auto box = [this](int id, DWORD extra = 0) {
    return AddControl(L"COMBOBOX", L"", kDropList | extra, id);
  };
  const auto list = [this](int id, DWORD style) {
    return AddControl(L"LISTBOX", L"", style | WS_VSCROLL, id, WS_EX_CLIENTEDGE);
  };

  c_.liveMode = button(L"LIVE MODE", id::kLiveMode);
  c_.practiseMode = button(L"PRACTISE MODE", id::kPractiseMode);
  c_.soundCheckMode = button(L"SOUND-CHECK MODE", id::kSoundCheckMode);
  c_.options = button(L"OPTIONS", id::kOptions);
  c_.about = button(L"ABOUT / HOW TO USE", id::kAbout);
  c_.hideInterface = button(L"HIDE PLUGIN INTERFACE", id::kHideInterface);

  c_.startShow = button(L"START SHOW", id::kStartShow);
  c_.endShow = button(L"END SHOW", id::kEndShow);
  c_.playNext = button(L"PLAY NEXT SONG", id::kPlayNext);
  c_.liveStop = button(L"STOP", id::kLiveStop);
  c_.playSelected = button(L"PLAY SELECTED SONG", id::kPlaySelected);
  // The owner-drawn lists keep their rows' names as item text too, for screen readers.
  c_.liveList = list(id::kLiveList, LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY);
  c_.showSetup = button(L"SHOW SETUP", id::kShowSetup);
  c_.exitLive = button(L"EXIT LIVE MODE", id::kExitLive);

  c_.durationLabel = label(L"SHOW DURATION:", 0, SS_CENTERIMAGE);
  c_.durationBox = box(id::kDurationBox, WS_TABSTOP);
  c_.startTimeLabel = label(L"START TIME:", 0);
  c_.hourBox = box(id::kHourBox, WS_TABSTOP);
  c_.hourLabel = label(L"H", 0, SS_CENTER);
  c_.minuteBox = box(id::kMinuteBox, WS_TABSTOP);
  c_.minuteLabel = label(L"M", 0, SS_CENTER);
  c_.autoStartLabel = label(L"AUTO-START SHOW", id::kAutoStartLabel);
  c_.autoStartCheck = button(L"", id::kAutoStartCheck, BS_AUTOCHECKBOX);
  c_.songCountText = label(L"SONGS:", id::kSongCountText);
  c_.songCountExtra = label(L"0", id::kSongCountExtra);
  c_.musicTimeText = label(L"MUSIC TIME:", id::kMusicTimeText);
  c_.musicTimeExtra = label(L"00:00:00", id::kMusicTimeExtra);
  c_.excessText = label(L"", id::kExcessText);
  c_.setlistHeading = label(L"SETLIST", id::kSetlistHeading);
  c_.setlistList = list(id::kSetlistList, LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY);
  c_.songBox = box(id::kSongBox);
  c_.addSong = button(L"+", id::kAddSong);
  c_.addPause = button(L"+ ADD PAUSE MARKER", id::kAddPause);
  c_.backToLive = button(L"GO BACK TO LIVE MODE", 0);

  c_.songLabel = label(L"SONG", id::kSongLabel);
  c_.startLabel = label(L"START", id::kStartLabel);
  c_.stopLabel = label(L"STOP", id::kStopLabel);
  c_.songCombo = box(id::kPractiseSongBox);
  c_.startCombo = box(id::kPractiseStartBox);
  c_.stopCombo = box(id::kPractiseStopBox);
  c_.markersLabel = label(L"STRUCTURE / MARKERS", id::kMarkersLabel);
  c_.markersList = list(id::kMarkersList, 0);
  c_.rateLabel = label(L"PLAYBACK RATE", id::kRateLabel);
  c_.rateBox = box(id::kRateBox, WS_TABSTOP);
  c_.practisePlay = button(L"PLAY", id::kPractisePlay);
  c_.practiseStop = button(L"STOP", id::kPractiseStop);
  c_.loop = button(L"LOOP", id::kLoop);
  c_.precount4 = button(L"PRE-COUNT 4x", id::kPrecount4);
  c_.precount8 = button(L"PRE-COUNT 8x", id::kPrecount8);
  c_.exitPractise = button(L"EXIT PRACTISE MODE", id::kExitPractise);
  c_.tracksLabel = label(L"PROJECT TRACKS MANAGER", 0);
  c_.tracksList = list(0, LBS_OWNERDRAWFIXED | LBS_HASSTRINGS);
  c_.exitSoundCheck = button(L"EXIT SOUND-CHECK MODE", id::kExitSoundCheck);

  c_.backToMenu = button(L"BACK TO MAIN PAGE", id::kBackToMenu);
  c_.donate = button(L"DONATE", id::kDonate);
  c_.optionMarkerNames = button(L"Show marker names along with song names in LIVE MODE",
                                id::kOptionMarkerNames, BS_AUTOCHECKBOX | WS_TABSTOP);
  c_.optionTimeSignature = button(L"Show Time Signature and BPM", id::kOptionTimeSignature,
                                  BS_AUTOCHECKBOX | WS_TABSTOP);
  c_.exitOptions = button(L"EXIT OPTIONS", id::kExitOptions);
}

void MainWindow::FillFixedLists() {
  for (size_t i = 0; i < practise::kPlaybackRateTable.size(); ++i) {
    const LRESULT index =
        SendMessageW(c_.rateBox, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(RateText(practise::kPlaybackRateTable[i]).c_str()));
    if (index >= 0)
      SendMessageW(c_.rateBox, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(i));
  }
  SelectRateNearest(context_.host.GetPlayRate());

  for (int minutes = 5; minutes <= 480; minutes += 5) {
    const LRESULT index =
        SendMessageW(c_.durationBox, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(DurationChoiceText(minutes).c_str()));
    if (index >= 0)
      SendMessageW(c_.durationBox, CB_SETITEMDATA, static_cast<WPARAM>(index), minutes);
  }
  for (int hour = 0; hour < 24; ++hour) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", hour);
    SendMessageW(c_.hourBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
  }
  for (int minute = 0; minute < 60; ++minute) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", minute);
    SendMessageW(c_.minuteBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
  }
  SelectDurationMinutes(45);
  SendMessageW(c_.hourBox, CB_SETCURSEL, 0, 0);
  SendMessageW(c_.minuteBox, CB_SETCURSEL, 0, 0);
  EnableWindow(c_.hourBox, FALSE);
  EnableWindow(c_.minuteBox, FALSE);

  // The boxes' closed heights follow the layout (24 on the setup page's top row, 34 elsewhere).
  for (HWND small : {c_.durationBox, c_.hourBox, c_.minuteBox}) {
    SendMessageW(small, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), 18);
  }
  for (HWND large : {c_.songBox, c_.songCombo, c_.startCombo, c_.stopCombo, c_.rateBox}) {
    SendMessageW(large, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), 28);
  }
}

void MainWindow::SelectRateNearest(double rate) {
  if (!std::isfinite(rate) || rate <= 0.0) rate = 1.0;
  size_t best = 0;
  for (size_t i = 1; i < practise::kPlaybackRateTable.size(); ++i) {
    if (std::fabs(practise::kPlaybackRateTable[i] - rate) <
        std::fabs(practise::kPlaybackRateTable[best] - rate)) {
      best = i;
    }
  }
  SendMessageW(c_.rateBox, CB_SETCURSEL, best, 0);
}

void MainWindow::OnCommand(int id, int code, HWND control) {
  CallbackSlots& slots = ui_.slots;
  const auto raise = [](const std::function<void()>& slot) {
    if (slot) slot();
  };
  const bool clicked = code == BN_CLICKED;
  if (control && control == c_.backToLive) {
    if (slots.onBackToLive) {
      slots.onBackToLive();
    } else {
      show::ShowLivePage(ui_, context_.practise, context_.engine.Status());
    }
    return;
  }
  if (id >= id::kTrackMuteBase && id < id::kTrackMuteBase + id::kTrackCellRows) {
    OnTrackCell(id - id::kTrackMuteBase, false);
    return;
  }
  if (id >= id::kTrackSoloBase && id < id::kTrackSoloBase + id::kTrackCellRows) {
    OnTrackCell(id - id::kTrackSoloBase, true);
    return;
  }
  switch (id) {
    case id::kLiveMode:
      if (slots.onLiveMode) {
        slots.onLiveMode();
      } else {
        show::ShowSetupPage(ui_);
      }
      break;
    case id::kPractiseMode:
      if (slots.onPractiseMode) {
        slots.onPractiseMode();
      } else {
        show::ShowPractisePage(ui_, context_.practise);
      }
      break;
    case id::kSoundCheckMode:
      if (!clicked) break;
      if (slots.onSoundCheckMode) {
        slots.onSoundCheckMode();
      } else {
        show::ShowSoundCheckPage(ui_, context_.practise);
      }
      break;
    case id::kOptions:
      show::ShowOptionsPage(ui_);
      break;
    case id::kAbout:
      show::ShowAboutPage(ui_);
      break;
    case id::kHideInterface:
      DestroyInterface();
      break;
    case id::kStartShow:
      OnStartShowClicked();
      break;
    case id::kEndShow:
      raise(slots.onEndShow);
      break;
    case id::kPlayNext:
      raise(slots.onPlayNext);
      break;
    case id::kLiveStop:
      raise(slots.onStop);
      break;
    case id::kPlaySelected:
      raise(slots.onPlaySelected);
      break;
    case id::kShowSetup:
      if (slots.onShowSetup) {
        slots.onShowSetup();
      } else {
        show::ShowSetupPage(ui_);
      }
      break;
    case id::kLiveList:
      if (code == LBN_SELCHANGE) OnLiveSelectionChanged();
      break;
    case id::kExitLive:
    case id::kExitPractise:
      if (slots.onExitMode) {
        slots.onExitMode();
      } else {
        show::ShowModeSelectPage(ui_);
      }
      break;
    case id::kDurationBox:
      if (code == CBN_SELCHANGE) OnDurationChanged();
      break;
    case id::kAutoStartCheck:
      if (clicked) OnAutoStartClicked();
      break;
    case id::kHourBox:
    case id::kMinuteBox:
      if (code == CBN_SELCHANGE) {
        EmptyBanner();
        InvalidateAll(true);
      }
      break;
    case id::kAddSong:
      if (clicked) AddSelectedSong();
      break;
    case id::kAddPause:
      if (clicked) AddPauseItem();
      break;
    case id::kPractiseSongBox:
    case id::kPractiseStartBox:
    case id::kPractiseStopBox:
    case id::kRateBox:
      if (code == CBN_SELCHANGE) OnPractiseBoxChanged(id);
      break;
    case id::kPractisePlay:
      if (clicked) raise(slots.onPractisePlay);
      break;
    case id::kPractiseStop:
      if (clicked) raise(slots.onPractiseStop);
      break;
    case id::kLoop:
      if (clicked) OnLoopClicked();
      break;
    case id::kPrecount4:
      if (clicked) OnPrecountClicked(4);
      break;
    case id::kPrecount8:
      if (clicked) OnPrecountClicked(8);
      break;
    case id::kBackToMenu:
    case id::kExitOptions:
    case id::kExitSoundCheck:
      show::ShowModeSelectPage(ui_);
      break;
    case id::kDonate:
      OpenDonationPage();
      break;
    case id::kOptionMarkerNames:
    case id::kOptionTimeSignature:
      if (clicked) OnOptionClicked(id);
      break;
    default:
      break;
  }
}

HBRUSH MainWindow::Brush(OwnedBrush& brush, COLORREF colour) {
  if (!brush) brush = OwnedBrush(CreateSolidBrush(colour));
  return brush.Get();
}

LRESULT MainWindow::OnControlColour(UINT message, HDC dc, HWND control) {
  const auto hollow = [] { return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)); };
  const bool optionBox = control == c_.optionMarkerNames || control == c_.optionTimeSignature;
  if (control == c_.autoStartCheck && (message == WM_CTLCOLORBTN || message == WM_CTLCOLORSTATIC)) {
    SetTextColor(dc, colour::kCheck);
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, colour::kWindow);
    return reinterpret_cast<LRESULT>(Brush(brushes_.window, colour::kWindow));
  }
  if (optionBox) return hollow();
  switch (message) {
    case WM_CTLCOLORSTATIC: {
      SetTextColor(dc, colour::kLabelText);
      SetBkMode(dc, TRANSPARENT);
      for (HWND plain :
           {c_.durationLabel, c_.startTimeLabel, c_.hourLabel, c_.minuteLabel, c_.autoStartLabel,
            c_.songCountText, c_.musicTimeText, c_.excessText, c_.setlistHeading}) {
        if (control == plain) return hollow();
      }
      return reinterpret_cast<LRESULT>(Brush(brushes_.panel, colour::kPanel));
    }
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

void MainWindow::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlType == ODT_BUTTON) {
    PaintOwnerButton(item);
    return;
  }
  if (item.CtlType != ODT_LISTBOX || item.itemID == static_cast<UINT>(-1)) return;
  const size_t row = item.itemID;
  if (item.hwndItem == c_.liveList) {
    PaintLiveRow(item, row < liveRows_.size() ? &liveRows_[row] : nullptr, fonts_.bold22.Get());
  } else if (item.hwndItem == c_.setlistList) {
    PaintSetlistRow(item, row < setupRows_.size() ? &setupRows_[row] : nullptr,
                    fonts_.normal22.Get());
  } else if (item.hwndItem == c_.tracksList) {
    PaintTrackRow(item, row < ui_.backingTracks.size() ? &ui_.backingTracks[row] : nullptr,
                  reinterpret_cast<HFONT>(SendMessageW(c_.tracksList, WM_GETFONT, 0, 0)));
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
  const int width = client.right;
  const UiPage page = ui_.page;
  FillRectColour(dc, client,
                 page == UiPage::kModeSelect ? colour::kMenuBackground : colour::kWindow);

  const wchar_t* heading = nullptr;
  switch (page) {
    case UiPage::kSetlistSetup:
      heading = L"SHOW SETUP";
      break;
    case UiPage::kLive:
    case UiPage::kFinished:
      heading = L"LIVE MODE";
      break;
    case UiPage::kPractise:
      heading = practiseStatus_.c_str();
      break;
    case UiPage::kSoundCheck:
      heading = L"SOUND-CHECK MODE";
      break;
    case UiPage::kOptions:
      heading = L"OPTIONS";
      break;
    default:
      break;
  }
  if (heading) {
    OwnedFont font = MakeFont(14, FW_BOLD, L"Arial", FontQuality::kDefault, true);
    DrawTextIn(dc, heading, Rect(15, 2, width - 15, 20), DT_CENTER | DT_SINGLELINE,
               colour::kHeading, font.Get());
  }
  switch (page) {
    case UiPage::kModeSelect: {
      DrawImageFit(dc, menuImage_.get(), Rect(30, 25, width - 30, 325));
      OwnedFont font = MakeFont(24, FW_BOLD);
      DrawTextIn(dc, L"MENU", Rect(15, 337, width - 15, 370),
                 DT_CENTER | DT_VCENTER | DT_SINGLELINE, colour::kBrightText, font.Get());
      break;
    }
    case UiPage::kOptions:
      PaintOptionsHeading(dc, width);
      break;
    case UiPage::kLive:
    case UiPage::kFinished:
      if (ui_.snapshot.status == ShowStatus::kPrepared) {
        PaintAutoStartBanner(dc, width);
      } else {
        PaintLivePanel(dc, width);
      }
      break;
    case UiPage::kSetlistSetup:
      PaintSetupPanel(dc, width);
      break;
    case UiPage::kAbout:
      PaintAboutPage(dc, width, client.bottom);
      break;
    default:
      break;
  }
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

// --- Layout ---

void MainWindow::HideAllControls() {
  for (HWND control : controls_) {
    EnableWindow(control, FALSE);
    SetWindowPos(control, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void MainWindow::Place(HWND control, int x, int y, int width, int height, bool enabled) {
  if (!control) return;
  wchar_t className[16] = {};
  GetClassNameW(control, className, 16);
  // A drop-down box's window height is how far its list opens; its closed height is set apart.
  if (lstrcmpiW(className, L"COMBOBOX") == 0) height = kDropHeight;
  SetWindowPos(control, nullptr, x, y, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  EnableWindow(control, enabled ? TRUE : FALSE);
}

void MainWindow::LayoutPage() {
  if (!hwnd_) return;
  RECT client;
  GetClientRect(hwnd_, &client);
  const int w = client.right;
  const int h = client.bottom;
  HideAllControls();
  InvalidateRect(hwnd_, nullptr, TRUE);
  switch (ui_.page) {
    case UiPage::kModeSelect: {
      const HWND buttons[] = {c_.liveMode, c_.practiseMode, c_.soundCheckMode,
                              c_.options,  c_.about,        c_.hideInterface};
      SetWindowTextW(c_.soundCheckMode, L"SOUND-CHECK MODE");
      for (size_t i = 0; i < std::size(buttons); ++i) {
        Place(buttons[i], 60, 390 + 58 * static_cast<int>(i), w - 120, 50);
      }
      break;
    }
    case UiPage::kLive:
    case UiPage::kFinished:
      LayoutLivePage(w, h);
      break;
    case UiPage::kSetlistSetup:
      LayoutSetupPage(w, h);
      break;
    case UiPage::kPractise:
      LayoutPractisePage(w, h);
      break;
    case UiPage::kSoundCheck:
      LayoutSoundCheckPage(w, h);
      break;
    case UiPage::kAbout:
      Place(c_.backToMenu, 15, h - 48, (w - 38) / 2, 38);
      Place(c_.donate, (w - 38) / 2 + 23, h - 48, (w - 38) / 2, 38);
      break;
    case UiPage::kOptions:
      Place(c_.optionMarkerNames, 43, 105, w - 75, 36);
      Place(c_.optionTimeSignature, 43, 150, w - 75, 36);
      Place(c_.exitOptions, 15, h - 48, w - 30, 38);
      break;
  }
}

// --- Pages ---

void MainWindow::EnterPage(UiPage page) {
  if (!hwnd_) return;
  switch (page) {
    case UiPage::kModeSelect:
      LayoutPage();
      Redraw();
      break;
    case UiPage::kLive:
    case UiPage::kFinished:
      statusText_.clear();
      songText_.clear();
      showTimeText_.clear();
      timeSignatureText_.clear();
      tempoText_.clear();
      delayText_.clear();
      bannerText_.clear();
      RebuildLiveList();
      RefreshTransportButtons();
      LayoutPage();
      RefreshLivePage();
      Redraw();
      break;
    case UiPage::kSetlistSetup:
      RefreshSetupPage();
      LayoutPage();
      Redraw();
      break;
    case UiPage::kPractise:
      RefreshPractiseLists();
      LayoutPage();
      Redraw();
      break;
    case UiPage::kSoundCheck:
      RefreshPractiseLists();
      RefreshTracksList();
      SelectRateNearest(1.0);
      LayoutPage();
      Redraw();
      break;
    case UiPage::kOptions:
      ShowOptions();
      LayoutPage();
      Redraw();
      break;
    case UiPage::kAbout:
      LayoutPage();
      InvalidateAll(true);
      break;
  }
}

void MainWindow::SyncWindow() {
  if (!hwnd_) return;
  UpdateBanner();
  const ShowSnapshot& snapshot = ui_.snapshot;
  const LayoutKey now{static_cast<int32_t>(snapshot.status), static_cast<int64_t>(ui_.page),
                      snapshot.currentIndex, snapshot.playing};
  const bool relaid = now.status != laidOutFor_.status || now.page != laidOutFor_.page ||
                      now.currentIndex != laidOutFor_.currentIndex ||
                      now.playing != laidOutFor_.playing;
  if (relaid) {
    LayoutPage();
    laidOutFor_ = now;
  }
  if (ui_.IsLivePage()) {
    RefreshLivePage();
    if (snapshot.currentIndex != scrolledTo_) {
      ScrollLiveList();
      scrolledTo_ = snapshot.currentIndex;
    }
  }
  if (relaid) RefreshTransportButtons();
  if (ui_.page == UiPage::kSoundCheck && ui_.slots.getBackingTracks) {
    if (!practise::SameTrackRows(ui_.slots.getBackingTracks(), ui_.backingTracks)) {
      RefreshTracksList();
    }
  }
}

void MainWindow::RebuildSetlistViews() {
  RebuildLiveList();
  RefreshSetupPage();
}

void MainWindow::RefreshLiveTransport() {
  if (!hwnd_ || !ui_.IsLivePage()) return;
  LayoutPage();
  RefreshTransportButtons();
  Redraw();
}

void MainWindow::ResetLivePageAfterShowEnd() {
  if (!hwnd_) return;
  RebuildLiveList();
  RefreshTransportButtons();
  LayoutPage();
  RefreshLivePage();
  Redraw();
}

void MainWindow::ShowOptions() {
  if (!hwnd_) return;
  SendMessageW(c_.optionMarkerNames, BM_SETCHECK, ui_.showMarkerNames ? BST_CHECKED : BST_UNCHECKED,
               0);
  SendMessageW(c_.optionTimeSignature, BM_SETCHECK,
               ui_.showTimeSignatureAndBpm ? BST_CHECKED : BST_UNCHECKED, 0);
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

// --- Auto-start controls ---

bool MainWindow::IsAutoStartEnabled() const {
  return hwnd_ && c_.autoStartCheck &&
         SendMessageW(c_.autoStartCheck, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::GetAutoStartSelection(int* hour, int* minute) const {
  *hour = -1;
  *minute = -1;
  if (!hwnd_) return;
  if (c_.hourBox) *hour = static_cast<int>(SendMessageW(c_.hourBox, CB_GETCURSEL, 0, 0));
  if (c_.minuteBox) *minute = static_cast<int>(SendMessageW(c_.minuteBox, CB_GETCURSEL, 0, 0));
}

void MainWindow::SetAutoStartEnabled(bool enabled) {
  if (!hwnd_) return;
  SendMessageW(c_.autoStartCheck, BM_SETCHECK, enabled ? BST_CHECKED : BST_UNCHECKED, 0);
  EnableWindow(c_.hourBox, enabled ? TRUE : FALSE);
  EnableWindow(c_.minuteBox, enabled ? TRUE : FALSE);
  EmptyBanner();
  InvalidateAll(true);
}

void MainWindow::ResetAutoStart() {
  if (!hwnd_) return;
  EmptyBanner();
  SendMessageW(c_.autoStartCheck, BM_SETCHECK, BST_UNCHECKED, 0);
  EnableWindow(c_.autoStartLabel, FALSE);
  SendMessageW(c_.hourBox, CB_SETCURSEL, 0, 0);
  SendMessageW(c_.minuteBox, CB_SETCURSEL, 0, 0);
  EnableWindow(c_.hourBox, FALSE);
  EnableWindow(c_.minuteBox, FALSE);
}

bool MainWindow::SelectAutoStartTime(int hour, int minute) {
  if (!hwnd_ || !c_.hourBox || !c_.minuteBox) return false;
  SendMessageW(c_.hourBox, CB_SETCURSEL, static_cast<WPARAM>(hour), 0);
  SendMessageW(c_.minuteBox, CB_SETCURSEL, static_cast<WPARAM>(minute), 0);
  EmptyBanner();
  InvalidateAll(true);
  return true;
}

void MainWindow::EmptyBanner() {
  bannerText_.clear();
}

void MainWindow::SetToggle(HWND toggle, bool on) {
  if (!toggle) return;
  SetWindowLongPtrW(toggle, GWLP_USERDATA, on ? 1 : 0);
  SendMessageW(toggle, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  InvalidateRect(toggle, nullptr, FALSE);
}

}  // namespace quorvane::ui::win32
