// The window's state record. It exists from load to unload whether or not the window is open;
// the views of the model (ModelViews), the state document and the remote commands read and write
// parts of it, and the window adds the controls and the drawing through `window`. The model
// itself (show engine, practise session) never sees it.
#pragma once

#include <cstdint>
#include <set>

#include "practise/track_row.h"
#include "show/show_snapshot.h"

#include "ui/ui_page.h"
#include "ui/window_port.h"

namespace quorvane::show {
class Setlist;
}

namespace quorvane::ui {

class PluginUI {
 public:
  show::Setlist* setlist = nullptr;

  practise::BackingTrackRows backingTracks;
  int32_t tracksTopIndex = 0;

  show::ShowSnapshot snapshot;  // the window's copy, taken whole on every sync

  show::LiveTransport liveTransport = show::LiveTransport::kNext;
  UiPage page = UiPage::kModeSelect;
  WindowPort* window = nullptr;  // null while no window exists

  bool showMarkerNames = true;
  bool showTimeSignatureAndBpm = true;

  int32_t aboutScroll = 0;
  int32_t aboutScrollMax = 0;

  // Played songs of this show. A mark belongs to the song, not to its place in the setlist, so
  // that it follows the song when the setlist is edited during the show.
  void MarkItemPlayed(int32_t index);
  void ClearPlayedItems();  // also sets the live transport back to NEXT
  bool IsItemPlayed(int32_t index) const;
  // The setlist indexes of the played songs, as they stand now.
  std::set<int32_t> PlayedIndexes() const;

  // Changes the live transport choice; re-lays the live page when the value changed.
  void SetLiveTransport(show::LiveTransport transport);

  bool IsLivePage() const { return page == UiPage::kLive || page == UiPage::kFinished; }

 private:
  std::set<int32_t> playedRegions_;  // region numbers of the songs played (songs are unique)
};

}  // namespace quorvane::ui
