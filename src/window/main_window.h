// The system's one window, class "QuorvaneWindow": a fixed 560 x 800 frame with a dark theme that
// shows one page at a time. The frame owns the shared fonts, brushes and pictures, dispatches the
// window's messages and routes them to the current page (or, for a control's colours and rows, to
// the page that owns the control). Every page's controls are created with the window; a page
// change hides them all and lays out the controls of the new page. The window follows the engine
// on every host tick (SyncWindow), hears the model's changes through the window seam (WindowPort)
// and what the user operations did through OperationsListener.
//
// The object outlives its window: "HIDE PLUGIN INTERFACE" destroys the window and its pictures
// but keeps this object, its pages, its fonts and the window state record, so that the next open
// shows the same page and selections.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "host/listener_list.h"
#include "operations/operations_listener.h"
#include "operations/user_operations.h"
#include "ui/plugin_ui.h"
#include "ui/window_host.h"
#include "ui/window_port.h"
#include "window/about_page.h"
#include "window/auto_start_banner.h"
#include "window/gdi.h"
#include "window/images.h"
#include "window/live_page.h"
#include "window/menu_page.h"
#include "window/options_page.h"
#include "window/page.h"
#include "window/practise_page.h"
#include "window/setup_page.h"
#include "window/sound_check_page.h"

namespace quorvane::window {

inline constexpr wchar_t kWindowClassName[] = L"QuorvaneWindow";
inline constexpr wchar_t kWindowTitle[] = L"KALVERN LIVE PLAYBACK SYSTEM";
inline constexpr int kWindowWidth = 560;
inline constexpr int kWindowHeight = 800;

// The registered window procedure: attaches the object handed in the creation parameters and
// forwards every message to it.
LRESULT CALLBACK PluginUIWindowProc(HWND window, UINT message, WPARAM wParam,
                                    LPARAM lParam) noexcept;

class MainWindow final : public ui::WindowPort,
                         public operations::OperationsListener,
                         private PageFrame {
 public:
  explicit MainWindow(const ui::WindowContext& context);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  bool Exists() const { return hwnd_ != nullptr; }
  HWND Handle() const override { return hwnd_; }

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
  void ShowAutoStart(bool reset) override;
  void EnterPage(ui::UiPage page) override;
  void LayoutPage() override;
  void InvalidateAll(bool erase) override;
  void SyncWindow() override;
  void RebuildSetlistViews() override;
  void RefreshLiveTransport() override;
  void RebuildLiveList() override;
  void RefreshPractiseLists() override;
  bool SelectPractiseStartChoice(int32_t choice) override;
  bool SelectPractiseStopChoice(int32_t choice) override;
  void SelectPractiseRateIndex(int index) override;
  void ShowPrecountToggles(int beats) override;
  void ShowLoopToggle(bool on) override;
  void RefreshTracksList() override;
  void ShowOptions() override;
  void Destroy() override;

  // --- OperationsListener: heard only while the window exists ---
  void ShowEnded() override;
  void ShowDurationChanged() override;
  void LoopSwitched(bool on) override;
  void PractiseDisplayChanged(const practise::PractiseRun& run, double position) override;

 private:
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
    bool operator==(const LayoutKey&) const = default;
  };

  // --- PageFrame ---
  const SharedFonts& Fonts() const override { return fonts_; }
  Gdiplus::GpImage* MenuImage() const override { return menuImage_.get(); }
  Gdiplus::GpImage* AboutImage() const override { return aboutImage_.get(); }
  HWND AddControl(const wchar_t* className, const wchar_t* caption, DWORD style, int id,
                  DWORD exStyle = 0) override;
  void Redraw() override;
  void DestroyInterface() override;

  // The page the record's page value shows.
  Page& PageFor(ui::UiPage page);
  Page& CurrentPage() { return PageFor(ui_.page); }

  void CreateFonts();
  void OnCreate();
  void OnCommand(int id, int code, HWND control);
  LRESULT OnControlColour(UINT message, HDC dc, HWND control);
  HBRUSH Brush(OwnedBrush& brush, COLORREF colour);
  void OnPaint();
  void PaintPage(HDC dc);
  void HideAllControls();

  ui::WindowContext context_;
  ui::PluginUI& ui_;
  HWND hwnd_ = nullptr;
  std::vector<HWND> controls_;  // every control, for hiding them all

  SharedFonts fonts_;
  ColourBrushes brushes_;
  GdiplusSession gdiplus_;
  OwnedImage menuImage_;
  OwnedImage aboutImage_;
  AutoStartBanner banner_;

  MenuPage menu_;
  LivePage live_;
  SetupPage setup_;
  PractisePage practise_;
  SoundCheckPage soundCheck_;
  AboutPage about_;
  OptionsPage options_;
  // In the order their controls are created.
  std::array<Page*, 7> pages_;

  LayoutKey laidOutFor_;
  // Last: the operations stop telling this object before any of the above goes.
  host::ListenerScope<operations::UserOperations, operations::OperationsListener> operations_{
      context_.operations, *this};
};

}  // namespace quorvane::window
