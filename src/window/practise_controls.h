// The controls the practise and sound-check pages share: the song with its start and stop points,
// the markers, the rate, PLAY and STOP, loop and pre-count, and the practise status the practise
// page shows as its heading. One set serves both pages, so that a choice made on one is there on
// the other; each page lays them out in its own places.
#pragma once

#include <cstdint>
#include <string>

#include "window/page.h"

namespace quorvane::window {

class PractiseControls {
 public:
  struct Handles {
    HWND songLabel = nullptr, startLabel = nullptr, stopLabel = nullptr, songCombo = nullptr,
         startCombo = nullptr, stopCombo = nullptr, markersLabel = nullptr, markersList = nullptr,
         rateLabel = nullptr, rateBox = nullptr, practisePlay = nullptr, practiseStop = nullptr,
         loop = nullptr, precount4 = nullptr, precount8 = nullptr;
  };

  PractiseControls(PageFrame& frame, const ui::WindowContext& context)
      : frame_(frame), context_(context), ui_(context.ui) {}

  void Create(ControlMaker make);
  void Forget() { c_ = {}; }
  const Handles& Controls() const { return c_; }
  // "PRACTISE MODE", "COUNT-IN" or "PLAYING".
  const wchar_t* Status() const { return status_.c_str(); }

  // Fills the song, start and stop boxes and the markers from the project and the selection.
  void RefreshLists();
  bool SelectStartChoice(int32_t choice);
  bool SelectStopChoice(int32_t choice);
  void SelectRateIndex(int index);
  void SelectRateNearest(double rate);
  void ShowPrecountToggles(int beats);
  void ShowLoopToggle(bool on);
  void SetTogglesFromSelection();
  // Enables the controls (and the page's `exit` button) for the transport's state, follows the
  // markers while playing and invalidates the heading when the status word changed.
  void ShowStatus(const PractiseStatus& status, HWND exit);
  // The shared controls' commands; false for any other.
  bool OnCommand(int id, int code);

 private:
  void OnBoxChanged(int id);
  void OnLoopClicked();
  void OnPrecountClicked(int beats);

  PageFrame& frame_;
  ui::WindowContext context_;
  ui::PluginUI& ui_;
  Handles c_;
  std::wstring status_ = L"PRACTISE MODE";
};

}  // namespace quorvane::window
