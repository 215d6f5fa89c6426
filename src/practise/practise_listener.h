// How the practise session tells the views (the practise and sound-check pages) that its selection
// changed. The session knows nothing of windows; a session without views uses the defaults.
#pragma once

#include <cstdint>

namespace quorvane::practise {

class PractiseListener {
 public:
  virtual ~PractiseListener() = default;

  // The owner of the session's message boxes (the main window's handle), or null.
  virtual void* MessageOwner() const { return nullptr; }
  // Another song: its start and stop lists are filled anew.
  virtual void SongSelected() {}
  // The start (stop) choice changed; false when the view has no entry carrying it.
  virtual bool StartChoiceSelected(int32_t /*choice*/) { return true; }
  virtual bool StopChoiceSelected(int32_t /*choice*/) { return true; }
  // The rate changed to the `index`-th entry of kPlaybackRateTable.
  virtual void RateSelected(int /*index*/) {}
  virtual void PrecountChanged(int32_t /*beats*/) {}
  virtual void LoopChanged(bool /*on*/) {}
};

}  // namespace quorvane::practise
