// The practise and sound-check pages: a song with its start and stop points, PLAY and STOP, loop
// and pre-count, the rate (practise) and the project's tracks with mute and solo (sound check).
#include <algorithm>
#include <cmath>

#include "host/host_api.h"
#include "practise/practise_session.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/main_window.h"
#include "ui/win32/text.h"

namespace quorvane::ui::win32 {
namespace {

constexpr int32_t kStartOfSong = -2;
constexpr int32_t kEndOfSong = -1;
constexpr double kSamePosition = 1e-6;
constexpr double kMarkerLookAhead = 0.0005;
constexpr int kTrackRowHeight = 42;

void AddEntry(HWND box, const std::wstring& text, LPARAM data) {
  const LRESULT index = SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (index >= 0) SendMessageW(box, CB_SETITEMDATA, static_cast<WPARAM>(index), data);
}

// Selects the first entry carrying `data`; false when none does.
bool SelectData(HWND box, LPARAM data) {
  const LRESULT count = SendMessageW(box, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    if (SendMessageW(box, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == data) {
      SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
      return true;
    }
  }
  return false;
}

// The data of the chosen entry. Whether there is one is told by the selection's index alone: an
// entry's data may be -1 ("END OF SONG"), which is also the value of CB_ERR.
bool SelectedData(HWND box, LRESULT* data) {
  const LRESULT selected = SendMessageW(box, CB_GETCURSEL, 0, 0);
  if (selected < 0 || selected >= SendMessageW(box, CB_GETCOUNT, 0, 0)) return false;
  *data = SendMessageW(box, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0);
  return true;
}

std::wstring MarkerText(const host::ProjectMarker& marker, const host::ProjectRegion& region) {
  const std::wstring name = marker.name.empty() ? L"Marker" : ToWide(marker.name);
  return name + L" - " + HoursMinutesSeconds(marker.position - region.start);
}

void EnableIfChanged(HWND control, bool enabled) {
  if (control && (IsWindowEnabled(control) != FALSE) != enabled) {
    EnableWindow(control, enabled ? TRUE : FALSE);
  }
}

}  // namespace

void MainWindow::LayoutPractisePage(int w, int h) {
  const int b = h - 50;
  Place(c_.songLabel, 15, 64, 100, 26);
  Place(c_.songCombo, 120, 62, w - 135, 34);
  Place(c_.markersLabel, 15, 106, 190, 24);
  Place(c_.markersList, 15, 130, w - 30, b - 318);
  Place(c_.rateLabel, 15, b - 180, 145, 34);
  Place(c_.rateBox, 160, b - 180, 190, 34);
  SelectRateNearest(context_.host.GetPlayRate());
  Place(c_.startLabel, 15, b - 133, 100, 26);
  Place(c_.startCombo, 120, b - 138, w - 135, 34);
  Place(c_.stopLabel, 15, b - 91, 100, 26);
  Place(c_.stopCombo, 120, b - 96, w - 135, 34);
  Place(c_.practisePlay, 15, b - 54, 105, 46);
  Place(c_.practiseStop, 128, b - 54, w - 447, 46, false);
  Place(c_.loop, w - 311, b - 54, 70, 46);
  Place(c_.precount4, w - 233, b - 54, 105, 46);
  Place(c_.precount8, w - 120, b - 54, 105, 46);
  SetWindowTextW(c_.exitPractise, L"EXIT PRACTISE MODE");
  Place(c_.exitPractise, 15, b, w - 30, 40);
  SetTogglesFromSelection();
}

void MainWindow::LayoutSoundCheckPage(int w, int h) {
  Place(c_.songLabel, 15, 42, 70, 34);
  Place(c_.songCombo, 93, 38, w - 108, 34);
  Place(c_.startLabel, 15, 83, 70, 34);
  Place(c_.startCombo, 93, 79, w - 108, 34);
  Place(c_.stopLabel, 15, 124, 70, 34);
  Place(c_.stopCombo, 93, 120, w - 108, 34);
  Place(c_.practisePlay, 15, 163, 95, 42);
  Place(c_.practiseStop, 117, 163, w - 438, 42, false);
  Place(c_.loop, w - 314, 163, 75, 42);
  Place(c_.precount4, w - 232, 163, 105, 42);
  Place(c_.precount8, w - 120, 163, 105, 42);
  SetTogglesFromSelection();
  Place(c_.tracksLabel, 19, 218, w - 38, 22);
  const int listHeight = h - 301 >= 100 ? h - 301 : 100;
  Place(c_.tracksList, 15, 245, w - 30, listHeight);
  SendMessageW(c_.tracksList, LB_SETITEMHEIGHT, 0, kTrackRowHeight);
  SetWindowTextW(c_.exitSoundCheck, L"EXIT SOUND-CHECK MODE");
  Place(c_.exitSoundCheck, 15, h - 48, w - 30, 38);
}

void MainWindow::SetTogglesFromSelection() {
  ShowPrecountToggles(ui_.practise.preCountBeats);
  ShowLoopToggle(ui_.practise.loopEnabled);
}

void MainWindow::RefreshPractiseLists() {
  if (!hwnd_ || !c_.songCombo || !c_.startCombo || !c_.stopCombo || !c_.markersList) return;
  PractiseSelection& selection = ui_.practise;
  const std::vector<host::ProjectRegion> regions = context_.host.EnumerateRegions();
  int32_t song = selection.songRegionId;
  if (song < 0 && !regions.empty()) song = regions.front().regionId;

  SendMessageW(c_.songCombo, CB_RESETCONTENT, 0, 0);
  for (const host::ProjectRegion& region : regions) {
    const std::wstring name = region.name.empty() ? L"Song" : ToWide(region.name);
    AddEntry(c_.songCombo, name + L" - " + MinutesSeconds(std::max(region.end - region.start, 0.0)),
             region.regionId);
  }
  if (!SelectData(c_.songCombo, song) && !regions.empty()) {
    SendMessageW(c_.songCombo, CB_SETCURSEL, 0, 0);
    song = regions.front().regionId;
  }
  selection.songRegionId = song;

  SendMessageW(c_.startCombo, CB_RESETCONTENT, 0, 0);
  SendMessageW(c_.stopCombo, CB_RESETCONTENT, 0, 0);
  SendMessageW(c_.markersList, LB_RESETCONTENT, 0, 0);
  const host::ProjectRegion* region = nullptr;
  for (const host::ProjectRegion& candidate : regions) {
    if (candidate.regionId == song) {
      region = &candidate;
      break;
    }
  }
  if (!region) return;

  const std::vector<host::ProjectMarker> markers = context_.host.EnumerateMarkersInRegion(*region);
  if (!markers.empty() && std::abs(markers.front().position - region->start) > kSamePosition) {
    AddEntry(c_.startCombo, L"START OF SONG", kStartOfSong);
  }
  for (size_t i = 0; i < markers.size(); ++i) {
    const std::wstring text = MarkerText(markers[i], *region);
    SendMessageW(c_.markersList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    AddEntry(c_.startCombo, text, static_cast<LPARAM>(i));
    AddEntry(c_.stopCombo, text, static_cast<LPARAM>(i));
  }
  const LRESULT top =
      SendMessageW(c_.stopCombo, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(L"END OF SONG"));
  if (top >= 0) SendMessageW(c_.stopCombo, CB_SETITEMDATA, static_cast<WPARAM>(top), kEndOfSong);
  if (markers.empty()) {
    SendMessageW(c_.markersList, LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(L"(NO MARKERS IN SONG)"));
    AddEntry(c_.startCombo, L"START OF SONG", kStartOfSong);
  }
  if (!SelectData(c_.startCombo, selection.startChoice)) {
    SendMessageW(c_.startCombo, CB_SETCURSEL, 0, 0);
  }
  if (!SelectData(c_.stopCombo, selection.stopChoice)) {
    SendMessageW(c_.stopCombo, CB_SETCURSEL, 0, 0);
  }
}

bool MainWindow::SelectPractiseStartChoice(int32_t choice) {
  return hwnd_ && SelectData(c_.startCombo, choice);
}

bool MainWindow::SelectPractiseStopChoice(int32_t choice) {
  return hwnd_ && SelectData(c_.stopCombo, choice);
}

void MainWindow::SelectPractiseRateIndex(int index) {
  if (hwnd_) SelectData(c_.rateBox, index);
}

void MainWindow::ShowPrecountToggles(int beats) {
  if (!hwnd_) return;
  SetToggle(c_.precount4, beats == 4);
  SetToggle(c_.precount8, beats == 8);
}

void MainWindow::ShowLoopToggle(bool on) {
  if (hwnd_) SetToggle(c_.loop, on);
}

void MainWindow::RefreshPractiseStatus(bool active, bool countingIn, bool playing,
                                       double position) {
  if (!hwnd_) return;
  const bool soundCheck = ui_.page == UiPage::kSoundCheck;
  if (ui_.page != UiPage::kPractise && !soundCheck) return;

  for (HWND control : {c_.practisePlay, c_.precount4, c_.precount8, c_.loop}) {
    EnableIfChanged(control, !active);
  }
  EnableIfChanged(soundCheck ? c_.exitSoundCheck : c_.exitPractise, !active);
  for (HWND box : {c_.songCombo, c_.startCombo, c_.stopCombo}) {
    EnableIfChanged(box, !active);
  }
  EnableIfChanged(c_.practiseStop, active);

  const wchar_t* status = countingIn ? L"COUNT-IN" : (playing ? L"PLAYING" : L"PRACTISE MODE");
  if (practiseStatus_ != status) {
    practiseStatus_ = status;
    RECT client;
    GetClientRect(hwnd_, &client);
    const RECT heading = Rect(15, 2, client.right - 15, 20);
    InvalidateRect(hwnd_, &heading, FALSE);
  }

  int marker = -1;
  host::ProjectRegion region;
  if (playing && context_.host.FindRegion(ui_.practise.songRegionId, &region)) {
    int index = 0;
    for (const host::ProjectMarker& each : context_.host.EnumerateMarkersInRegion(region)) {
      if (each.position > position + kMarkerLookAhead) break;
      marker = index++;
    }
  }
  const LRESULT selected = SendMessageW(c_.markersList, LB_GETCURSEL, 0, 0);
  if (marker >= 0) {
    if (selected != marker) {
      SendMessageW(c_.markersList, LB_SETCURSEL, static_cast<WPARAM>(marker), 0);
      SendMessageW(c_.markersList, LB_SETTOPINDEX, static_cast<WPARAM>(marker), 0);
    }
  } else if (selected >= 0) {
    SendMessageW(c_.markersList, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  }
}

void MainWindow::OnPractiseBoxChanged(int id) {
  LRESULT data = 0;
  switch (id) {
    case id::kPractiseSongBox:
      if (SelectedData(c_.songCombo, &data)) ui_.practise.songRegionId = static_cast<int32_t>(data);
      RefreshPractiseLists();
      break;
    case id::kPractiseStartBox:
      if (SelectedData(c_.startCombo, &data)) ui_.practise.startChoice = static_cast<int32_t>(data);
      break;
    case id::kPractiseStopBox:
      if (SelectedData(c_.stopCombo, &data)) ui_.practise.stopChoice = static_cast<int32_t>(data);
      break;
    case id::kRateBox:
      // Without a readable entry the current rate is applied again.
      context_.practise.SelectPractiseRateIndex(
          SelectedData(c_.rateBox, &data) ? static_cast<int32_t>(data) : -1);
      break;
    default:
      break;
  }
}

void MainWindow::OnLoopClicked() {
  ui_.practise.loopEnabled = !ui_.practise.loopEnabled;
  ShowLoopToggle(ui_.practise.loopEnabled);
  if (ui_.slots.onLoopToggled) ui_.slots.onLoopToggled();
}

void MainWindow::OnPrecountClicked(int beats) {
  ui_.practise.preCountBeats = ui_.practise.preCountBeats == beats ? 0 : beats;
  ShowPrecountToggles(ui_.practise.preCountBeats);
}

void MainWindow::RefreshTracksList() {
  if (!hwnd_ || !c_.tracksList) return;
  if (SendMessageW(c_.tracksList, LB_GETCOUNT, 0, 0) > 0) {
    ui_.tracksTopIndex = static_cast<int32_t>(SendMessageW(c_.tracksList, LB_GETTOPINDEX, 0, 0));
  }
  ui_.backingTracks =
      ui_.slots.getBackingTracks ? ui_.slots.getBackingTracks() : BackingTrackRows{};
  SendMessageW(c_.tracksList, WM_SETREDRAW, FALSE, 0);
  SendMessageW(c_.tracksList, LB_RESETCONTENT, 0, 0);
  SendMessageW(c_.tracksList, LB_SETITEMHEIGHT, 0, kTrackRowHeight);
  for (size_t i = 0; i < ui_.backingTracks.size(); ++i) {
    const std::wstring name = ToWide(ui_.backingTracks[i].name);
    const LRESULT index =
        SendMessageW(c_.tracksList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (index >= 0)
      SendMessageW(c_.tracksList, LB_SETITEMDATA, static_cast<WPARAM>(index),
                   static_cast<LPARAM>(i));
  }
  if (!ui_.backingTracks.empty()) {
    const int last = static_cast<int>(ui_.backingTracks.size()) - 1;
    SendMessageW(c_.tracksList, LB_SETTOPINDEX,
                 static_cast<WPARAM>(std::clamp(ui_.tracksTopIndex, 0, last)), 0);
  }
  SendMessageW(c_.tracksList, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(c_.tracksList, nullptr, TRUE);
}

LRESULT MainWindow::TracksListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONUP) {
    const int x = static_cast<short>(LOWORD(lParam));
    const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, lParam);
    const int row = LOWORD(hit);
    const bool outside = HIWORD(hit) != 0;
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    if (!outside && row < count) {
      RECT client;
      GetClientRect(list, &client);
      const int k = client.right - 8;
      int command = 0;
      if (x >= k - 68 && x < k - 36) command = id::kTrackMuteBase + row;
      if (x >= k - 32 && x < k) command = id::kTrackSoloBase + row;
      if (command != 0) {
        if (GetCapture() == list) ReleaseCapture();
        SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(command), 0),
                     reinterpret_cast<LPARAM>(list));
        return 0;
      }
    }
  }
  return tracksListProc_ ? CallWindowProcW(tracksListProc_, list, message, wParam, lParam)
                         : DefWindowProcW(list, message, wParam, lParam);
}

void MainWindow::OnTrackCell(int row, bool solo) {
  if (row < 0 || static_cast<size_t>(row) >= ui_.backingTracks.size()) return;
  BackingTrackRow& track = ui_.backingTracks[static_cast<size_t>(row)];
  const bool next = solo ? !track.soloed : !track.muted;
  const auto& slot = solo ? ui_.slots.onTrackSolo : ui_.slots.onTrackMute;
  if (!slot || !slot(track.trackIndex, next)) return;
  if (context_.host.MarkProjectDirty) context_.host.MarkProjectDirty(nullptr);
  (solo ? track.soloed : track.muted) = next;
  InvalidateRect(c_.tracksList, nullptr, FALSE);
  UpdateWindow(c_.tracksList);
}

}  // namespace quorvane::ui::win32
