#include "window/live_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/host_api.h"
#include "show/setlist.h"
#include "show/show_engine.h"
#include "window/control_ids.h"
#include "window/text.h"
#include "window/theme.h"

namespace quorvane::window {
namespace {

constexpr char kMessageTitle[] = "Quorvane";
constexpr wchar_t kPlaySelectedCaption[] = L"PLAY SELECTED SONG";
constexpr wchar_t kReplayCaption[] = L"RE-PLAY CURRENT SONG";

// The panel rows' rectangles, left and right insets of 15.
RECT StatusRow(int width) {
  return Rect(15, 83, width - 15, 108);
}
RECT SongRow(int width) {
  return Rect(15, 118, width - 15, 150);
}
RECT TimeRow(int width) {
  return Rect(15, 164, width - 15, 194);
}
RECT DelayRow(int width) {
  return Rect(15, 201, width - 15, 226);
}

std::string SongName(const host::ProjectRegion* region, int32_t regionId) {
  if (region && !region->name.empty()) return region->name;
  return "Song " + std::to_string(regionId);
}

const host::ProjectRegion* FindIn(const std::vector<host::ProjectRegion>& regions, int32_t id) {
  for (const host::ProjectRegion& region : regions) {
    if (region.regionId == id) return &region;
  }
  return nullptr;
}

}  // namespace

void LivePage::CreateControls() {
  c_.startShow = Button(L"START SHOW", id::kStartShow);
  c_.endShow = Button(L"END SHOW", id::kEndShow);
  c_.playNext = Button(L"PLAY NEXT SONG", id::kPlayNext);
  c_.liveStop = Button(L"STOP", id::kLiveStop);
  c_.playSelected = Button(kPlaySelectedCaption, id::kPlaySelected);
  // The owner-drawn lists keep their rows' names as item text too, for screen readers.
  c_.liveList = List(id::kLiveList, LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY);
  c_.showSetup = Button(L"SHOW SETUP", id::kShowSetup);
  c_.exitLive = Button(L"EXIT LIVE MODE", id::kExitLive);
  HookList(c_.liveList);
  SetFont(c_.liveList, frame_.Fonts().bold22);
  for (HWND control : {c_.startShow, c_.endShow, c_.playNext, c_.liveStop, c_.playSelected,
                       c_.showSetup, c_.exitLive}) {
    SetFont(control, frame_.Fonts().normal22);
  }
  scrolledTo_ = -999999;
}

void LivePage::ForgetControls() {
  c_ = {};
  rows_.clear();
}

void LivePage::Enter() {
  statusText_.clear();
  songText_.clear();
  showTimeText_.clear();
  timeSignatureText_.clear();
  tempoText_.clear();
  delayText_.clear();
  banner_.Clear();
  RebuildList();
  RefreshTransportButtons();
  frame_.LayoutPage();
  RefreshPanel();
  frame_.Redraw();
}

void LivePage::Layout(int w, int h) {
  const show::ShowStatus status = ui_.snapshot.status;
  const bool prepared = status == show::ShowStatus::kPrepared;
  Place(c_.startShow, 15, 27, (w - 40) / 2, 44);
  Place(c_.endShow, (w - 40) / 2 + 25, 27, (w - 40) / 2, 44);
  const int y = prepared ? 73 : 235;
  Place(c_.playNext, 15, y, w - 30, 50);
  Place(c_.playSelected, 15, y, w - 30, 50);
  Place(c_.liveStop, 15, prepared ? 130 : 292, w - 30, 48);
  int top = 349;
  if (prepared) top = context_.engine.AutoStartSetting().enabled ? 112 : 73;
  Place(c_.liveList, 15, top, w - 30, std::max(h - top - 100, 100));
  SetWindowTextW(c_.showSetup, L"SHOW SETUP");
  Place(c_.showSetup, 15, h - 92, w - 30, 38);
  Place(c_.exitLive, 15, h - 48, w - 30, 38);
  RefreshTransportButtons();
}

void LivePage::RefreshTransportButtons() {
  // Off the live page its controls stay as the last re-layout left them: hidden.
  if (!Window() || !ui_.IsLivePage()) return;

  const show::ShowSnapshot& snapshot = ui_.snapshot;
  if (snapshot.status == show::ShowStatus::kPrepared) {
    for (HWND control : {c_.playNext, c_.playSelected, c_.liveStop}) {
      Show(control, false);
      Enable(control, false);
    }
    Show(c_.startShow, true);
    Enable(c_.startShow, true);
    Show(c_.endShow, true);
    Enable(c_.endShow, false);
    Show(c_.liveList, true);
    Enable(c_.liveList, true);
    Show(c_.showSetup, true);
    Enable(c_.showSetup, true);
    Show(c_.exitLive, true);
    Enable(c_.exitLive, true);
    return;
  }

  const bool live = snapshot.status == show::ShowStatus::kLive;
  Show(c_.startShow, true);
  Enable(c_.startShow, !live);
  Show(c_.endShow, true);
  Enable(c_.endShow, live);
  const show::LiveTransport mode =
      live ? context_.engine.LiveTransportChoice() : show::LiveTransport::kSelected;
  const bool playing = snapshot.playing;

  const bool next = mode == show::LiveTransport::kNext;
  Show(c_.playNext, next);
  const int32_t count = ui_.setlist ? ui_.setlist->Count() : 0;
  Enable(c_.playNext,
         next && !playing && snapshot.currentIndex >= 0 && snapshot.currentIndex < count - 1);
  SetTextIfChanged(c_.playNext, L"PLAY NEXT SONG");

  Show(c_.playSelected, !next);
  Enable(c_.playSelected, !next && !playing);
  if (!next) {
    SetTextIfChanged(c_.playSelected,
                     mode == show::LiveTransport::kReplay ? kReplayCaption : kPlaySelectedCaption);
  }

  Show(c_.liveStop, true);
  Enable(c_.liveStop, playing);
  InvalidateRect(c_.liveStop, nullptr, FALSE);

  SetTextIfChanged(c_.showSetup, L"SHOW SETUP");
  Show(c_.showSetup, true);
  Enable(c_.showSetup, !live);
  Show(c_.exitLive, true);
  Enable(c_.exitLive, !live);
  Show(c_.liveList, true);
  Enable(c_.liveList, !playing);
}

std::string LivePage::CurrentItemDisplayName() const {
  const show::Setlist* setlist = ui_.setlist;
  if (!setlist) return {};
  const int32_t index = setlist->CurrentIndex();
  if (!setlist->IsValidIndex(index)) return {};
  const show::SetlistItem& item = setlist->At(index);
  if (item.isPause) return "PAUSE";

  host::HostApi& host = context_.host;
  host::ProjectRegion region;
  const bool found = host.FindRegion(item.regionId, &region);
  std::string text = SongName(found ? &region : nullptr, item.regionId);
  if (!found || !ui_.showMarkerNames || !ui_.IsLivePage()) return text;

  const double position = host.GetPlayPositionSafe();
  const host::ProjectMarker* reached = nullptr;
  const std::vector<host::ProjectMarker> markers = host.EnumerateMarkersInRegion(region);
  for (const host::ProjectMarker& marker : markers) {
    if (marker.position < region.start || marker.position >= region.end) continue;
    if (marker.position > position) continue;
    // On equal positions the later marker wins.
    if (!reached || marker.position >= reached->position) reached = &marker;
  }
  if (reached && !reached->name.empty()) text += " - " + reached->name;
  return text;
}

// The section playing, a vamp on it and a queued jump, for the status row: "  |  Chorus  |  VAMP".
std::wstring LivePage::SectionStatus(const show::LiveSections& live) {
  const std::vector<show::SongSection>& sections = live.Sections();
  const auto name = [&sections](int32_t index) {
    const std::string& named = sections[static_cast<size_t>(index)].name;
    return named.empty() ? L"SECTION " + std::to_wstring(index + 1) : ToWide(named);
  };
  const int32_t index = live.SectionIndex();
  if (index < 0 || index >= static_cast<int32_t>(sections.size())) return {};
  std::wstring text = L"  |  " + name(index);
  if (live.Vamping()) text += L"  |  VAMP";
  const int32_t queued = live.QueuedSection();
  if (queued >= 0 && queued < static_cast<int32_t>(sections.size())) {
    text += L"  |  NEXT: " + name(queued);
  }
  return text;
}

void LivePage::RefreshPanel() {
  if (!Window()) return;
  host::HostApi& host = context_.host;
  const show::ShowSnapshot& snapshot = ui_.snapshot;

  const std::wstring song = ToWide(CurrentItemDisplayName());
  const std::wstring showTime = HoursMinutesSeconds(snapshot.elapsed);

  bool timeRowChanged = false;
  const double position = host.GetPlayPositionSafe();
  host::TimeSignatureAndBpm signature;
  const bool known = host.GetTimeSignatureAndBpmAt(position, &signature);
  if (known && signature.numerator > 0 && signature.denominator > 0 &&
      std::isfinite(signature.bpm) && signature.bpm > 0.0) {
    char text[32];
    std::snprintf(text, sizeof text, "%d/%d", signature.numerator, signature.denominator);
    const std::wstring timeSignature = Widen(text);
    const double whole = std::round(signature.bpm);
    if (std::fabs(signature.bpm - whole) <= 0.01) {
      std::snprintf(text, sizeof text, "%.0f", signature.bpm);
    } else {
      std::snprintf(text, sizeof text, "%.2f", signature.bpm);
    }
    const std::wstring tempo = Widen(text);
    timeRowChanged = timeSignature != timeSignatureText_ || tempo != tempoText_;
    timeSignatureText_ = timeSignature;
    tempoText_ = tempo;
  } else {
    if (timeSignatureText_.empty()) {
      timeSignatureText_ = L"--";
      timeRowChanged = true;
    }
    if (tempoText_.empty()) {
      const double divided = host.TimeMap_GetDividedBpmAtTime(position);
      char text[32];
      if (divided > 0.0) {
        std::snprintf(text, sizeof text, "%.0f", divided);
      } else {
        std::snprintf(text, sizeof text, "--");
      }
      tempoText_ = Widen(text);
      timeRowChanged = true;
    }
  }

  std::wstring status = L"SHOW READY";
  if (snapshot.status == show::ShowStatus::kLive) {
    status = snapshot.playing ? L"PLAYING" + SectionStatus(context_.engine.Sections()) : L"STOPPED";
    // Until the next song starts: the show went on after the host was restarted.
    if (snapshot.resumed) status += L"  |  SHOW RESUMED AFTER A RESTART";
  } else if (snapshot.status == show::ShowStatus::kFinished) {
    status = L"SHOW FINISHED";
  }
  std::wstring delay;
  if (snapshot.hasDelay) delay = L"DELAY  " + HoursMinutesSeconds(snapshot.delay);

  RECT client;
  GetClientRect(Window(), &client);
  const int width = client.right;
  const auto update = [this](std::wstring& stored, const std::wstring& now, const RECT& row,
                             bool force) {
    const bool changed = stored != now;
    if (changed) stored = now;
    if (changed || force) InvalidateRect(Window(), &row, FALSE);
  };
  update(statusText_, status, StatusRow(width), false);
  update(songText_, song, SongRow(width), false);
  update(showTimeText_, showTime, TimeRow(width), timeRowChanged);
  update(delayText_, delay, DelayRow(width), false);
}

void LivePage::RebuildList() {
  if (!Window() || !c_.liveList) return;
  SendMessageW(c_.liveList, WM_SETREDRAW, FALSE, 0);
  SendMessageW(c_.liveList, LB_RESETCONTENT, 0, 0);
  rows_.clear();
  const show::Setlist* setlist = ui_.setlist;
  if (setlist) {
    const std::vector<host::ProjectRegion> regions = context_.host.EnumerateRegions();
    uint64_t songNumber = 0;
    for (int32_t i = 0; i < setlist->Count(); ++i) {
      const show::SetlistItem& item = setlist->At(i);
      LiveRow row;
      row.isPause = item.isPause;
      row.autoStart = item.autoStart;
      if (item.isPause) {
        row.name = L"PAUSE";
      } else {
        row.songNumber = ++songNumber;
        const host::ProjectRegion* region = FindIn(regions, item.regionId);
        row.name = ToWide(SongName(region, item.regionId));
        row.durationText = MinutesSeconds(region ? region->end - region->start : 0.0);
        row.played = context_.engine.Played().IsPlayed(i);
      }
      const LRESULT added =
          SendMessageW(c_.liveList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.name.c_str()));
      if (added < 0) break;
      rows_.push_back(std::move(row));
      if (i == ui_.snapshot.currentIndex)
        SendMessageW(c_.liveList, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
    }
  }
  SendMessageW(c_.liveList, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(c_.liveList, nullptr, TRUE);
}

void LivePage::ScrollList() {
  if (!Window() || rows_.empty()) return;
  const int count = static_cast<int>(rows_.size());
  const int current = ui_.snapshot.currentIndex;
  SendMessageW(c_.liveList, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  if (current >= 0 && current < count) {
    SendMessageW(c_.liveList, LB_SETCURSEL, static_cast<WPARAM>(current), 0);
  }
  RECT client;
  GetClientRect(c_.liveList, &client);
  const int rowHeight =
      std::max(static_cast<int>(SendMessageW(c_.liveList, LB_GETITEMHEIGHT, 0, 0)), 1);
  const int visible = std::max(static_cast<int>(client.bottom) / rowHeight, 1);
  if (current + 1 >= count) return;
  const int target = std::min(count - 1, current + 2);
  const int top = static_cast<int>(SendMessageW(c_.liveList, LB_GETTOPINDEX, 0, 0));
  if (target < top + visible) return;
  SendMessageW(c_.liveList, LB_SETTOPINDEX, static_cast<WPARAM>(std::max(target - visible + 1, 0)),
               0);
}

void LivePage::OnSelectionChanged() {
  const LRESULT selected = SendMessageW(c_.liveList, LB_GETCURSEL, 0, 0);
  if (selected < 0) return;
  const bool wasPlaying = ui_.snapshot.playing;
  const int32_t wasCurrent = ui_.snapshot.currentIndex;
  ExplainRefusal(context_, Window(), context_.operations.SelectItem(static_cast<int32_t>(selected)),
                 kMessageTitle);
  if (!Window()) return;
  ui_.snapshot.currentIndex = wasPlaying ? wasCurrent : static_cast<int32_t>(selected);
  ScrollList();
}

ListHook::Answer LivePage::OnListMessage(HWND /*list*/, UINT message, WPARAM /*wParam*/,
                                         LPARAM /*lParam*/) {
  // A list with item text jumps to the row a typed character begins: a stray key on stage would
  // pick another song. The arrow keys come as WM_KEYDOWN and still move the selection.
  return {message == WM_CHAR, 0};
}

void LivePage::RefreshTransport() {
  if (!Window() || !ui_.IsLivePage()) return;
  frame_.LayoutPage();
  RefreshTransportButtons();
  frame_.Redraw();
}

void LivePage::ResetAfterShowEnd() {
  if (!Window()) return;
  RebuildList();
  RefreshTransportButtons();
  frame_.LayoutPage();
  RefreshPanel();
  frame_.Redraw();
}

void LivePage::Sync(bool relaid) {
  RefreshPanel();
  if (ui_.snapshot.currentIndex != scrolledTo_) {
    ScrollList();
    scrolledTo_ = ui_.snapshot.currentIndex;
  }
  if (relaid) RefreshTransportButtons();
}

bool LivePage::OnCommand(int id, int code, HWND /*control*/) {
  operations::UserOperations& operations = context_.operations;
  switch (id) {
    case id::kStartShow:
      operations.StartShow();
      return true;
    case id::kEndShow:
      operations.EndShow();
      return true;
    case id::kPlayNext:
      operations.PlayNext();
      return true;
    case id::kLiveStop:
      operations.Stop();
      return true;
    case id::kPlaySelected:
      operations.PlaySelected();
      return true;
    case id::kShowSetup:
      operations.OpenSetup();
      return true;
    case id::kLiveList:
      if (code == LBN_SELCHANGE) OnSelectionChanged();
      return true;
    case id::kExitLive:
      LeaveMode();
      return true;
    default:
      return false;
  }
}

bool LivePage::MeasureItem(MEASUREITEMSTRUCT& item) {
  return MeasureListRows(item, id::kLiveList, kSongRowHeight);
}

bool LivePage::DrawItem(const DRAWITEMSTRUCT& item) {
  if (item.hwndItem != c_.liveList) return false;
  PaintLiveRow(item, RowToDraw(rows_, item), frame_.Fonts().bold22.Get());
  return true;
}

void LivePage::Paint(HDC dc, const RECT& client) {
  if (ui_.snapshot.status == show::ShowStatus::kPrepared) {
    banner_.Paint(dc, client.right);
  } else {
    PaintPanel(dc, client.right);
  }
}

void LivePage::PaintPanel(HDC dc, int width) {
  const RECT panel = Rect(15, 75, width - 15, 240);
  FillRectColour(dc, panel, colour::kPanel);
  RoundedFrame(dc, panel, 12, colour::kPanelEdge);
  const UINT centred = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
  {
    OwnedFont font = MakeFont(22, FW_NORMAL);
    DrawTextIn(dc, statusText_, StatusRow(width), centred, colour::kWhite, font.Get());
  }
  {
    OwnedFont font = MakeFont(22, FW_BOLD);
    DrawTextIn(dc, ToWide(CurrentItemDisplayName()), SongRow(width), centred, colour::kAccent,
               font.Get());
  }
  {
    std::wstring line = L"Show Time: " + showTimeText_;
    if (ui_.showTimeSignatureAndBpm) {
      line += L"      |      Time Signature: " +
              (timeSignatureText_.empty() ? std::wstring(L"--") : timeSignatureText_);
      line += L"      |      BPM: " + (tempoText_.empty() ? std::wstring(L"--") : tempoText_);
    }
    OwnedFont font = MakeFont(16, FW_NORMAL);
    DrawTextIn(dc, line, TimeRow(width), centred, colour::kLiveTimer, font.Get());
  }
  if (!delayText_.empty()) {
    OwnedFont font = MakeFont(22, FW_BOLD);
    DrawTextIn(dc, delayText_, DelayRow(width), centred, colour::kDelay, font.Get());
  }
}

}  // namespace quorvane::window
