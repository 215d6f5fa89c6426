#include "window/setup_page.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "host/host_api.h"
#include "platform/message_box.h"
#include "ui/pages.h"
#include "show/setlist.h"
#include "show/show_engine.h"
#include "window/control_ids.h"
#include "window/text.h"
#include "window/theme.h"

namespace quorvane::window {
namespace {

constexpr char kMessageTitle[] = "Quorvane";
constexpr int kExcludedRegion = 99;  // never offered here, though it can be set remotely
// The row actions the setlist list posts.
enum RowAction { kToggleAutoStart = 0, kMoveUp = 1, kMoveDown = 2, kRemove = 3 };

const host::ProjectRegion* FindIn(const std::vector<host::ProjectRegion>& regions, int32_t id) {
  for (const host::ProjectRegion& region : regions) {
    if (region.regionId == id) return &region;
  }
  return nullptr;
}

double Length(const host::ProjectRegion& region) {
  return std::max(region.end - region.start, 0.0);
}

RECT ExcessRect(int width) {
  return Rect(33, 171, width - 33, 195);
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

// Two-digit entries from 0 to `count` - 1.
void FillNumbers(HWND box, int count) {
  for (int number = 0; number < count; ++number) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", number);
    SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
  }
}

}  // namespace

void SetupPage::CreateControls() {
  c_.durationLabel = Label(L"SHOW DURATION:", 0, SS_CENTERIMAGE);
  c_.durationBox = DropList(id::kDurationBox, WS_TABSTOP);
  c_.startTimeLabel = Label(L"START TIME:", 0);
  c_.hourBox = DropList(id::kHourBox, WS_TABSTOP);
  c_.hourLabel = Label(L"H", 0, SS_CENTER);
  c_.minuteBox = DropList(id::kMinuteBox, WS_TABSTOP);
  c_.minuteLabel = Label(L"M", 0, SS_CENTER);
  c_.autoStartLabel = Label(L"AUTO-START SHOW", id::kAutoStartLabel);
  c_.autoStartCheck = Button(L"", id::kAutoStartCheck, BS_AUTOCHECKBOX);
  c_.songCountText = Label(L"SONGS:", id::kSongCountText);
  c_.songCountExtra = Label(L"0", id::kSongCountExtra);
  c_.musicTimeText = Label(L"MUSIC TIME:", id::kMusicTimeText);
  c_.musicTimeExtra = Label(L"00:00:00", id::kMusicTimeExtra);
  c_.excessText = Label(L"", id::kExcessText);
  c_.setlistHeading = Label(L"SETLIST", id::kSetlistHeading);
  c_.setlistList = List(id::kSetlistList, LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY);
  c_.songBox = DropList(id::kSongBox);
  c_.addSong = Button(L"+", id::kAddSong);
  c_.addPause = Button(L"+ ADD PAUSE MARKER", id::kAddPause);
  c_.backToLive = Button(L"GO BACK TO LIVE MODE", 0);
  FillFixedLists();
  // The time boxes start at 00:00, which becomes the setting unless one was chosen before the
  // window existed (a remote command); then the boxes show that.
  if (!context_.engine.AutoStartSetting().HasTime()) context_.engine.SetAutoStartTime(0, 0);
  ShowAutoStart(false);
  HookList(c_.setlistList);

  const SharedFonts& fonts = frame_.Fonts();
  for (HWND control : {c_.backToLive, c_.addSong, c_.addPause, c_.setlistList, c_.songBox,
                       c_.excessText, c_.setlistHeading, c_.autoStartCheck}) {
    SetFont(control, fonts.normal22);
  }
  for (HWND control : {c_.songCountText, c_.songCountExtra, c_.musicTimeText, c_.musicTimeExtra,
                       c_.durationLabel, c_.startTimeLabel, c_.hourLabel, c_.minuteLabel,
                       c_.autoStartLabel, c_.durationBox, c_.hourBox, c_.minuteBox}) {
    SetFont(control, fonts.normal18);
  }
}

void SetupPage::FillFixedLists() {
  for (int minutes = 5; minutes <= 480; minutes += 5) {
    AddEntry(c_.durationBox, DurationChoiceText(minutes), minutes);
  }
  FillNumbers(c_.hourBox, 24);
  FillNumbers(c_.minuteBox, 60);
  SelectDurationMinutes(45);
  SendMessageW(c_.hourBox, CB_SETCURSEL, 0, 0);
  SendMessageW(c_.minuteBox, CB_SETCURSEL, 0, 0);
  EnableWindow(c_.hourBox, FALSE);
  EnableWindow(c_.minuteBox, FALSE);
  // The boxes' closed heights follow the layout (24 on the top row, 34 below).
  for (HWND small : {c_.durationBox, c_.hourBox, c_.minuteBox}) {
    SendMessageW(small, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), 18);
  }
  SendMessageW(c_.songBox, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), 28);
}

void SetupPage::ForgetControls() {
  c_ = {};
  rows_.clear();
}

void SetupPage::Enter() {
  Refresh();
  frame_.LayoutPage();
  frame_.Redraw();
}

void SetupPage::Layout(int w, int h) {
  const bool autoStart = IsAutoStartEnabled();
  Place(c_.durationLabel, 33, 46, 125, 26);
  Place(c_.durationBox, 158, 47, 100, 24);
  Place(c_.startTimeLabel, 280, 46, 90, 26);
  Place(c_.hourBox, 370, 47, 45, 24, autoStart);
  Place(c_.hourLabel, 417, 46, 16, 26);
  Place(c_.minuteBox, 435, 47, 45, 24, autoStart);
  Place(c_.minuteLabel, 482, 46, 16, 26);
  Place(c_.autoStartLabel, 280, 78, 125, 26);
  Place(c_.autoStartCheck, 405, 81, 20, 20);
  // The totals are painted by the page from these hidden holders.
  for (HWND holder : {c_.songCountText, c_.songCountExtra}) {
    SetWindowPos(holder, nullptr, 33, 115, w - 66, 24, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  for (HWND holder : {c_.musicTimeText, c_.musicTimeExtra}) {
    SetWindowPos(holder, nullptr, 33, 143, w - 66, 24, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SetWindowPos(c_.excessText, nullptr, 33, 171, w - 66, 24, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(c_.setlistHeading, nullptr, 15, 202, w - 30, 28, SWP_NOZORDER | SWP_NOACTIVATE);
  Place(c_.setlistList, 15, 230, w - 30, std::max(h - 378, 160));
  Place(c_.songBox, 15, h - 140, w - 74, 34);
  SetWindowTextW(c_.addSong, L"+");
  Place(c_.addSong, w - 51, h - 140, 36, 34);
  Place(c_.addPause, 15, h - 98, w - 30, 40);
  Place(c_.backToLive, 15, h - 50, w - 30, 40);
}

void SetupPage::Refresh() {
  if (!Window() || !c_.songBox || !c_.setlistList) return;
  const show::Setlist* setlist = ui_.setlist;
  const std::vector<host::ProjectRegion> regions = context_.host.EnumerateRegions();

  SendMessageW(c_.songBox, CB_RESETCONTENT, 0, 0);
  for (const host::ProjectRegion& region : regions) {
    if (region.regionId == kExcludedRegion) continue;
    bool listed = false;
    if (setlist) {
      for (const show::SetlistItem& item : setlist->Items()) {
        if (item.regionId == region.regionId) listed = true;
      }
    }
    if (listed) continue;
    const std::wstring name = region.name.empty() ? L"Song" : ToWide(region.name);
    AddEntry(c_.songBox, name + L" - " + MinutesSeconds(Length(region)), region.regionId);
  }
  if (SendMessageW(c_.songBox, CB_GETCOUNT, 0, 0) <= 0) {
    AddEntry(c_.songBox, L"All songs are already in the setlist", 0);
  }
  SendMessageW(c_.songBox, CB_SETCURSEL, 0, 0);

  SendMessageW(c_.setlistList, WM_SETREDRAW, FALSE, 0);
  SendMessageW(c_.setlistList, LB_RESETCONTENT, 0, 0);
  rows_.clear();
  double music = 0.0;
  uint64_t songs = 0;
  if (setlist) {
    for (int32_t i = 0; i < setlist->Count(); ++i) {
      const show::SetlistItem& item = setlist->At(i);
      SetupListRow row;
      row.regionId = item.regionId;
      row.isPause = item.isPause;
      row.autoStart = item.autoStart;
      if (item.isPause) {
        row.number = songs;
        row.name = L"PAUSE";
        row.durationText = L"--:--";
      } else {
        row.number = ++songs;
        row.autoStartAvailable = i == 0 || setlist->IsSong(i - 1);
        const host::ProjectRegion* region = FindIn(regions, item.regionId);
        row.name = region && !region->name.empty() ? ToWide(region->name)
                                                   : L"Song " + std::to_wstring(item.regionId);
        row.durationText = MinutesSeconds(region ? Length(*region) : 0.0);
        if (region) music += Length(*region);
      }
      const LRESULT added =
          SendMessageW(c_.setlistList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.name.c_str()));
      if (added < 0) break;
      rows_.push_back(std::move(row));
    }
  }
  SendMessageW(c_.setlistList, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(c_.setlistList, nullptr, TRUE);

  const double duration = context_.engine.Record().duration;
  SelectDurationMinutes(std::max(static_cast<int>(std::min(duration / 60.0 + 0.5, 1.0e6)), 5));

  SetWindowTextW(c_.songCountText, (L"SONGS: " + std::to_wstring(songs)).c_str());
  SetWindowTextW(c_.musicTimeText, (L"MUSIC TIME: " + HoursMinutesSeconds(music)).c_str());
  SetWindowTextW(c_.songCountExtra, L"");
  SetWindowTextW(c_.musicTimeExtra, L"");
  SetWindowTextW(c_.backToLive, L"GO BACK TO LIVE MODE");
  const std::wstring excess = music > duration ? L"THE SETLIST EXCEEDS THE SET TIME BY " +
                                                     HoursMinutesSeconds(music - duration)
                                               : std::wstring();
  SetWindowTextW(c_.excessText, excess.c_str());

  RECT client;
  GetClientRect(Window(), &client);
  const RECT band = Rect(0, 82, 560, 180);
  const RECT notice = ExcessRect(client.right);
  InvalidateRect(Window(), &band, FALSE);
  InvalidateRect(Window(), &notice, FALSE);
  UpdateWindow(Window());
}

bool SetupPage::SelectDurationMinutes(int minutes) {
  const LRESULT count = SendMessageW(c_.durationBox, CB_GETCOUNT, 0, 0);
  LRESULT best = -1;
  long bestDistance = LONG_MAX;
  for (LRESULT i = 0; i < count; ++i) {
    const auto data =
        static_cast<long>(SendMessageW(c_.durationBox, CB_GETITEMDATA, static_cast<WPARAM>(i), 0));
    const long distance = std::labs(data - minutes);
    if (distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  if (best < 0) return false;
  SendMessageW(c_.durationBox, CB_SETCURSEL, static_cast<WPARAM>(best), 0);
  return true;
}

void SetupPage::Paint(HDC dc, const RECT& client) {
  const int width = client.right;
  const RECT panel = Rect(15, 31, width - 15, 198);
  FillRectColour(dc, panel, colour::kPanel);
  RoundedFrame(dc, panel, 12, colour::kPanelEdge);
  {
    OwnedFont font = MakeFont(22, FW_NORMAL);
    DrawTextIn(dc, L"SETLIST", Rect(15, 204, width - 15, 232), DT_LEFT | DT_VCENTER | DT_SINGLELINE,
               colour::kSetupText, font.Get());
  }
  OwnedFont font = MakeFont(16, FW_NORMAL);
  const UINT left = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
  DrawTextIn(dc, WindowText(c_.songCountText), Rect(33, 115, width - 33, 139), left,
             colour::kSetupText, font.Get());
  DrawTextIn(dc, WindowText(c_.musicTimeText), Rect(33, 143, width - 33, 167), left,
             colour::kSetupText, font.Get());
  const std::wstring excess = WindowText(c_.excessText);
  if (!excess.empty()) {
    DrawTextIn(dc, excess, ExcessRect(width), DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX,
               colour::kInfoWarning, font.Get());
  }
}

void SetupPage::SelectRow(int row) {
  if (row >= 0 && row < static_cast<int>(rows_.size())) {
    SendMessageW(c_.setlistList, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
  }
  InvalidateRect(c_.setlistList, nullptr, TRUE);
}

void SetupPage::AddSelectedSong() {
  const LRESULT selected = SendMessageW(c_.songBox, CB_GETCURSEL, 0, 0);
  if (selected < 0) return;
  const LRESULT data = SendMessageW(c_.songBox, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0);
  // A full setlist takes nothing more; the message below is only about duplicates.
  if (data < 0 || (ui_.setlist && ui_.setlist->IsFull())) return;
  // The page is filled again by the operation's page change.
  if (!context_.operations.AddSong(static_cast<int32_t>(data))) {
    context_.messages.Show(Window(), "This song is already in the setlist.", kMessageTitle,
                           platform::MessageIcon::kWarning);
  }
}

void SetupPage::AddPauseItem() {
  context_.operations.AddPause();
}

void SetupPage::RunRowAction(int row, int action) {
  operations::UserOperations& operations = context_.operations;
  switch (action) {
    case kToggleAutoStart:
      if (operations.ToggleAutoStart(row)) SelectRow(row);
      return;
    case kMoveUp:
      if (operations.MoveItemUp(row)) SelectRow(row - 1);
      return;
    case kMoveDown:
      if (operations.MoveItemDown(row)) SelectRow(row + 1);
      return;
    case kRemove:
      if (!operations.RemoveItem(row)) {
        context_.messages.Show(Window(), "Could not remove the item.", kMessageTitle,
                               platform::MessageIcon::kError);
        return;
      }
      SelectRow(std::min(row, ui_.setlist ? ui_.setlist->Count() - 1 : -1));
      return;
    default:
      return;
  }
}

ListHook::Answer SetupPage::OnListMessage(HWND list, UINT message, WPARAM /*wParam*/,
                                          LPARAM lParam) {
  // No type-ahead here either, as on the live page's list.
  if (message == WM_CHAR) return {true, 0};
  if (message == WM_LBUTTONUP) {
    const int x = static_cast<short>(LOWORD(lParam));
    const int y = static_cast<short>(HIWORD(lParam));
    RECT client;
    GetClientRect(list, &client);
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    const int height = std::max(static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0)), 1);
    const int top = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    if (x >= 0 && y >= 0 && x < client.right && y < client.bottom) {
      const int row = top + y / height;
      if (row >= 0 && row < count && row < static_cast<int>(rows_.size())) {
        const SetupListRow& record = rows_[static_cast<size_t>(row)];
        const bool offersAutoStart = !record.isPause && record.autoStartAvailable;
        const int x0 = client.right - (offersAutoStart ? 152 : 114) - 3;
        const int cells = offersAutoStart ? 4 : 3;
        if (x >= x0) {
          const int cell = (x - x0) / kGlyphCellPitch;
          const bool inCell = (x - x0) % kGlyphCellPitch < kGlyphCellWidth;
          if (cell < cells && inCell) {
            const int action = offersAutoStart ? cell : cell + 1;
            PostMessageW(Window(), id::kSetlistRowAction,
                         MAKEWPARAM(static_cast<WORD>(row), static_cast<WORD>(action)), 0);
          }
        }
      }
    }
  }
  return {};
}

void SetupPage::OnDurationChanged() {
  const LRESULT selected = SendMessageW(c_.durationBox, CB_GETCURSEL, 0, 0);
  if (selected < 0) return;
  const LRESULT minutes =
      SendMessageW(c_.durationBox, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0);
  // The operation refreshes this page: the excess notice follows the new set time at once.
  context_.operations.SetShowDuration(static_cast<int32_t>(minutes));
}

void SetupPage::OnAutoStartClicked() {
  const bool checked = SendMessageW(c_.autoStartCheck, BM_GETCHECK, 0, 0) == BST_CHECKED;
  context_.operations.SetAutoStartEnabled(checked);  // the boxes follow through ShowAutoStart
  if (checked) SetFocus(c_.hourBox);
}

void SetupPage::OnAutoStartTimeChanged() {
  const auto hour = static_cast<int>(SendMessageW(c_.hourBox, CB_GETCURSEL, 0, 0));
  const auto minute = static_cast<int>(SendMessageW(c_.minuteBox, CB_GETCURSEL, 0, 0));
  if (context_.operations.SetAutoStartTime(hour, minute)) return;  // shown through ShowAutoStart
  banner_.Clear();
  frame_.InvalidateAll(true);
}

bool SetupPage::OnCommand(int id, int code, HWND control) {
  if (control && control == c_.backToLive) {
    context_.operations.BackToLive();
    return true;
  }
  switch (id) {
    case id::kDurationBox:
      if (code == CBN_SELCHANGE) OnDurationChanged();
      return true;
    case id::kAutoStartCheck:
      if (Clicked(code)) OnAutoStartClicked();
      return true;
    case id::kHourBox:
    case id::kMinuteBox:
      if (code == CBN_SELCHANGE) OnAutoStartTimeChanged();
      return true;
    case id::kAddSong:
      if (Clicked(code)) AddSelectedSong();
      return true;
    case id::kAddPause:
      if (Clicked(code)) AddPauseItem();
      return true;
    default:
      return false;
  }
}

bool SetupPage::MeasureItem(MEASUREITEMSTRUCT& item) {
  return MeasureListRows(item, id::kSetlistList, kSongRowHeight);
}

bool SetupPage::DrawItem(const DRAWITEMSTRUCT& item) {
  if (item.hwndItem != c_.setlistList) return false;
  PaintSetlistRow(item, RowToDraw(rows_, item), frame_.Fonts().normal22.Get());
  return true;
}

ControlLook SetupPage::LookOf(HWND control) const {
  if (control == c_.autoStartCheck) return ControlLook::kCheckOnWindow;
  for (HWND painted :
       {c_.durationLabel, c_.startTimeLabel, c_.hourLabel, c_.minuteLabel, c_.autoStartLabel,
        c_.songCountText, c_.musicTimeText, c_.excessText, c_.setlistHeading}) {
    if (control == painted) return ControlLook::kPaintedLabel;
  }
  return ControlLook::kStandard;
}

bool SetupPage::IsAutoStartEnabled() const {
  return context_.engine.AutoStartSetting().enabled;
}

void SetupPage::ShowAutoStart(bool reset) {
  if (!Window()) return;
  const show::AutoStartSettings& settings = context_.engine.AutoStartSetting();
  const BOOL enabled = settings.enabled ? TRUE : FALSE;
  banner_.Clear();
  SendMessageW(c_.autoStartCheck, BM_SETCHECK, enabled ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageW(c_.hourBox, CB_SETCURSEL, static_cast<WPARAM>(std::max(settings.hour, 0)), 0);
  SendMessageW(c_.minuteBox, CB_SETCURSEL, static_cast<WPARAM>(std::max(settings.minute, 0)), 0);
  EnableWindow(c_.hourBox, enabled);
  EnableWindow(c_.minuteBox, enabled);
  if (reset) {
    // A cleared setting greys its caption too, until the page is laid out again.
    EnableWindow(c_.autoStartLabel, FALSE);
    return;
  }
  frame_.InvalidateAll(true);
}

}  // namespace quorvane::window
