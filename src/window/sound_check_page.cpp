#include "window/sound_check_page.h"

#include <algorithm>

#include "host/host_api.h"
#include "practise/track_manager.h"
#include "ui/pages.h"
#include "window/control_ids.h"
#include "window/painters.h"
#include "window/text.h"

namespace quorvane::window {
namespace {

constexpr int kTrackRowHeight = 42;

}  // namespace

void SoundCheckPage::CreateControls() {
  c_.tracksLabel = Label(L"PROJECT TRACKS MANAGER", 0);
  c_.tracksList = List(0, LBS_OWNERDRAWFIXED | LBS_HASSTRINGS);
  c_.exitSoundCheck = Button(L"EXIT SOUND-CHECK MODE", id::kExitSoundCheck);
  HookList(c_.tracksList);
}

void SoundCheckPage::ForgetControls() {
  c_ = {};
}

void SoundCheckPage::Enter() {
  shared_.RefreshLists();
  RefreshTracks();
  shared_.SelectRateNearest(1.0);
  frame_.LayoutPage();
  frame_.Redraw();
}

void SoundCheckPage::Layout(int w, int h) {
  const PractiseControls::Handles& c = shared_.Controls();
  Place(c.songLabel, 15, 42, 70, 34);
  Place(c.songCombo, 93, 38, w - 108, 34);
  Place(c.startLabel, 15, 83, 70, 34);
  Place(c.startCombo, 93, 79, w - 108, 34);
  Place(c.stopLabel, 15, 124, 70, 34);
  Place(c.stopCombo, 93, 120, w - 108, 34);
  Place(c.practisePlay, 15, 163, 95, 42);
  Place(c.practiseStop, 117, 163, w - 438, 42, false);
  Place(c.loop, w - 314, 163, 75, 42);
  Place(c.precount4, w - 232, 163, 105, 42);
  Place(c.precount8, w - 120, 163, 105, 42);
  shared_.SetTogglesFromSelection();
  Place(c_.tracksLabel, 19, 218, w - 38, 22);
  const int listHeight = h - 301 >= 100 ? h - 301 : 100;
  Place(c_.tracksList, 15, 245, w - 30, listHeight);
  SendMessageW(c_.tracksList, LB_SETITEMHEIGHT, 0, kTrackRowHeight);
  SetWindowTextW(c_.exitSoundCheck, L"EXIT SOUND-CHECK MODE");
  Place(c_.exitSoundCheck, 15, h - 48, w - 30, 38);
}

bool SoundCheckPage::OnCommand(int id, int code, HWND /*control*/) {
  if (id >= id::kTrackMuteBase && id < id::kTrackMuteBase + id::kTrackCellRows) {
    OnTrackCell(id - id::kTrackMuteBase, false);
    return true;
  }
  if (id >= id::kTrackSoloBase && id < id::kTrackSoloBase + id::kTrackCellRows) {
    OnTrackCell(id - id::kTrackSoloBase, true);
    return true;
  }
  if (shared_.OnCommand(id, code)) return true;
  if (id != id::kExitSoundCheck) return false;
  ui::ShowModeSelectPage(ui_);
  return true;
}

void SoundCheckPage::Sync(bool /*relaid*/) {
  if (!practise::SameTrackRows(context_.operations.BackingTracks(), ui_.backingTracks)) {
    RefreshTracks();
  }
}

void SoundCheckPage::ShowPractiseStatus(const PractiseStatus& status) {
  shared_.ShowStatus(status, c_.exitSoundCheck);
}

bool SoundCheckPage::DrawItem(const DRAWITEMSTRUCT& item) {
  if (item.hwndItem != c_.tracksList) return false;
  PaintTrackRow(item, RowToDraw(ui_.backingTracks, item),
                reinterpret_cast<HFONT>(SendMessageW(c_.tracksList, WM_GETFONT, 0, 0)));
  return true;
}

void SoundCheckPage::RefreshTracks() {
  if (!Window() || !c_.tracksList) return;
  if (SendMessageW(c_.tracksList, LB_GETCOUNT, 0, 0) > 0) {
    ui_.tracksTopIndex = static_cast<int32_t>(SendMessageW(c_.tracksList, LB_GETTOPINDEX, 0, 0));
  }
  ui_.backingTracks = context_.operations.BackingTracks();
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

ListHook::Answer SoundCheckPage::OnListMessage(HWND list, UINT message, WPARAM /*wParam*/,
                                               LPARAM lParam) {
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
        SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(command), 0),
                     reinterpret_cast<LPARAM>(list));
        return {true, 0};
      }
    }
  }
  return {};
}

void SoundCheckPage::OnTrackCell(int row, bool solo) {
  if (row < 0 || static_cast<size_t>(row) >= ui_.backingTracks.size()) return;
  practise::BackingTrackRow& track = ui_.backingTracks[static_cast<size_t>(row)];
  const bool next = solo ? !track.soloed : !track.muted;
  operations::UserOperations& operations = context_.operations;
  const bool changed = solo ? operations.SetTrackSolo(track.trackIndex, next)
                            : operations.SetTrackMute(track.trackIndex, next);
  if (!changed) return;
  (solo ? track.soloed : track.muted) = next;
  InvalidateRect(c_.tracksList, nullptr, FALSE);
  UpdateWindow(c_.tracksList);
}

}  // namespace quorvane::window
