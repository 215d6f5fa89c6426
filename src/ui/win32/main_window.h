// The system's one window, class "QuorvaneWindow": a fixed 560 x 800 frame with a dark theme that
// shows one page at a time. Every control of every page is created with the window; a page change
// hides them all and lays out the controls of the new page. The window follows the engine on
// every host tick (SyncWindow) and raises the record's callback slots for its main actions.
//
// The object outlives its window: "HIDE PLUGIN INTERFACE" destroys the window and its pictures
// but keeps this object, its fonts and the window state record, so that the next open shows the
// same page and selections.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/plugin_ui.h"
#include "ui/window_host.h"
#include "ui/window_port.h"
#include "ui/win32/gdi.h"
#include "ui/win32/images.h"
#include "ui/win32/painters.h"

namespace quorvane::ui::win32 {

inline constexpr wchar_t kWindowClassName[] = L"QuorvaneWindow";
inline constexpr wchar_t kWindowTitle[] = L"KALVERN LIVE PLAYBACK SYSTEM";
inline constexpr int kWindowWidth = 560;
inline constexpr int kWindowHeight = 800;

// The registered window procedure: attaches the object handed in the creation parameters and
// forwards every message to it.
LRESULT CALLBACK PluginUIWindowProc(HWND window, UINT message, WPARAM wParam,
                                    LPARAM lParam) noexcept;

// The handles of the controls, by page.
struct Controls {
  // Menu.
  HWND liveMode = nullptr, practiseMode = nullptr, soundCheckMode = nullptr, options = nullptr,
       about = nullptr, hideInterface = nullptr;
  // Live page.
  HWND startShow = nullptr, endShow = nullptr, playNext = nullptr, liveStop = nullptr,
       playSelected = nullptr, liveList = nullptr, showSetup = nullptr, exitLive = nullptr;
  // Setup page.
  HWND durationLabel = nullptr, durationBox = nullptr, startTimeLabel = nullptr, hourBox = nullptr,
       hourLabel = nullptr, minuteBox = nullptr, minuteLabel = nullptr, autoStartLabel = nullptr,
       autoStartCheck = nullptr, songCountText = nullptr, songCountExtra = nullptr,
       musicTimeText = nullptr, musicTimeExtra = nullptr, excessText = nullptr,
       setlistHeading = nullptr, setlistList = nullptr, songBox = nullptr, addSong = nullptr,
       addPause = nullptr, backToLive = nullptr;
  // Practise and sound-check pages.
  HWND songLabel = nullptr, startLabel = nullptr, stopLabel = nullptr, songCombo = nullptr,
       startCombo = nullptr, stopCombo = nullptr, markersLabel = nullptr, markersList = nullptr,
       rateLabel = nullptr, rateBox = nullptr, practisePlay = nullptr, practiseStop = nullptr,
       loop = nullptr, precount4 = nullptr, precount8 = nullptr, exitPractise = nullptr;
  HWND tracksLabel = nullptr, tracksList = nullptr, exitSoundCheck = nullptr;
  // About and options pages.
  HWND backToMenu = nullptr, donate = nullptr;
  HWND optionMarkerNames = nullptr, optionTimeSignature = nullptr, exitOptions = nullptr;
};

class MainWindow final : public WindowPort {
 public:
  explicit MainWindow(const WindowContext& context);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  bool Exists() const { return hwnd_ != nullptr; }
  HWND Handle() const { return hwnd_; }

  // GDI+ and the two pictures, when not yet there; a failure leaves the pages without pictures.
  void LoadImages();
  // Creates and shows the window (class already registered) and fills its pages; false when the
  // system refuses the window.
  bool Create(HINSTANCE instance);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Called by the window procedure for the first message of a new window.
  void Attach(HWND window);

  // --- WindowPort ---
  void* MessageOwner() const override { return hwnd_; }
  bool IsAutoStartEnabled() const override;
  void GetAutoStartSelection(int* hour, int* minute) const override;
  void SetAutoStartEnabled(bool enabled) override;
  void ResetAutoStart() override;
  bool SelectAutoStartTime(int hour, int minute) override;
  void EnterPage(UiPage page) override;
  void LayoutPage() override;
  void InvalidateAll(bool erase) override;
  void SyncWindow() override;
  void RebuildSetlistViews() override;
  void RefreshLiveTransport() override;
  void RebuildLiveList() override;
  void ResetLivePageAfterShowEnd() override;
  void RefreshSetupPage() override;
  void RefreshPractiseLists() override;
  bool SelectPractiseStartChoice(int32_t choice) override;
  bool SelectPractiseStopChoice(int32_t choice) override;
  void SelectPractiseRateIndex(int index) override;
  void ShowPrecountToggles(int beats) override;
  void ShowLoopToggle(bool on) override;
  void RefreshPractiseStatus(bool active, bool countingIn, bool playing, double position) override;
  void RefreshTracksList() override;
  void ShowOptions() override;
  void Destroy() override;

  // The subclassed lists' procedures reach their window through these.
  LRESULT LiveListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT SetlistListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT TracksListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  struct Fonts {
    OwnedFont optionBoxes;  // 22 normal, ANSI character set, default quality
    OwnedFont bold22;
    OwnedFont normal22;
    OwnedFont normal20;
    OwnedFont normal18;
  };
  // Brushes handed out for control colours, made on first use.
  struct ColourBrushes {
    OwnedBrush window;
    OwnedBrush list;
    OwnedBrush panel;
  };
  // What the last re-layout was made for; a change of any of them re-lays the page.
  struct LayoutKey {
    int32_t status = -1;
    int64_t page = -1;
    int32_t currentIndex = -999999;
    bool playing = false;
  };

  // --- Creation and messages (main_window.cpp) ---
  void CreateFonts();
  void CreateControls();
  HWND AddControl(const wchar_t* className, const wchar_t* caption, DWORD style, int id,
                  DWORD exStyle = 0);
  void FillFixedLists();
  void OnCreate();
  void OnDestroy();
  void OnCommand(int id, int code, HWND control);
  LRESULT OnControlColour(UINT message, HDC dc, HWND control);
  HBRUSH Brush(OwnedBrush& brush, COLORREF colour);
  void OnDrawItem(const DRAWITEMSTRUCT& item);
  void OnPaint();
  void PaintPage(HDC dc);
  void Redraw();
  void HideAllControls();
  void Place(HWND control, int x, int y, int width, int height, bool enabled = true);
  void DestroyInterface();
  void SelectRateNearest(double rate);
  void SetToggle(HWND toggle, bool on);

  // --- Live page (live_page.cpp) ---
  void LayoutLivePage(int width, int height);
  void RefreshLivePage();
  std::string CurrentItemDisplayName() const;
  void RefreshTransportButtons();
  void ScrollLiveList();
  void OnLiveSelectionChanged();
  void OnStartShowClicked();
  void PaintLivePanel(HDC dc, int width);
  void PaintAutoStartBanner(HDC dc, int width);
  void UpdateBanner();

  // --- Setup page (setup_page.cpp) ---
  void LayoutSetupPage(int width, int height);
  void PaintSetupPanel(HDC dc, int width);
  void AddSelectedSong();
  void AddPauseItem();
  void RunSetlistRowAction(int row, int action);
  void AfterSetlistEdit(int selection);
  void OnDurationChanged();
  void OnAutoStartClicked();
  bool SelectDurationMinutes(int minutes);
  void EmptyBanner();

  // --- Practise and sound-check pages (practise_page.cpp) ---
  void LayoutPractisePage(int width, int height);
  void LayoutSoundCheckPage(int width, int height);
  void SetTogglesFromSelection();
  void OnPractiseBoxChanged(int id);
  void OnLoopClicked();
  void OnPrecountClicked(int beats);
  void OnTrackCell(int row, bool solo);

  // --- Options and about pages (about_page.cpp) ---
  void OnOptionClicked(int id);
  void PaintOptionsHeading(HDC dc, int width);
  void PaintAboutPage(HDC dc, int width, int height);
  bool OnMouseWheel(int delta);
  void OpenDonationPage();

  WindowContext context_;
  PluginUI& ui_;
  HWND hwnd_ = nullptr;
  Controls c_;
  std::vector<HWND> controls_;  // every control, for hiding them all

  Fonts fonts_;
  ColourBrushes brushes_;
  GdiplusSession gdiplus_;
  OwnedImage menuImage_;
  OwnedImage aboutImage_;

  std::vector<LiveRow> liveRows_;
  std::vector<SetupListRow> setupRows_;
  WNDPROC liveListProc_ = nullptr;
  WNDPROC setlistListProc_ = nullptr;
  WNDPROC tracksListProc_ = nullptr;

  // The live page's display texts.
  std::wstring statusText_, songText_, showTimeText_, timeSignatureText_, tempoText_, delayText_,
      bannerText_;

  // The practise page's status line, shown as its heading.
  std::wstring practiseStatus_ = L"PRACTISE MODE";

  LayoutKey laidOutFor_;
  int32_t scrolledTo_ = -999999;
};

}  // namespace quorvane::ui::win32
