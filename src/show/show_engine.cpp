#include "show/show_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "host/held_settings.h"
#include "host/host_api.h"
#include "platform/clock.h"
#include "practise/practise_session.h"
#include "show/project_store.h"

namespace quorvane::show {
namespace {

// The play position must move by more than this to count as motion.
constexpr double kMotionEpsilon = 0.001;
// A song whose position has not moved for this long is paused or stuck.
constexpr uint64_t kStallMs = 700;
// Positions this close to the song's end count as its natural end, not an interruption.
constexpr double kEndTolerance = 0.05;

}  // namespace

ShowEngine::ShowEngine(host::HostApi& host, host::HeldSettings& held, const platform::Clock& clock,
                       Setlist& setlist, practise::PractiseSession& practise)
    : host_(host),
      held_(held),
      clock_(clock),
      setlist_(setlist),
      practise_(practise),
      player_(host, held, setlist) {}

bool ShowEngine::LivePageShown() const {
  return listeners_.Any([](const ShowListener& views) { return views.LivePageShown(); });
}

bool ShowEngine::SaveShowState() const {
  return show::SaveShowState(host_, StoredNow());
}

StoredShow ShowEngine::StoredNow() const {
  StoredShow show;
  show.status = record_.status;
  show.startMs = record_.startWallMs;
  show.finishMs = record_.finishWallMs;
  // Before the show the current item is only a selection: nothing a restart would go on from.
  show.current = record_.status == ShowStatus::kPrepared ? -1 : setlist_.CurrentIndex();
  show.currentSong = setlist_.IsSong(show.current) ? setlist_.At(show.current).regionId : 0;
  show.duration = record_.duration;
  // The marks stay on the finished show's page, but a restart after the end starts fresh.
  if (show.status == ShowStatus::kLive) {
    show.played.assign(played_.Regions().begin(), played_.Regions().end());
  }
  return show;
}

void ShowEngine::KeepShowState() {
  StoredShow now = StoredNow();
  if (now == kept_) return;
  SaveShowChanges(host_, kept_, now);
  KeepLastShow(now);
  kept_ = std::move(now);
}

void ShowEngine::KeepLastShow(const StoredShow& now) {
  if (projectPath_.empty()) return;
  if (now.status == ShowStatus::kLive) {
    SaveLastShow(host_, projectPath_, now, !lastShowOurs_);
    lastShowOurs_ = true;
  } else if (lastShowOurs_) {
    ClearLastShow(host_);
    lastShowOurs_ = false;
  }
}

bool ShowEngine::SaveSetlist() const {
  return show::SaveSetlist(host_, setlist_);
}

// --- Load and project change ---

void ShowEngine::InitShowEngine(std::string_view projectPath) {
  // A damaged or partial stored setlist is not used at all.
  setlist_.Clear();
  if (!LoadSetlist(host_, setlist_)) setlist_.Clear();
  player_.Reset();

  // The global settings' slot is written at once, the project's keys only with the project: the
  // slot is the later word on this project's show.
  projectPath_ = projectPath;
  lastShowOurs_ = !projectPath_.empty() && LastShowProject(host_) == projectPath_;
  std::optional<StoredShow> stored = LoadLastShow(host_, projectPath_);
  if (!stored) stored = LoadShowState(host_);
  if (stored) ResumeShow(*stored);
  kept_ = StoredNow();
  // Either the show as it goes on (what no longer matches the setlist dropped) or a fresh one
  // over whatever was stored.
  SaveShowState();
  KeepLastShow(kept_);
  listeners_.Tell([](ShowListener& views) { views.SetlistLoaded(); });
}

bool ShowEngine::ResumeShow(const StoredShow& stored) {
  if (stored.status != ShowStatus::kLive || stored.startMs <= 0) return false;
  const int64_t age = clock_.WallClockMilliseconds() - stored.startMs;
  // In doubles: a duration edited by hand may be far beyond any integer.
  const double limit = stored.duration * 1000.0 + static_cast<double>(kResumeMarginMs);
  // A start ahead of the calendar is a clock set back: nothing to trust.
  constexpr int64_t kClockSkewMs = 60 * 1000;
  if (age < -kClockSkewMs || static_cast<double>(age) > limit) return false;

  record_ = ShowRecord{};
  record_.status = ShowStatus::kLive;
  record_.duration = stored.duration;
  record_.startWallMs = stored.startMs;
  const int64_t now = clock_.MonotonicMilliseconds();
  record_.startMs = now - std::max<int64_t>(age, 0);

  // Marks of songs the setlist no longer has are dropped.
  played_.Clear();
  for (const int32_t region : stored.played)
    played_.MarkRegion(region);
  // The current song by its region, wherever it moved; a pause by its place; an item gone gives
  // its place to the item now there, offered as selected.
  int32_t current = -1;
  bool sameItem = false;
  for (int32_t i = 0; i < setlist_.Count() && stored.currentSong > 0; ++i) {
    if (setlist_.IsSong(i) && setlist_.At(i).regionId == stored.currentSong) current = i;
  }
  if (current >= 0) {
    sameItem = true;
  } else if (stored.currentSong == 0 && setlist_.IsPause(stored.current)) {
    current = stored.current;
    sameItem = true;
  } else if (!setlist_.Empty()) {
    current = std::clamp(stored.current, 0, setlist_.Count() - 1);
  }
  setlist_.MakeCurrent(current);
  record_.showCurrentIndex = current;
  // A song the crash interrupted is offered again; after a finished song or on a pause, the next.
  LiveTransport offer = LiveTransport::kNext;
  if (setlist_.IsSong(current) && !played_.IsPlayed(current)) {
    offer = sameItem ? LiveTransport::kReplay : LiveTransport::kSelected;
  }
  SetLiveTransport(offer);
  resumed_ = true;
  resumedAtMs_ = now;
  UpdateShowTiming();
  return true;
}

void ShowEngine::ReleaseHostSettings() {
  player_.ReleaseHostSettings();
}

void ShowEngine::ResetForProjectChange() {
  // The time selection and rate we changed were the project left's: not written into this one.
  held_.ForgetProjectSettings();
  practise_.StopPractise();
  player_.StopPlayback();
  held_.ReleaseAll();
  player_.StopPlayback();
  record_ = ShowRecord{};
  resumed_ = false;
  ResetAutoStart();
  ClearPlayed();
  ResetAutoStartClock();
  setlist_.Clear();
  projectPath_.clear();
  lastShowOurs_ = false;
  kept_ = StoredNow();
}

// --- Per tick ---

void ShowEngine::Tick() {
  SuperviseSong();
  CheckAutoStart();
  HandleSongFinished();
}

void ShowEngine::SuperviseSong() {
  const TransportReading before = ReadTransportBefore();
  player_.PlayerTick();
  CheckTransportInterrupted(before);
}

TransportReading ShowEngine::ReadTransportBefore() {
  TransportReading reading;
  reading.wasPlaying = player_.Playing();
  reading.hostPlaying = host_.IsHostPlaying();
  reading.position = host_.GetPlayPositionSafe();
  reading.nowMs = clock_.MillisecondsSinceStart();
  return reading;
}

void ShowEngine::CheckTransportInterrupted(const TransportReading& before) {
  // A song started since the last check counts as moving: the host may not have advanced its
  // position yet, and the time spent standing still before the start is not a stall.
  const bool justStarted = before.wasPlaying && !playingAtLastCheck_;
  if (lastPos_ < 0.0 || std::fabs(before.position - lastPos_) > kMotionEpsilon || justStarted) {
    lastPos_ = before.position;
    lastMoveMs_ = before.nowMs;
  } else if (lastMoveMs_ == 0) {
    lastMoveMs_ = before.nowMs;
  }

  const bool hostPlayingAfter = host_.IsHostPlaying();
  const double positionAfter = host_.GetPlayPositionSafe();
  // Read again: a song that ended in this tick has no region any more.
  const double regionEnd = player_.RegionEnd();
  const bool stoppedByUser = before.hostPlaying && !hostPlayingAfter;
  const bool stalled = lastMoveMs_ != 0 && before.nowMs - lastMoveMs_ >= kStallMs;
  const bool interrupted = before.wasPlaying && regionEnd > 0.0 &&
                           regionEnd - kEndTolerance > positionAfter && (stoppedByUser || stalled);
  if (interrupted) {
    // In a show the song is not marked played and stays current, so that it can be played
    // again. Outside a show the run simply ends: nothing is offered for replay.
    if (record_.status == ShowStatus::kLive) {
      StopLive();
    } else {
      player_.StopPlayback();
    }
  }
  playingAtLastCheck_ = player_.Playing();
}

void ShowEngine::CheckAutoStart() {
  // A backup rig following its main: the main starts the show, and the backup mirrors it.
  if (record_.status != ShowStatus::kPrepared || player_.Following()) return;
  const bool enabled = autoStartSettings_.enabled;
  const bool valid = autoStartSettings_.HasTime();
  const int hour = autoStartSettings_.hour;
  const int minute = autoStartSettings_.minute;
  if (!enabled || !valid) {
    autoStart_.lastEnabled = enabled;
    autoStart_.lastHour = valid ? hour : -1;
    autoStart_.lastMinute = valid ? minute : -1;
    autoStart_.fired = false;
    return;
  }
  if (enabled != autoStart_.lastEnabled || hour != autoStart_.lastHour ||
      minute != autoStart_.lastMinute) {
    autoStart_.fired = false;
    autoStart_.lastEnabled = enabled;
    autoStart_.lastHour = hour;
    autoStart_.lastMinute = minute;
  } else if (autoStart_.fired) {
    return;
  }
  if (!LivePageShown()) return;

  const platform::LocalTimeOfDay now = clock_.LocalTime();
  const int nowMinutes = now.hour * 60 + now.minute;
  const int targetMinutes = hour * 60 + minute;
  if (nowMinutes < targetMinutes) return;
  // A minute that has passed is not caught up: no start until the settings change.
  autoStart_.fired = true;
  if (nowMinutes > targetMinutes) return;
  // A failed start is tried again on the next tick of the same minute.
  if (!StartShow()) autoStart_.fired = false;
}

void ShowEngine::HandleSongFinished() {
  // The chain is the player's own and is consumed with or without a show: an armed chain left
  // standing would keep the next song from pre-rolling and chain into stale bounds.
  if (!player_.ConsumeSongFinished()) return;
  const bool wasChained = player_.ChainArmed();
  int32_t finished = wasChained ? player_.PendingFromIndex() : -1;
  player_.ClearChain();

  // Played marks, the play button and the show's own progress belong to a LIVE show.
  if (record_.status != ShowStatus::kLive) return;
  if (finished < 0) finished = snapshot_.currentIndex;
  if (played_.Mark(finished)) {
    listeners_.Tell([finished](ShowListener& views) { views.SongPlayed(finished); });
  }
  SetLiveTransport(LiveTransport::kNext);
  if (wasChained) return;

  // The player stopped at the end of a song.
  if (setlist_.NextSongAfter(finished) < 0) {
    EndShow();
    return;
  }
  const int32_t next = setlist_.CurrentIndex() + 1;
  if (!setlist_.IsValidIndex(next)) return;
  if (setlist_.At(next).isPause) {
    // The show waits on the pause until the band plays on.
    setlist_.SetCurrentIndex(next, host_);
    return;
  }
  if (!setlist_.At(next).autoStart) return;  // waits on the finished song; the button says NEXT
  if (!setlist_.SetCurrentIndex(next, host_)) return;
  PlayCurrent();
}

void ShowEngine::UpdateShowTiming() {
  if (resumed_) {
    const bool noticeOver =
        clock_.MonotonicMilliseconds() - resumedAtMs_ >= kResumedNoticeMs || player_.Playing();
    if (noticeOver || record_.status != ShowStatus::kLive) resumed_ = false;
  }
  if (setlist_.IsValidIndex(setlist_.CurrentIndex())) {
    record_.showCurrentIndex = setlist_.CurrentIndex();
  }
  if (record_.status != ShowStatus::kLive) {
    record_.showRemaining = std::max(0.0, record_.duration - record_.elapsed);
    record_.playbackRemaining = 0.0;
    record_.delay = 0.0;
    record_.hasDelay = false;
    return;
  }
  const int64_t now = clock_.MonotonicMilliseconds();
  record_.elapsed = static_cast<double>(now - record_.startMs) / 1000.0;
  record_.showRemaining = std::max(0.0, record_.duration - record_.elapsed);
  record_.playbackRemaining = ComputePlaybackRemaining();
  const double over = record_.playbackRemaining + record_.elapsed - record_.duration;
  record_.hasDelay = over > 0.0;
  record_.delay = over > 0.0 ? over : 0.0;
}

double ShowEngine::ComputePlaybackRemaining() {
  const int32_t current = record_.showCurrentIndex;
  if (setlist_.Empty() || !setlist_.IsValidIndex(current)) return 0.0;
  // Every tick of a show: the regions kept since the project last changed (or, on a host without
  // the change count, one walk without the names), and a lookup per item.
  const host::ProjectWalk* walk = host_.CurrentWalk();
  std::vector<host::RegionSpan> walked;
  if (!walk) walked = host_.EnumerateRegionSpans();
  const host::RegionsByNumber<host::RegionSpan> walkedByNumber(walked);
  const auto find = [&](int regionId) {
    return walk ? walk->FindSpan(regionId) : walkedByNumber.Find(regionId);
  };
  double remaining = 0.0;
  if (setlist_.IsSong(current)) {
    if (const host::RegionSpan* region = find(setlist_.At(current).regionId)) {
      const double pos = player_.Playing() ? host_.GetPlayPositionSafe() : 0.0;
      remaining += (region->start <= pos && pos < region->end) ? region->end - pos
                                                               : region->end - region->start;
    }
  }
  // The songs after the current one change only with the setlist, the regions or the current
  // item: summed once, not on every tick (a walk made afresh each tick is never kept).
  LaterSongs& later = laterSongs_;
  const bool held = walk && later.known && later.walkSerial == walk->Serial() &&
                    later.setlistRevision == setlist_.Revision() && later.current == current;
  if (!held) {
    later.seconds = 0.0;
    for (int32_t i = current + 1; i < setlist_.Count(); ++i) {
      if (!setlist_.IsSong(i)) continue;
      if (const host::RegionSpan* region = find(setlist_.At(i).regionId)) {
        later.seconds += region->end - region->start;
      }
    }
    later.known = walk != nullptr;
    later.walkSerial = walk ? walk->Serial() : 0;
    later.setlistRevision = setlist_.Revision();
    later.current = current;
  }
  return remaining + later.seconds;
}

void ShowEngine::SnapshotShowState() {
  snapshot_.status = record_.status;
  snapshot_.startMs = record_.startMs;
  snapshot_.finishMs = record_.finishMs;
  snapshot_.currentIndex = setlist_.Empty() ? -1 : setlist_.CurrentIndex();
  if (setlist_.Empty()) snapshot_.selectedIndex = -1;
  snapshot_.playing = player_.Playing();
  snapshot_.position = player_.Playing() ? host_.GetPlayPositionSafe() : 0.0;
  snapshot_.regionStart = player_.RegionStart();
  snapshot_.regionEnd = player_.RegionEnd();
  snapshot_.duration = record_.duration;
  snapshot_.elapsed = record_.elapsed;
  snapshot_.showRemaining = record_.showRemaining;
  snapshot_.playbackRemaining = record_.playbackRemaining;
  snapshot_.hasDelay = record_.hasDelay;
  snapshot_.delay = record_.delay;
  snapshot_.resumed = resumed_;
}

// --- Player ---

void ShowEngine::StopLive() {
  player_.StopPlayback();
  SetLiveTransport(LiveTransport::kReplay);
}

host::Outcome ShowEngine::SelectSong(int32_t index) {
  if (player_.Playing()) {
    return host::Outcome::Refused("Cannot select another song during playback.");
  }
  if (!setlist_.SetCurrentIndex(index, host_)) {
    return host::Outcome::Failed("Could not select this song.");
  }
  if (record_.status == ShowStatus::kLive) {
    SetLiveTransport(setlist_.IsPause(index) ? LiveTransport::kNext : LiveTransport::kSelected);
  }
  return host::Outcome::Applied();
}

void ShowEngine::ClearPlayed() {
  played_.Clear();
  SetLiveTransport(LiveTransport::kNext);
  listeners_.Tell([](ShowListener& views) { views.PlayedCleared(); });
}

void ShowEngine::SetLiveTransport(LiveTransport transport) {
  if (liveTransport_ == transport) return;
  liveTransport_ = transport;
  listeners_.Tell([transport](ShowListener& views) { views.LiveTransportChanged(transport); });
}

// --- Live control inside the song ---

bool ShowEngine::SongMoving() const {
  return player_.Playing() && !player_.ChainArmed();
}

host::Outcome ShowEngine::SetVamp(bool enabled) {
  return player_.Sections().SetVamp(enabled, SongMoving());
}

host::Outcome ShowEngine::JumpToSection(int32_t index, JumpWhen when) {
  return player_.Sections().QueueJump(index, when, SongMoving());
}

host::Outcome ShowEngine::NextSection() {
  return player_.Sections().QueueNext(SongMoving());
}

host::Outcome ShowEngine::PreviousSection() {
  return player_.Sections().QueuePrevious(SongMoving());
}

host::Outcome ShowEngine::CancelJump() {
  return player_.Sections().CancelJump();
}

// --- A show another rig runs ---

void ShowEngine::AdoptShow(const AdoptedShow& show) {
  if (setlist_.Items() != show.items) {
    setlist_.Clear();
    for (const SetlistItem& item : show.items)
      setlist_.Append(item);
    listeners_.Tell([](ShowListener& views) { views.SetlistLoaded(); });
  }
  setlist_.MakeCurrent(setlist_.IsValidIndex(show.currentIndex) ? show.currentIndex : -1);
  if (played_.Indexes() != show.played) {
    played_.Clear();
    listeners_.Tell([](ShowListener& views) { views.PlayedCleared(); });
    for (const int32_t index : show.played) {
      if (played_.Mark(index)) {
        listeners_.Tell([index](ShowListener& views) { views.SongPlayed(index); });
      }
    }
  }
  const bool started = record_.status != ShowStatus::kLive && show.status == ShowStatus::kLive;
  record_.status = show.status;
  record_.startMs = show.startMs;
  record_.finishMs = show.finishMs;
  record_.elapsed = show.elapsed;
  // The calendar's start and finish follow the monotonic ones, as a show kept for a restart needs.
  const int64_t toWall = clock_.WallClockMilliseconds() - clock_.MonotonicMilliseconds();
  record_.startWallMs = show.status == ShowStatus::kPrepared ? 0 : show.startMs + toWall;
  record_.finishWallMs = show.status == ShowStatus::kFinished ? show.finishMs + toWall : 0;
  if (setlist_.IsValidIndex(show.currentIndex)) record_.showCurrentIndex = show.currentIndex;
  if (started) {
    const ShowStatus status = record_.status;
    listeners_.Tell([status](ShowListener& views) { views.ShowStarted(status); });
  }
}

// --- Show ---

bool ShowEngine::StartShow() {
  ClearPlayed();
  const int32_t first = setlist_.NextSongAfter(-1);  // leading pauses are skipped
  if (first < 0) return false;
  if (!setlist_.SetCurrentIndex(first, host_)) return false;

  record_.elapsed = 0.0;
  record_.showRemaining = record_.duration;
  record_.playbackRemaining = 0.0;
  record_.delay = 0.0;
  record_.finishMs = 0;
  record_.status = ShowStatus::kLive;
  record_.showCurrentIndex = first;
  record_.startMs = clock_.MonotonicMilliseconds();
  record_.startWallMs = clock_.WallClockMilliseconds();
  record_.finishWallMs = 0;
  record_.hasDelay = false;
  resumed_ = false;
  KeepShowState();

  if (PlayCurrent()) {
    const ShowStatus status = record_.status;
    listeners_.Tell([status](ShowListener& views) { views.ShowStarted(status); });
    return true;
  }
  record_.status = ShowStatus::kPrepared;
  record_.startMs = 0;
  record_.startWallMs = 0;
  KeepShowState();
  return false;
}

bool ShowEngine::EndShow() {
  if (record_.status != ShowStatus::kLive) return false;
  player_.StopPlayback();
  record_.status = ShowStatus::kFinished;
  record_.finishMs = clock_.MonotonicMilliseconds();
  record_.finishWallMs = clock_.WallClockMilliseconds();
  UpdateShowTiming();
  KeepShowState();
  return true;
}

void ShowEngine::ResetShow() {
  player_.StopPlayback();
  record_ = ShowRecord{};
  resumed_ = false;
  KeepShowState();
}

bool ShowEngine::SetShowDuration(double seconds) {
  if (!std::isfinite(seconds) || seconds <= 0.0) return false;
  record_.duration = seconds;
  if (!SaveShowDuration(host_, seconds)) return false;
  kept_.duration = seconds;
  // The global settings' slot follows a live show's new duration: it decides how long it resumes.
  KeepLastShow(kept_);
  return true;
}

void ShowEngine::ResetAutoStartClock() {
  autoStart_ = AutoStartClock{};
}

void ShowEngine::SetAutoStartEnabled(bool enabled) {
  autoStartSettings_.enabled = enabled;
  listeners_.Tell([](ShowListener& views) { views.AutoStartChanged(false); });
}

bool ShowEngine::SetAutoStartTime(int hour, int minute) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59) return false;
  autoStartSettings_.hour = hour;
  autoStartSettings_.minute = minute;
  listeners_.Tell([](ShowListener& views) { views.AutoStartChanged(false); });
  return true;
}

void ShowEngine::ResetAutoStart() {
  AutoStartSettings& settings = autoStartSettings_;
  settings.enabled = false;
  if (settings.hour >= 0) settings.hour = 0;
  if (settings.minute >= 0) settings.minute = 0;
  listeners_.Tell([](ShowListener& views) { views.AutoStartChanged(true); });
}

std::string ShowEngine::AutoStartBannerText() const {
  if (!LivePageShown() || record_.status != ShowStatus::kPrepared) return {};
  if (!autoStartSettings_.enabled || !autoStartSettings_.HasTime()) return {};
  const int hour = autoStartSettings_.hour;
  const int minute = autoStartSettings_.minute;
  const int target = (hour * 60 + minute) * 60;
  const int now = clock_.LocalTime().SecondsSinceMidnight();
  // No wrap past midnight: a time earlier today is not scheduled.
  if (target <= now) return {};
  const int left = target - now;
  char text[96];
  std::snprintf(text, sizeof text, "AUTO-START SCHEDULED FOR %02d:%02d    STARTS IN %02d:%02d:%02d",
                hour, minute, left / 3600, left / 60 % 60, left % 60);
  return text;
}

}  // namespace quorvane::show
