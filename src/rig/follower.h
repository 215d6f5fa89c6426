// The two rigs' show, as each rig plays its part in it. On the main: every tick, a timeline sample
// to the backups (where its transport stands against the shared beat), which is also the heartbeat
// the backups watch. On a backup: the main's show mirrored from its state documents (LIVE, the
// setlist, the current item, the played marks, the show clock), and its transport followed from
// the samples: the same song at the same position, seeks where the main jumped or looped, and the
// audio clocks' drift trimmed with a play rate a hair off 1. When the main has not been heard for
// the failover time, the backup plays on and leads: its own engine runs the show from there.
//
// Main thread only, like the engine it drives.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "rig/main_position.h"
#include "rig/main_show.h"
#include "rig/rig_channel.h"
#include "rig/shared_timeline.h"

namespace quorvane::host {
class HeldSettings;
class HostApi;
}  // namespace quorvane::host
namespace quorvane::link {
class LinkSession;
}
namespace quorvane::platform {
class Clock;
}
namespace quorvane::show {
class Setlist;
class ShowEngine;
}  // namespace quorvane::show
namespace quorvane::ui {
struct RigStatus;
}

namespace quorvane::rig {

// What the follower works on: the core's records.
struct FollowerParts {
  host::HostApi& host;
  host::HeldSettings& held;
  const platform::Clock& clock;
  show::ShowEngine& engine;
  show::Setlist& setlist;
  ui::RigStatus& status;
};

class Follower final : public ShowFollowing {
 public:
  static constexpr std::chrono::milliseconds kDefaultFailover{500};
  // A seek is worth its click only past this error; below it the rate trim closes the gap.
  static constexpr double kReseekError = 0.020;
  // Past this the positions are apart by a jump the main made: followed at once, not at a bar.
  static constexpr double kJumpError = 0.250;
  // In a song's first moments a start that missed is put right at once, past this error.
  static constexpr double kStartError = 0.001;

  // On the rigs' Link session.
  Follower(FollowerParts parts, const link::LinkSession& link, Role role,
           std::chrono::milliseconds failover = kDefaultFailover);
  // On a timeline of the caller's (the tests' virtual one).
  Follower(FollowerParts parts, const SharedTimeline& timeline, Role role,
           std::chrono::milliseconds failover = kDefaultFailover);
  ~Follower() override;
  Follower(const Follower&) = delete;
  Follower& operator=(const Follower&) = delete;

  void OnMainMessage(const FromMain& message) override;
  void Tick(BackupLinks* backups, MainLink* main) override;
  void FollowTheOther() override;
  void TakeTheLead() override;

  // A backup that took the lead from a main gone quiet.
  bool TookOver() const { return tookOver_; }
  // The host's start latency as measured on the starts so far (seconds).
  double StartLatency() const { return startLatency_; }

 private:
  // On a timeline it keeps.
  Follower(FollowerParts parts, std::unique_ptr<SharedTimeline> own, Role role,
           std::chrono::milliseconds failover);
  TimelineSample Sample();
  void Mirror(const MainShow& show);
  void Follow(int64_t nowUs);
  // Starts (or moves to) the main's song at `position`.
  bool PlayAt(int32_t regionId, double position, int64_t nowUs);
  void Stop();
  // The start latency, once the transport moved after a start.
  void MeasureStart(double local, double rate, int64_t nowUs);
  void Trim(double error, double mainRate, int64_t nowUs);
  void TakeLead();
  // The rate trim and the seek setting go back to the user's.
  void ReleaseHeld();

  FollowerParts parts_;
  std::unique_ptr<SharedTimeline> ownTimeline_;
  const SharedTimeline& timeline_;
  Role role_;
  int64_t failoverUs_;
  // This rig mirrors the other one (a backup until it leads; a main while its backup leads).
  bool follows_;

  // Leading.
  uint64_t sequence_ = 0;

  // Following.
  uint64_t lastSequence_ = 0;
  std::optional<double> quantaApart_;  // whole quanta the other rig's beat count is ahead of ours
  BeatPlacer placer_{timeline_};
  std::optional<int64_t> heardUs_;  // the main's last word, on the shared timeline's clock
  std::optional<MainShow> lastShow_;
  int32_t mainQueued_ = -1;  // the section the main's last document had queued
  MainPosition main_;
  RateTrim trim_;
  double appliedRate_ = 1.0;
  int64_t lastTrimUs_ = 0;
  double lastLocal_ = 0.0;
  // The main's line this rig last followed, and since when a big gap stands unexplained.
  uint64_t followedLine_ = 0;
  std::optional<int64_t> unexplainedSinceUs_;
  // A start waits for the transport to move; its latency is measured then.
  bool startPending_ = false;
  int64_t startUs_ = 0;
  double startTarget_ = 0.0;
  double startLatency_ = 0.0;
  bool latencyMeasured_ = false;
  bool tookOver_ = false;
};

}  // namespace quorvane::rig
