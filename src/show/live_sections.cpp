#include "show/live_sections.h"

#include <algorithm>
#include <cmath>

#include "host/held_settings.h"
#include "host/host_api.h"
#include "show/bar_grid.h"

namespace quorvane::show {
namespace {

constexpr host::Holder kHolder = host::Holder::kLiveSection;
// A position that moved back by more than this was a jump (or a loop's wrap), not play.
constexpr double kBackwards = 0.000001;

}  // namespace

void LiveSections::FollowSong(int32_t regionId) {
  if (regionId == regionId_) return;
  StopVamp();
  DropJump();
  regionId_ = regionId;
  sections_.clear();
  sectionIndex_ = -1;
  if (regionId < 0) return;
  host::ProjectRegion region;
  std::vector<host::ProjectMarker> markers;
  if (host_.FindRegionNow(regionId, &region, &markers)) {
    sections_ = SectionsOf(region, std::move(markers));
  }
  lastPosition_ = host_.GetPlayPositionSafe();
  sectionIndex_ = SectionAt(sections_, lastPosition_);
}

void LiveSections::Tick(double position) {
  const int32_t now = SectionAt(sections_, position);
  if (queued_.index >= 0 && queued_.asked) {
    const bool movedBack = position < lastPosition_ - kBackwards;
    const bool arrived = now == queued_.index && sectionIndex_ != queued_.index;
    if (movedBack || arrived) DropJump();
  }
  if (queued_.index >= 0 && !queued_.asked && queued_.when == JumpWhen::kSectionEnd && now >= 0) {
    if (queued_.waitsIn != now) {  // asked of the host once per section, not every tick
      const SongSection& section = sections_[static_cast<size_t>(now)];
      if (!LastBarStart(host_, section.start, section.end, &queued_.askFrom)) {
        queued_.askFrom = section.start;
      }
      queued_.waitsIn = now;
      queued_.at = section.end;
    }
    if (position >= queued_.askFrom && !AskHostToJump()) DropJump();
  }
  // Somebody moved the play position out of the vamped section: the loop no longer holds it.
  if (vamp_ && now != sectionIndex_ && !(position < lastPosition_ - kBackwards)) StopVamp();
  sectionIndex_ = now;
  lastPosition_ = position;
}

void LiveSections::Release() {
  StopVamp();
  DropJump();
  held_.Release(kHolder);
  regionId_ = -1;
  sections_.clear();
  sectionIndex_ = -1;
}

host::Outcome LiveSections::Refusal(bool songMoving) const {
  if (regionId_ < 0 || sectionIndex_ < 0) return host::Outcome::Refused("Nothing is playing.");
  if (!songMoving) return host::Outcome::Refused("Not while the next song is cued.");
  return host::Outcome::Applied();
}

host::Outcome LiveSections::SetVamp(bool enabled, bool songMoving) {
  if (!enabled) {
    StopVamp();
    return host::Outcome::Applied();
  }
  if (host::Outcome refused = Refusal(songMoving); !refused.applied) return refused;
  if (vamp_) return host::Outcome::Applied();
  DropJump();  // the band holds here: a jump asked for before goes
  const SongSection& section = sections_[static_cast<size_t>(sectionIndex_)];
  if (!held_.TakeTimeSelection(kHolder, section.start, section.end) ||
      !held_.TakeRepeat(kHolder, true)) {
    vamp_ = true;
    StopVamp();
    return host::Outcome::Failed("The host cannot loop this section.");
  }
  vamp_ = true;
  return host::Outcome::Applied();
}

host::Outcome LiveSections::QueueJump(int32_t index, JumpWhen when, bool songMoving) {
  if (host::Outcome refused = Refusal(songMoving); !refused.applied) return refused;
  if (index < 0 || index >= static_cast<int32_t>(sections_.size())) {
    return host::Outcome::Refused("There is no such section.");
  }
  StopVamp();
  DropJump();
  queued_.index = index;
  queued_.when = when;
  const double position = host_.GetPlayPositionSafe();
  if (when == JumpWhen::kSectionEnd) {
    queued_.at = sections_[static_cast<size_t>(sectionIndex_)].end;
    Tick(position);  // already in the section's last bar: asked at once
    return host::Outcome::Applied();
  }
  if (when == JumpWhen::kNow) {
    queued_.at = position;
  } else if (!NextBarLine(host_, position, &queued_.at)) {
    DropJump();
    return host::Outcome::Failed("The host does not tell where its bars are.");
  }
  if (!AskHostToJump()) {
    DropJump();
    return host::Outcome::Failed("The host cannot seek on the bar line.");
  }
  return host::Outcome::Applied();
}

host::Outcome LiveSections::QueueNext(bool songMoving) {
  if (host::Outcome refused = Refusal(songMoving); !refused.applied) return refused;
  if (sectionIndex_ + 1 >= static_cast<int32_t>(sections_.size())) {
    return host::Outcome::Refused("This is the song's last section.");
  }
  return QueueJump(sectionIndex_ + 1, JumpWhen::kNextBar, songMoving);
}

host::Outcome LiveSections::QueuePrevious(bool songMoving) {
  if (host::Outcome refused = Refusal(songMoving); !refused.applied) return refused;
  const SongSection& section = sections_[static_cast<size_t>(sectionIndex_)];
  double barStart = 0.0;
  const bool inFirstBar = BarStartAt(host_, host_.GetPlayPositionSafe(), &barStart) &&
                          barStart <= section.start + 0.0001;
  const int32_t target = inFirstBar && sectionIndex_ > 0 ? sectionIndex_ - 1 : sectionIndex_;
  return QueueJump(target, JumpWhen::kNextBar, songMoving);
}

host::Outcome LiveSections::CancelJump() {
  if (queued_.index < 0) return host::Outcome::Refused("No jump is queued.");
  if (queued_.asked) {
    // The host holds a seek for the bar line and cannot forget it: it is turned into a seek to
    // that bar line itself, where play would be anyway.
    host_.SetEditCurPos(queued_.at, false, true);
  }
  DropJump();
  return host::Outcome::Applied();
}

bool LiveSections::AskHostToJump() {
  const bool atBarLine = queued_.when != JumpWhen::kNow;
  if (!held_.TakeSmoothSeek(kHolder, atBarLine)) return false;
  host_.SetEditCurPos(sections_[static_cast<size_t>(queued_.index)].start, false, true);
  queued_.asked = true;
  if (!atBarLine) DropJump();  // done at once
  return true;
}

void LiveSections::StopVamp() {
  if (!vamp_) return;
  vamp_ = false;
  // Play runs on past the section's end; whoever else holds these keeps them as they want.
  held_.TakeRepeat(kHolder, false);
  held_.TakeTimeSelection(kHolder, 0.0, 0.0);
  held_.Release(kHolder, host::HeldSetting::kRepeat);
  held_.Release(kHolder, host::HeldSetting::kTimeSelection);
}

void LiveSections::DropJump() {
  queued_ = QueuedJump{};
  held_.Release(kHolder, host::HeldSetting::kSmoothSeek);
}

}  // namespace quorvane::show
