#include "window/practise_controls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/host_api.h"
#include "practise/practise_session.h"
#include "window/control_ids.h"
#include "window/text.h"

namespace quorvane::window {
namespace {

constexpr char kMessageTitle[] = "KALVERN LIVE PLAYBACK SYSTEM";
constexpr int32_t kStartOfSong = -2;
constexpr int32_t kEndOfSong = -1;
constexpr double kSamePosition = 1e-6;
constexpr double kMarkerLookAhead = 0.0005;

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

}  // namespace

void PractiseControls::Create(ControlMaker make) {
  c_.songLabel = make.Label(L"SONG", id::kSongLabel);
  c_.startLabel = make.Label(L"START", id::kStartLabel);
  c_.stopLabel = make.Label(L"STOP", id::kStopLabel);
  c_.songCombo = make.DropList(id::kPractiseSongBox);
  c_.startCombo = make.DropList(id::kPractiseStartBox);
  c_.stopCombo = make.DropList(id::kPractiseStopBox);
  c_.markersLabel = make.Label(L"STRUCTURE / MARKERS", id::kMarkersLabel);
  c_.markersList = make.List(id::kMarkersList, 0);
  c_.rateLabel = make.Label(L"PLAYBACK RATE", id::kRateLabel);
  c_.rateBox = make.DropList(id::kRateBox, WS_TABSTOP);
  c_.practisePlay = make.Button(L"PLAY", id::kPractisePlay);
  c_.practiseStop = make.Button(L"STOP", id::kPractiseStop);
  c_.loop = make.Button(L"LOOP", id::kLoop);
  c_.precount4 = make.Button(L"PRE-COUNT 4x", id::kPrecount4);
  c_.precount8 = make.Button(L"PRE-COUNT 8x", id::kPrecount8);

  for (size_t i = 0; i < practise::kPlaybackRateTable.size(); ++i) {
    AddEntry(c_.rateBox, RateText(practise::kPlaybackRateTable[i]), static_cast<LPARAM>(i));
  }
  SelectRateNearest(context_.host.GetPlayRate());
  // The boxes' closed height follows the layout.
  for (HWND large : {c_.songCombo, c_.startCombo, c_.stopCombo, c_.rateBox}) {
    SendMessageW(large, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), 28);
  }

  const SharedFonts& fonts = frame_.Fonts();
  for (HWND control : {c_.songLabel, c_.startLabel, c_.stopLabel, c_.songCombo, c_.startCombo,
                       c_.stopCombo, c_.markersLabel, c_.markersList, c_.loop, c_.rateLabel,
                       c_.rateBox, c_.practisePlay, c_.practiseStop}) {
    SetFont(control, fonts.normal22);
  }
  SetFont(c_.precount4, fonts.normal20);
  SetFont(c_.precount8, fonts.normal20);
}

void PractiseControls::SelectRateNearest(double rate) {
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

bool PractiseControls::OnCommand(int id, int code) {
  const bool clicked = code == BN_CLICKED;
  switch (id) {
    case id::kPractiseSongBox:
    case id::kPractiseStartBox:
    case id::kPractiseStopBox:
    case id::kRateBox:
      if (code == CBN_SELCHANGE) OnBoxChanged(id);
      return true;
    case id::kPractisePlay:
      if (clicked) {
        ExplainRefusal(context_, frame_.Handle(), context_.operations.StartPractise(),
                       kMessageTitle);
      }
      return true;
    case id::kPractiseStop:
      if (clicked) context_.operations.StopPractise();
      return true;
    case id::kLoop:
      if (clicked) OnLoopClicked();
      return true;
    case id::kPrecount4:
      if (clicked) OnPrecountClicked(4);
      return true;
    case id::kPrecount8:
      if (clicked) OnPrecountClicked(8);
      return true;
    default:
      return false;
  }
}

void PractiseControls::SetTogglesFromSelection() {
  ShowPrecountToggles(context_.practise.Selection().preCountBeats);
  ShowLoopToggle(context_.practise.Selection().loopEnabled);
}

void PractiseControls::RefreshLists() {
  if (!frame_.Handle() || !c_.songCombo || !c_.startCombo || !c_.stopCombo || !c_.markersList)
    return;
  practise::PractiseSelection& selection = context_.practise.Selection();
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

bool PractiseControls::SelectStartChoice(int32_t choice) {
  return frame_.Handle() && SelectData(c_.startCombo, choice);
}

bool PractiseControls::SelectStopChoice(int32_t choice) {
  return frame_.Handle() && SelectData(c_.stopCombo, choice);
}

void PractiseControls::SelectRateIndex(int index) {
  if (frame_.Handle()) SelectData(c_.rateBox, index);
}

void PractiseControls::ShowPrecountToggles(int beats) {
  if (!frame_.Handle()) return;
  SetToggle(c_.precount4, beats == 4);
  SetToggle(c_.precount8, beats == 8);
}

void PractiseControls::ShowLoopToggle(bool on) {
  if (frame_.Handle()) SetToggle(c_.loop, on);
}

void PractiseControls::ShowStatus(const PractiseStatus& now, HWND exit) {
  const bool active = now.active;

  for (HWND control : {c_.practisePlay, c_.precount4, c_.precount8, c_.loop}) {
    EnableIfChanged(control, !active);
  }
  EnableIfChanged(exit, !active);
  for (HWND box : {c_.songCombo, c_.startCombo, c_.stopCombo}) {
    EnableIfChanged(box, !active);
  }
  EnableIfChanged(c_.practiseStop, active);

  const wchar_t* status =
      now.countingIn ? L"COUNT-IN" : (now.playing ? L"PLAYING" : L"PRACTISE MODE");
  if (status_ != status) {
    status_ = status;
    RECT client;
    GetClientRect(frame_.Handle(), &client);
    const RECT heading = Rect(15, 2, client.right - 15, 20);
    InvalidateRect(frame_.Handle(), &heading, FALSE);
  }

  int marker = -1;
  host::ProjectRegion region;
  if (now.playing &&
      context_.host.FindRegion(context_.practise.Selection().songRegionId, &region)) {
    int index = 0;
    for (const host::ProjectMarker& each : context_.host.EnumerateMarkersInRegion(region)) {
      if (each.position > now.position + kMarkerLookAhead) break;
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

void PractiseControls::OnBoxChanged(int id) {
  LRESULT data = 0;
  switch (id) {
    case id::kPractiseSongBox:
      if (SelectedData(c_.songCombo, &data))
        context_.practise.Selection().songRegionId = static_cast<int32_t>(data);
      RefreshLists();
      break;
    case id::kPractiseStartBox:
      if (SelectedData(c_.startCombo, &data))
        context_.practise.Selection().startChoice = static_cast<int32_t>(data);
      break;
    case id::kPractiseStopBox:
      if (SelectedData(c_.stopCombo, &data))
        context_.practise.Selection().stopChoice = static_cast<int32_t>(data);
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

void PractiseControls::OnLoopClicked() {
  context_.operations.SetLoop(!context_.practise.Selection().loopEnabled);
}

void PractiseControls::OnPrecountClicked(int beats) {
  // A lit toggle clicked again switches the pre-count off.
  context_.operations.SetPrecount(context_.practise.Selection().preCountBeats == beats ? 0 : beats);
}

}  // namespace quorvane::window
