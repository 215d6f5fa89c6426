// The setlist setup page: songs not yet in the setlist, the setlist rows with their auto-start,
// move and remove cells, pauses, the show's duration and auto-start time, and the totals.
#pragma once

#include <vector>

#include "window/auto_start_banner.h"
#include "window/page.h"
#include "window/painters.h"

namespace quorvane::window {

class SetupPage final : public Page, private ListHook {
 public:
  SetupPage(PageFrame& frame, const ui::WindowContext& context, AutoStartBanner& banner)
      : Page(frame, context), banner_(banner) {}

  void CreateControls() override;
  void ForgetControls() override;
  void Enter() override;
  void Layout(int width, int height) override;
  const wchar_t* Heading() const override { return L"SHOW SETUP"; }
  void Paint(HDC dc, const RECT& client) override;
  bool OnCommand(int id, int code, HWND control) override;
  bool MeasureItem(MEASUREITEMSTRUCT& item) override;
  bool DrawItem(const DRAWITEMSTRUCT& item) override;
  ControlLook LookOf(HWND control) const override;

  // Fills the song box, the setlist list, the duration and the totals from the setlist.
  void Refresh();
  // Runs a cell of a setlist row, as the list posted it.
  void RunRowAction(int row, int action);

  // The auto-start check box and its hour and minute boxes follow the engine's settings;
  // `reset`: they were cleared (project change, leaving the live mode).
  void ShowAutoStart(bool reset);

 private:
  struct Controls {
    HWND durationLabel = nullptr, durationBox = nullptr, startTimeLabel = nullptr,
         hourBox = nullptr, hourLabel = nullptr, minuteBox = nullptr, minuteLabel = nullptr,
         autoStartLabel = nullptr, autoStartCheck = nullptr, songCountText = nullptr,
         songCountExtra = nullptr, musicTimeText = nullptr, musicTimeExtra = nullptr,
         excessText = nullptr, setlistHeading = nullptr, setlistList = nullptr, songBox = nullptr,
         addSong = nullptr, addPause = nullptr, backToLive = nullptr;
  };

  Answer OnListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) override;
  void FillFixedLists();
  void AddSelectedSong();
  void AddPauseItem();
  // Selects a row of the setlist list after an edit (none when out of range).
  void SelectRow(int row);
  void OnDurationChanged();
  void OnAutoStartClicked();
  void OnAutoStartTimeChanged();
  bool IsAutoStartEnabled() const;
  bool SelectDurationMinutes(int minutes);

  AutoStartBanner& banner_;
  Controls c_;
  std::vector<SetupListRow> rows_;
};

}  // namespace quorvane::window
