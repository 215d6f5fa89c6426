#include "rig/follower.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <variant>

#include "host/held_settings.h"
#include "host/host_api.h"
#include "host/region_types.h"
#include "platform/clock.h"
#include "show/bar_grid.h"
#include "show/show_engine.h"
#include "ui/rig_status.h"

namespace quorvane::rig {
namespace {

constexpr host::Holder kFollow = host::Holder::kRigFollow;
// A start whose transport has not moved after this long is measured no more.
constexpr int64_t kStartWaitUs = 1'000'000;
// A host's start latency beyond this is a stall, not a latency to allow for.
constexpr double kMaxStartLatency = 0.5;
// A change of the play rate smaller than this is not worth telling the host.
constexpr double kRateStep = 1e-5;
// A seek made this soon after a bar line is heard as the bar's own downbeat.
constexpr double kBarWindow = 0.060;
// A big gap the main's samples do not explain (this rig looped a vamp a moment before the main):
// left alone this long, in case the main's samples show the same.
constexpr int64_t kUnexplainedGraceUs = 150'000;
// A sample placed this far after its arrival, or this long before it, was placed on beats that
// moved under it.
constexpr int64_t kFutureSampleUs = 50'000;
constexpr int64_t kStaleSampleUs = 1'000'000;

int32_t IndexOfSong(const show::Setlist& setlist, int32_t regionId) {
  for (int32_t index = 0; index < setlist.Count(); ++index) {
    if (setlist.IsSong(index) && setlist.At(index).regionId == regionId) return index;
  }
  return -1;
}

}  // namespace

Follower::Follower(FollowerParts parts, const link::LinkSession& link, Role role,
                   std::chrono::milliseconds failover)
    : Follower(parts, std::make_unique<LinkTimeline>(link), role, failover) {}

Follower::Follower(FollowerParts parts, std::unique_ptr<SharedTimeline> own, Role role,
                   std::chrono::milliseconds failover)
    : Follower(parts, *own, role, failover) {
  ownTimeline_ = std::move(own);
}

Follower::Follower(FollowerParts parts, const SharedTimeline& timeline, Role role,
                   std::chrono::milliseconds failover)
    : parts_(parts),
      timeline_(timeline),
      role_(role),
      failoverUs_(failover.count() * 1000),
      follows_(role == Role::kBackup) {
  if (follows_) {
    parts_.status.leading = false;
    parts_.engine.Player().SetFollowing(true);
  }
}

Follower::~Follower() {
  if (!follows_) return;
  parts_.engine.Player().SetFollowing(false);
  ReleaseHeld();
}

// --- Leading ---

TimelineSample Follower::Sample() {
  const link::Micros now = timeline_.Now();
  const show::SongPlayer& player = parts_.engine.Player();
  TimelineSample sample;
  sample.sequence = ++sequence_;
  sample.linkBeat = timeline_.BeatAt(now);
  sample.position = parts_.host.GetPlayPositionSafe();
  const double rate = parts_.host.GetPlayRate();
  sample.rate = std::isfinite(rate) && rate > 0.0 ? rate : 1.0;
  sample.playing = player.Playing() && parts_.host.IsHostPlaying();
  sample.regionId = sample.playing ? player.CurrentRegionId() : -1;
  return sample;
}

// --- Following: what arrives ---

void Follower::OnMainMessage(const FromMain& message) {
  if (!follows_) return;
  heardUs_ = timeline_.Now().count();
  if (const auto* sample = std::get_if<TimelineSample>(&message)) {
    if (sample->sequence != 0 && sample->sequence == lastSequence_) return;  // sent twice
    lastSequence_ = sample->sequence;
    // Link shares the beat's phase against the quantum, not its count: a rig that joined the
    // session after the other may count whole quanta apart. Learnt from the first sample (its age
    // is far below half a quantum), and again after one that lands nowhere near now.
    if (!quantaApart_) {
      const double apart = sample->linkBeat - timeline_.BeatAt(link::Micros(*heardUs_));
      quantaApart_ = std::round(apart / kTimelineQuantum);
    }
    MainMoment moment;
    // The beat, not the main's clock, is what both machines share: placed on ours now.
    moment.localUs = placer_.Place(sample->linkBeat - *quantaApart_ * kTimelineQuantum, *heardUs_);
    // A sample that still lands far from now is not trusted.
    const int64_t age = *heardUs_ - moment.localUs;
    if (age < -kFutureSampleUs || age > kStaleSampleUs) {
      quantaApart_.reset();
      return;
    }
    moment.position = sample->position;
    moment.rate = sample->rate > 0.0 && std::isfinite(sample->rate) ? sample->rate : 1.0;
    moment.playing = sample->playing;
    moment.regionId = sample->regionId;
    main_.Add(moment);
  } else if (const auto* state = std::get_if<MainState>(&message)) {
    if (std::optional<MainShow> show = ReadMainShow(state->document)) {
      lastShow_ = std::move(show);
      Mirror(*lastShow_);
    }
  }
}

void Follower::Mirror(const MainShow& show) {
  show::ShowEngine& engine = parts_.engine;
  const int64_t nowMs = parts_.clock.MonotonicMilliseconds();
  show::AdoptedShow adopted;
  adopted.items = show.items;
  adopted.currentIndex = show.currentIndex;
  adopted.played = show.played;
  adopted.status = show.status;
  adopted.elapsed = show.elapsed;
  const show::ShowRecord& record = engine.Record();
  if (show.status == show::ShowStatus::kLive) {
    // The document is a few milliseconds old when it arrives: a start that agrees within a
    // quarter of a second is kept, so the clock does not twitch with every document.
    const int64_t start = nowMs - std::llround(show.elapsed * 1000.0);
    const bool agrees =
        record.status == show::ShowStatus::kLive && std::llabs(record.startMs - start) < 250;
    // A show older than this run's clock starts before its first reading, as a resumed one does.
    adopted.startMs = agrees ? record.startMs : start;
  } else if (show.status == show::ShowStatus::kFinished) {
    adopted.startMs = record.startMs;
    adopted.finishMs = record.finishMs > 0 ? record.finishMs : nowMs;
  }
  engine.AdoptShow(adopted);
  // A vamp is the host's own loop: both rigs loop the same section at the same moment, so the
  // samples show no jump to follow.
  if (engine.Player().Playing() && show.vamp != engine.Sections().Vamping()) {
    engine.SetVamp(show.vamp);
  }
  // A jump the main queued is queued here too, so both hosts seek on the same bar line; the
  // samples only tell of it once it happened. Taken when the main's queue changes, never again
  // after this rig's own jump emptied its queue.
  const int32_t queued = show.queuedSection;
  if (queued == mainQueued_) return;
  mainQueued_ = queued;
  if (!engine.Player().Playing()) return;
  if (queued >= 0) {
    engine.JumpToSection(
        queued, show.queuedAtSectionEnd ? show::JumpWhen::kSectionEnd : show::JumpWhen::kNextBar);
  } else if (engine.Sections().QueuedSection() >= 0) {
    engine.CancelJump();
  }
}

// --- Following: every tick ---

void Follower::Tick(BackupLinks* backups, MainLink* main) {
  if (role_ == Role::kSingle) return;
  if (!follows_) {
    // The samples are also the heartbeat the following rig watches.
    if (backups) backups->Send(Sample());
    if (main && main->Connected()) main->Send(Sample());
    return;
  }
  placer_.Watch();
  const int64_t now = timeline_.Now().count();
  if (heardUs_ && now - *heardUs_ > failoverUs_) {
    TakeLead();
    return;
  }
  Follow(now);
}

void Follower::Follow(int64_t nowUs) {
  if (!main_.Known()) return;
  const MainMoment& latest = main_.Latest();
  show::SongPlayer& player = parts_.engine.Player();
  if (!latest.playing) {
    if (player.Playing()) Stop();
    return;
  }
  if (!player.Playing() || !parts_.host.IsHostPlaying()) {
    // Aimed at where the main will be when this transport actually moves.
    const int64_t moves = nowUs + static_cast<int64_t>(startLatency_ * 1e6);
    if (PlayAt(latest.regionId, main_.PredictAt(moves), nowUs)) {
      startPending_ = true;
      startUs_ = nowUs;
      startTarget_ = parts_.host.GetPlayPositionSafe();
      lastLocal_ = startTarget_;
    }
    return;
  }
  const double local = parts_.host.GetPlayPositionSafe();
  if (startPending_) {
    MeasureStart(local, latest.rate, nowUs);
    if (startPending_) return;
    // The first moments of the song, before the audience has a beat to hold: a start that missed
    // is put right at once.
    const double error = main_.PredictAt(nowUs) - local;
    if (std::fabs(error) > kStartError) {
      PlayAt(latest.regionId, main_.PredictAt(nowUs), nowUs);
      lastLocal_ = parts_.host.GetPlayPositionSafe();
      return;
    }
  }
  if (player.CurrentRegionId() != latest.regionId) {
    // The main moved on to another song (a chain): followed at once.
    PlayAt(latest.regionId, main_.PredictAt(nowUs), nowUs);
    followedLine_ = main_.Lines();
    lastLocal_ = parts_.host.GetPlayPositionSafe();
    return;
  }
  const double error = main_.PredictAt(nowUs) - local;
  if (std::fabs(error) > kJumpError) {
    // The main jumped (its samples broke their line): followed at once. A gap the samples do not
    // explain yet is given a moment first.
    if (!unexplainedSinceUs_) unexplainedSinceUs_ = nowUs;
    if (main_.Lines() != followedLine_ || nowUs - *unexplainedSinceUs_ >= kUnexplainedGraceUs) {
      PlayAt(latest.regionId, main_.PredictAt(nowUs), nowUs);
      followedLine_ = main_.Lines();
      unexplainedSinceUs_.reset();
      trim_.ForgetError();
      lastLocal_ = parts_.host.GetPlayPositionSafe();
      return;
    }
    lastLocal_ = local;
    return;
  }
  unexplainedSinceUs_.reset();
  followedLine_ = main_.Lines();
  double bar = 0.0;
  const bool crossedBar = show::BarStartAt(parts_.host, local, &bar) && lastLocal_ < bar &&
                          local >= bar && local - bar < kBarWindow;
  if (std::fabs(error) > kReseekError && crossedBar) {
    PlayAt(latest.regionId, main_.PredictAt(nowUs), nowUs);
    trim_.ForgetError();
    lastLocal_ = parts_.host.GetPlayPositionSafe();
    return;
  }
  Trim(error, latest.rate, nowUs);
  lastLocal_ = local;
}

bool Follower::PlayAt(int32_t regionId, double position, int64_t nowUs) {
  host::ProjectRegion region;
  if (!parts_.host.FindRegionNow(regionId, &region)) return false;
  show::SongPlayer& player = parts_.engine.Player();
  // Every seek of ours happens at once, whatever the user's smooth seek says.
  parts_.held.TakeSmoothSeek(kFollow, false);
  const bool fromRest = !player.Playing();
  if (!player.FollowAt(region, position)) return false;
  if (const int32_t index = IndexOfSong(parts_.setlist, regionId); index >= 0) {
    parts_.setlist.MakeCurrent(index);
  }
  if (fromRest) lastTrimUs_ = nowUs;
  return true;
}

void Follower::Stop() {
  parts_.engine.StopPlayback();
  ReleaseHeld();
}

void Follower::MeasureStart(double local, double rate, int64_t nowUs) {
  const double waited = static_cast<double>(nowUs - startUs_) / 1e6;
  if (local == startTarget_) {
    if (nowUs - startUs_ > kStartWaitUs) startPending_ = false;  // a stall: nothing to learn
    return;
  }
  startPending_ = false;
  // The transport moved `local - startTarget_` since it started: it started that long ago.
  const double latency = waited - (local - startTarget_) / (rate > 0.0 ? rate : 1.0);
  if (!std::isfinite(latency) || latency < 0.0 || latency > kMaxStartLatency) return;
  startLatency_ = latencyMeasured_ ? (startLatency_ + latency) / 2.0 : latency;
  latencyMeasured_ = true;
}

void Follower::Trim(double error, double mainRate, int64_t nowUs) {
  const double elapsed = static_cast<double>(nowUs - lastTrimUs_) / 1e6;
  lastTrimUs_ = nowUs;
  const double rate = mainRate * trim_.Update(error, elapsed);
  if (std::fabs(rate - appliedRate_) < kRateStep) return;
  // The pitch stays where it is (the host's preserve-pitch mode, held with the rate).
  if (parts_.held.TakePlayRate(kFollow, rate)) appliedRate_ = rate;
}

void Follower::ReleaseHeld() {
  parts_.held.Release(kFollow);
  appliedRate_ = 1.0;
  startPending_ = false;
  unexplainedSinceUs_.reset();
}

void Follower::FollowTheOther() {
  if (role_ == Role::kSingle || follows_) return;
  follows_ = true;
  tookOver_ = false;
  parts_.status.leading = false;
  // A main following its backup shows the show is on the backup; a backup that handed the lead
  // back is just following again.
  parts_.status.onBackupRig = role_ == Role::kMain;
  parts_.engine.Player().SetFollowing(true);
  // Another line to follow: nothing learnt of the last one applies, but the clocks' drift does.
  lastSequence_ = 0;
  quantaApart_.reset();
  main_.Clear();
  lastShow_.reset();
  mainQueued_ = -1;
  trim_.ForgetError();
  followedLine_ = 0;
  latencyMeasured_ = false;
  // Heard of just now: the failover counts from here.
  heardUs_ = timeline_.Now().count();
}

void Follower::TakeTheLead() {
  if (follows_) TakeLead();
}

void Follower::TakeLead() {
  follows_ = false;
  tookOver_ = role_ == Role::kBackup;
  parts_.status.leading = true;
  parts_.status.onBackupRig = role_ == Role::kBackup;
  show::ShowEngine& engine = parts_.engine;
  // The show goes on from here under this rig's own engine: chains as the setlist says.
  engine.Player().SetFollowing(false);
  // Back to the host's own speed at once: a step of two thousandths is not heard.
  ReleaseHeld();
  if (lastShow_ && engine.Player().Playing()) {
    if (lastShow_->vamp && !engine.Sections().Vamping()) engine.SetVamp(true);
    if (lastShow_->queuedSection >= 0 && engine.Sections().QueuedSection() < 0) {
      engine.JumpToSection(lastShow_->queuedSection, lastShow_->queuedAtSectionEnd
                                                         ? show::JumpWhen::kSectionEnd
                                                         : show::JumpWhen::kNextBar);
    }
  }
  // What the main kept is this rig's now.
  engine.SaveSetlist();
  engine.SaveShowState();
}

}  // namespace quorvane::rig
