// How the show engine tells the views (the window, whatever else shows the show) about changes
// they follow, and the one thing it asks of them. The engine knows nothing of windows: the views
// implement this and add themselves to the engine (any number of them); an engine without views
// tells nobody.
#pragma once

#include <cstdint>

#include "show/show_snapshot.h"

namespace quorvane::show {

class ShowListener {
 public:
  virtual ~ShowListener() = default;

  // The show starts by itself only while the live page is in front (of any view).
  virtual bool LivePageShown() const { return false; }

  // The setlist was loaded anew (load, project change).
  virtual void SetlistLoaded() {}
  // Played marks of this show (the engine's Played()): one song marked, or all forgotten.
  virtual void SongPlayed(int32_t /*index*/) {}
  virtual void PlayedCleared() {}
  // What the live page's play button does next changed (the engine's LiveTransportChoice()).
  virtual void LiveTransportChanged(LiveTransport /*transport*/) {}
  // A show started: the live page comes to the front.
  virtual void ShowStarted(ShowStatus /*status*/) {}
  // The auto-start settings changed (`reset`: cleared on a project change or leaving the mode).
  virtual void AutoStartChanged(bool /*reset*/) {}
};

}  // namespace quorvane::show
