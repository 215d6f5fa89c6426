// The window's state record: what the window shows (its page, scroll, display options, its copy
// of the engine's snapshot). It exists from load to unload whether or not the window is open;
// the views of the model (ModelViews), the state document and the remote commands read and write
// parts of it, and the window adds the controls and the drawing through `window`. The model
// itself (show engine, practise session) never sees it, and the model's own state (the played
// marks, the play button's choice) stays in the model.
#pragma once

#include <cstdint>

#include "practise/track_row.h"
#include "show/show_snapshot.h"

#include "ui/rig_status.h"
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

  UiPage page = UiPage::kModeSelect;
  WindowPort* window = nullptr;  // null while no window exists

  bool showMarkerNames = true;
  bool showTimeSignatureAndBpm = true;

  RigStatus rig;  // the two-rig show, as the pages show it

  // The "Ableton Link" option (kept with the host's settings as "linkEnabled") and what the core
  // last saw of its Link session.
  struct LinkStatus {
    bool option = false;
    bool joined = false;
    int32_t peers = 0;
  };
  LinkStatus link;

  int32_t aboutScroll = 0;
  int32_t aboutScrollMax = 0;

  bool IsLivePage() const { return page == UiPage::kLive || page == UiPage::kFinished; }
};

}  // namespace quorvane::ui
