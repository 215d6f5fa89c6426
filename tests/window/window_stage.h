// A stage for the window suites: the host simulator with a small band project, the extension
// loaded through its real entry point, and the window opened through the Show/Hide action. The
// helpers act as a user would: a control is clicked only while it is shown and enabled, and
// every click is followed by the messages it posts.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <vector>

#include "host/reaper_api.h"
#include "sim/sim_host.h"

QUORVANE_EXPORT int ReaperPluginEntry(HINSTANCE instance, reaper_plugin_info_t* rec);

namespace quorvane::window_tests {

// Client-area placement of a control: left, top, width, height.
struct Placement {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Placement&) const = default;
};

// Five one-minute songs at 120 BPM in 4/4 and a region 99; the stored setlist is
// [Opener, Second (auto-start), pause, Third, Closer]; four tracks, two of them in a folder.
void BuildBandProject(sim::Host& host);

class WindowStage {
 public:
  // `withSetlist` false leaves the project without a stored setlist.
  explicit WindowStage(bool withSetlist = true);
  ~WindowStage();
  WindowStage(const WindowStage&) = delete;
  WindowStage& operator=(const WindowStage&) = delete;

  // Runs the Show/Hide action and returns the window (null when there is none).
  HWND ShowHide();
  HWND Window() const;

  HWND Control(int id) const;
  // A child of the given class with exactly this caption (for controls without an id).
  HWND ControlWithText(const wchar_t* className, const std::wstring& text) const;
  bool Shown(HWND control) const;   // visible
  bool Usable(HWND control) const;  // visible and enabled
  std::wstring Text(HWND control) const;
  Placement PlacementOf(HWND control) const;

  // A user's click on a button: false (and nothing sent) when it is hidden or disabled.
  bool Click(int id);
  bool Click(HWND control);
  // A user's choice in a drop-down box: selects the entry and notifies the window.
  bool Choose(int id, int index);
  // A user's click in a list: press and release at (x, middle of `row`).
  void ClickListRow(HWND list, int row, int x);
  // A user's key press on the focused `control`: key down and up as the keyboard posts them,
  // translated into characters by the message loop as a host's would.
  void PressKey(HWND control, UINT virtualKey);
  void Wheel(int delta);

  std::vector<std::wstring> Entries(int id) const;  // drop-down box entries
  std::vector<std::wstring> Rows(HWND list) const;  // list rows' texts
  int Selected(int id) const;                       // box or list selection, -1 for none
  int ListSelection(HWND list) const;

  // Lets the window handle what it posted, then runs the host for `ms` of virtual time.
  void Pump() const;
  void Run(int ms = 100, int tickMs = 33);

  sim::Host host;
  bool loaded = false;
};

}  // namespace quorvane::window_tests
