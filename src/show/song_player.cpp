#include "show/song_player.h"

#include <algorithm>
#include <cmath>

#include "host/held_settings.h"
#include "host/host_api.h"
#include "show/bar_grid.h"

namespace quorvane::show {
namespace {

constexpr host::Holder kPlayer = host::Holder::kSongPlayer;

}  // namespace

void SongPlayer::ClearPending() {
  pendingFromIndex_ = -1;
  pendingRegionId_ = -1;
  pendingStart_ = 0.0;
  pendingEnd_ = 0.0;
}

void SongPlayer::ClearChain() {
  chainArmed_ = false;
  ClearPending();
}

void SongPlayer::Reset() {
  playing_ = false;
  currentRegionId_ = -1;
  regionStart_ = 0.0;
  regionEnd_ = 0.0;
  songFinished_ = false;
  ClearChain();
}

bool SongPlayer::ConsumeSongFinished() {
  if (!songFinished_) return false;
  songFinished_ = false;
  return true;
}

bool SongPlayer::SeekToSongStart(double start) {
  // A time selection would make the host loop or stop inside the song.
  held_.TakeTimeSelection(kPlayer, 0.0, 0.0);
  return host_.SeekTo(start);
}

void SongPlayer::StartAt(const host::ProjectRegion& region) {
  currentRegionId_ = region.regionId;
  regionStart_ = region.start;
  regionEnd_ = region.end;
  // The host's repeat stays off from the first song until the player stops.
  held_.TakeRepeat(kPlayer, false);
  host_.OnPlayButton();
  playing_ = true;
}

void SongPlayer::AbandonChain() {
  // A pre-rolled song that will not be chained: its smooth-seek override goes with it.
  held_.Release(kPlayer, host::HeldSetting::kSmoothSeek);
  songFinished_ = false;
  ClearChain();
}

void SongPlayer::ReleaseHostSettings() {
  sections_.Release();
  held_.Release(kPlayer);
}

bool SongPlayer::PlayCurrent() {
  AbandonChain();
  const int32_t index = setlist_.CurrentIndex();
  if (!setlist_.IsSong(index)) return false;
  host::ProjectRegion region;
  if (!host_.FindRegionNow(setlist_.At(index).regionId, &region)) return false;
  if (!SeekToSongStart(region.start)) return GiveBackUnlessPlaying();
  StartAt(region);
  return playing_;
}

bool SongPlayer::PlayNext() {
  AbandonChain();
  const int32_t current = setlist_.CurrentIndex();
  if (!setlist_.IsValidIndex(current)) return false;
  const int32_t next = setlist_.NextSongAfter(current);
  if (next < 0) return false;
  host::ProjectRegion region;
  if (!host_.FindRegionNow(setlist_.At(next).regionId, &region)) return false;
  if (!SeekToSongStart(region.start)) return GiveBackUnlessPlaying();
  setlist_.MakeCurrent(next);
  StartAt(region);
  return playing_;
}

bool SongPlayer::StopPlayback() {
  AbandonChain();
  host_.OnStopButton();
  playing_ = false;
  regionStart_ = 0.0;
  regionEnd_ = 0.0;
  currentRegionId_ = -1;
  sections_.Release();
  held_.Release(kPlayer);
  return true;
}

bool SongPlayer::GiveBackUnlessPlaying() {
  // A song still playing keeps what it holds; a start that failed from rest gives it all back.
  if (!playing_) held_.Release(kPlayer);
  return false;
}

void SongPlayer::ArmChain(int32_t fromIndex, const host::ProjectRegion& next) {
  pendingFromIndex_ = fromIndex;
  pendingRegionId_ = next.regionId;
  pendingStart_ = next.start;
  pendingEnd_ = next.end;
  chainArmed_ = true;
}

bool SongPlayer::PreRoll(double pos) {
  double lastBar = 0.0;
  if (!LastBarStart(host_, regionStart_, regionEnd_, &lastBar) || pos < lastBar) return true;
  const int32_t index = setlist_.CurrentIndex();
  const int32_t next = index + 1;
  if (setlist_.IsPause(next)) return false;
  if (!setlist_.IsValidIndex(index) || !setlist_.IsSong(next) || !setlist_.At(next).autoStart) {
    return true;
  }
  host::ProjectRegion region;
  if (!host_.FindRegionNow(setlist_.At(next).regionId, &region) || region.end <= region.start) {
    return true;
  }
  // With smooth seek on, the host carries playback into the next song at the bar line.
  if (!held_.TakeSmoothSeek(kPlayer)) return true;
  host_.SetEditCurPos(region.start, false, true);
  ArmChain(index, region);
  return true;
}

bool SongPlayer::FollowAt(const host::ProjectRegion& region, double position) {
  if (!std::isfinite(position)) return false;
  // A song's settings from rest; a seek inside the song keeps what live control set (a vamp's
  // loop).
  if (!playing_) {
    held_.TakeTimeSelection(kPlayer, 0.0, 0.0);
    held_.TakeRepeat(kPlayer, false);
  }
  host_.SetEditCurPos(std::max(0.0, position), false, true);
  if (!host_.IsHostPlaying()) host_.OnPlayButton();
  currentRegionId_ = region.regionId;
  regionStart_ = region.start;
  regionEnd_ = region.end;
  playing_ = true;
  return true;
}

void SongPlayer::FinishSong() {
  StopPlayback();
  songFinished_ = true;
}

void SongPlayer::PlayerTick() {
  if (!playing_) return;
  const double pos = host_.GetPlayPositionSafe();
  sections_.FollowSong(currentRegionId_);
  sections_.Tick(pos);
  if (following_) return;
  if (!chainArmed_ && !sections_.HoldsChain() && pos < regionEnd_ && host_.TimeMap2_timeToBeats &&
      host_.TimeMap2_beatsToTime) {
    if (!PreRoll(pos)) return;
  }
  if (pos < regionEnd_) return;

  // The song has reached its end: chain into an auto-start successor, or stop.
  const int32_t index = setlist_.CurrentIndex();
  const int32_t next = index + 1;
  if (!setlist_.IsValidIndex(index)) return FinishSong();
  if (chainArmed_) {
    if (!setlist_.IsSong(next)) {
      ClearChain();
      return FinishSong();
    }
  } else {
    // Without a pre-roll the host simply plays on past the region end into the next song.
    if (!setlist_.IsSong(next) || !setlist_.At(next).autoStart) return FinishSong();
    host::ProjectRegion region;
    if (!host_.FindRegionNow(setlist_.At(next).regionId, &region) || region.end <= region.start) {
      return FinishSong();
    }
    ArmChain(index, region);
  }
  if (!setlist_.At(next).autoStart || pendingStart_ >= pendingEnd_) return FinishSong();

  setlist_.MakeCurrent(next);
  held_.Release(kPlayer, host::HeldSetting::kSmoothSeek);
  currentRegionId_ = pendingRegionId_;
  regionStart_ = pendingStart_;
  regionEnd_ = pendingEnd_;
  songFinished_ = true;
}

}  // namespace quorvane::show
