// How the practise session tells the views (the practise and sound-check pages) that its selection
// changed. The session knows nothing of windows; the views add themselves to it (any number of
// them), and a session without views tells nobody.
#pragma once

#include <cstdint>

namespace quorvane::practise {

class PractiseListener {
 public:
  virtual ~PractiseListener() = default;

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
