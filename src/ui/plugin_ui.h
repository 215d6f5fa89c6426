// The window's state record. It exists from load to unload whether or not the window is open;
// the engine, the practise session, the state document and the remote commands read and write
// parts of it, and the window adds the controls and the drawing through `window`.
#pragma once

#include <cstdint>
#include <functional>
#include <set>

#include "ui/backing_track_row.h"
#include "ui/show_snapshot.h"
#include "ui/ui_page.h"
#include "ui/window_port.h"

namespace quorvane::show {
class Setlist;
}

namespace quorvane::ui {

// The callbacks the window raises for its main actions, filled at load by the callback binding.
struct CallbackSlots {
  std::function<void()> onLiveMode;
  std::function<void()> onPractiseMode;
  std::function<void()> onExitMode;
  std::function<void()> onStartShow;
  std::function<void()> onEndShow;
  std::function<void()> onPlayNext;
  std::function<void()> onStop;
  std::function<void()> onPlaySelected;
  std::function<void(int32_t)> onSelectItem;
  std::function<void()> onShowSetup;
  std::function<void()> onBackToLive;
  std::function<void()> onPractisePlay;
  std::function<void()> onPractiseStop;
  std::function<void()> onLoopToggled;
  std::function<void()> onSoundCheckMode;
  std::function<BackingTrackRows()> getBackingTracks;
  std::function<bool(int32_t, bool)> onTrackMute;
  std::function<bool(int32_t, bool)> onTrackSolo;
  std::function<void(double)> onShowDurationChanged;
};

// The practise selection, which the practise and sound-check pages and remote commands edit and
// a practise run reads when it starts.
struct PractiseSelection {
  int32_t songRegionId = -1;  // -1: none
  int32_t startChoice = -2;   // -2: start of song; n >= 0: the n-th marker of the song
  int32_t stopChoice = -1;    // -1: end of song; n >= 0: the n-th marker of the song
  int32_t preCountBeats = 0;  // 0, 4 or 8
  bool loopEnabled = false;
  double playbackRate = 1.0;
};

class PluginUI {
 public:
  CallbackSlots slots;
  show::Setlist* setlist = nullptr;

  BackingTrackRows backingTracks;
  int32_t tracksTopIndex = 0;

  ShowSnapshot snapshot;  // the window's copy, taken whole on every sync

  LiveTransport liveTransport = LiveTransport::kNext;
  UiPage page = UiPage::kModeSelect;
  WindowPort* window = nullptr;  // null while no window exists

  PractiseSelection practise;

  bool showMarkerNames = true;
  bool showTimeSignatureAndBpm = true;

  int32_t aboutScroll = 0;
  int32_t aboutScrollMax = 0;

  // Played songs of this show.
  void MarkItemPlayed(int32_t index);
  void ClearPlayedItems();  // also sets the live transport back to NEXT
  bool IsItemPlayed(int32_t index) const;
  const std::set<int32_t>& PlayedIndexes() const { return playedIndexes_; }

  // Changes the live transport choice; re-lays the live page when the value changed.
  void SetLiveTransport(LiveTransport transport);

  bool IsLivePage() const { return page == UiPage::kLive || page == UiPage::kFinished; }

  // The auto-start controls of the setup page; while no window exists they read as not enabled
  // with no selection and change nothing.
  bool IsAutoStartEnabled() const;
  // Selected hour and minute, -1 when none; true when both are valid.
  bool GetAutoStartTime(int* hour, int* minute) const;
  void SetAutoStartEnabled(bool enabled);
  void ResetAutoStart();

 private:
  std::set<int32_t> playedIndexes_;
};

}  // namespace quorvane::ui
