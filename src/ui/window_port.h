// The seam through which the model's views (ModelViews) and the remote commands reach the
// window. The Windows window implements it on its real controls; while no window exists the
// record holds no port and every caller skips the window's part. Tests stand in for it.
#pragma once

#include <cstdint>

#include "ui/ui_page.h"

namespace quorvane::ui {

class WindowPort {
 public:
  virtual ~WindowPort() = default;

  // The main window's handle, to own message boxes.
  virtual void* MessageOwner() const { return nullptr; }

  // The setup page's auto-start check box and time boxes follow the engine's settings; `reset`:
  // they were cleared (project change, leaving the live mode).
  virtual void ShowAutoStart(bool /*reset*/) {}

  // The window's part of a page switch (hide the other pages' controls, refresh the new page,
  // lay it out, redraw); the record's page is already set.
  virtual void EnterPage(UiPage /*page*/) {}
  virtual void LayoutPage() {}
  virtual void InvalidateAll(bool /*erase*/) {}
  // Steps of the per-tick refresh that need the window (banner, live page, tracks list).
  virtual void SyncWindow() {}
  // Rebuilds the live list and the setup list from the setlist.
  virtual void RebuildSetlistViews() {}
  // The live transport choice or the played set changed: re-lay and redraw pages 1 and 7.
  virtual void RefreshLiveTransport() {}
  virtual void RebuildLiveList() {}

  // Practise and sound-check controls.
  virtual void RefreshPractiseLists() {}
  // Selects the start (stop) list entry carrying `choice`; false when no entry carries it.
  virtual bool SelectPractiseStartChoice(int32_t /*choice*/) { return false; }
  virtual bool SelectPractiseStopChoice(int32_t /*choice*/) { return false; }
  virtual void SelectPractiseRateIndex(int /*index*/) {}
  virtual void ShowPrecountToggles(int /*beats*/) {}
  virtual void ShowLoopToggle(bool /*on*/) {}
  virtual void RefreshTracksList() {}
  // The two option check boxes follow the options.
  virtual void ShowOptions() {}

  // Destroys the window and frees its images; the record keeps its state.
  virtual void Destroy() {}
};

}  // namespace quorvane::ui
