// How the show engine tells the views (the window, whatever else shows the show) about changes
// they follow, and the one thing it asks of them. The engine knows nothing of windows: the views
// implement this, and an engine without views uses the defaults, which do nothing.
#pragma once

#include <cstdint>

#include "show/show_snapshot.h"

namespace quorvane::show {

class ShowListener {
 public:
  virtual ~ShowListener() = default;

  // The owner of the engine's message boxes (the main window's handle), or null.
  virtual void* MessageOwner() const { return nullptr; }
  // The show starts by itself only while the live page is in front.
  virtual bool LivePageShown() const { return false; }

  // The setlist was loaded anew (load, project change).
  virtual void SetlistLoaded() {}
  // Played marks of this show: one song finished, or all forgotten.
  virtual void SongPlayed(int32_t /*index*/) {}
  virtual void PlayedCleared() {}
  // What the live page's play button does next.
  virtual void LiveTransportChanged(LiveTransport /*transport*/) {}
  // A show started: the live page comes to the front.
  virtual void ShowStarted(ShowStatus /*status*/) {}
  // The auto-start settings changed (`reset`: cleared on a project change or leaving the mode).
  virtual void AutoStartChanged(bool /*reset*/) {}
};

}  // namespace quorvane::show
