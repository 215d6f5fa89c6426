// Live control inside the playing song: vamp (the section repeats until released) and jumps to
// another section, landing on the bar line so the band keeps the beat. The host does the looping
// (repeat over a time selection) and the landing (smooth seek at the bar, as chained songs do);
// this record decides when to ask and gives every host setting back when it is done.
#pragma once

#include <cstdint>
#include <vector>

#include "host/outcome.h"
#include "show/song_sections.h"

namespace quorvane::host {
class HeldSettings;
class HostApi;
}  // namespace quorvane::host

namespace quorvane::show {

// When a queued jump lands.
enum class JumpWhen : int32_t { kNow = 0, kNextBar = 1, kSectionEnd = 2 };

class LiveSections {
 public:
  LiveSections(host::HostApi& host, host::HeldSettings& held) : host_(host), held_(held) {}

  // The song the player plays now (-1: none). A new song reads its sections afresh from the host
  // and drops the vamp and any queued jump of the song before.
  void FollowSong(int32_t regionId);
  // Per tick, with the play position: notices the section playing and a jump that landed, and
  // asks the host for a jump due at the end of this section once its last bar has begun.
  void Tick(double position);
  // Everything stops: the vamp and a queued jump dropped, every host setting given back (stop,
  // end of the show, project change, unload).
  void Release();

  // `songMoving`: a song plays and no chain is under way into the next one.
  host::Outcome SetVamp(bool enabled, bool songMoving);
  host::Outcome QueueJump(int32_t index, JumpWhen when, bool songMoving);
  // The neighbour at the next bar line; previous within the first bar of a section is the one
  // before it, later in the section its own start.
  host::Outcome QueueNext(bool songMoving);
  host::Outcome QueuePrevious(bool songMoving);
  host::Outcome CancelJump();

  const std::vector<SongSection>& Sections() const { return sections_; }
  int32_t SectionIndex() const { return sectionIndex_; }
  bool Vamping() const { return vamp_; }
  // A chain into the next song waits while the band vamps or a jump is on its way.
  bool HoldsChain() const { return vamp_ || queued_.index >= 0; }
  int32_t QueuedSection() const { return queued_.index; }
  // The project time the queued jump happens at; 0 while none is queued or its time is not
  // known yet (the end of a section is known, the bar is known once asked).
  double QueuedAt() const { return queued_.index >= 0 ? queued_.at : 0.0; }

 private:
  struct QueuedJump {
    int32_t index = -1;
    JumpWhen when = JumpWhen::kNextBar;
    double at = 0.0;
    bool asked = false;  // the host was told to seek
    // For a jump at a section's end: the section it waits in and where its last bar begins.
    int32_t waitsIn = -1;
    double askFrom = 0.0;
  };

  host::Outcome Refusal(bool songMoving) const;
  // Tells the host to seek to the queued section (at the bar line, or at once); false when it
  // cannot.
  bool AskHostToJump();
  void StopVamp();
  void DropJump();

  host::HostApi& host_;
  host::HeldSettings& held_;
  int32_t regionId_ = -1;
  std::vector<SongSection> sections_;
  int32_t sectionIndex_ = -1;
  double lastPosition_ = 0.0;
  bool vamp_ = false;
  QueuedJump queued_;
};

}  // namespace quorvane::show
