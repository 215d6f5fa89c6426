// The two ends of the rig channel as the main thread sees them. The web server carries the main's
// end; the backup dials the main's control address. Both hand what arrived to the main thread,
// which takes it each tick; neither ever blocks the main thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "rig/rig_wire.h"

namespace quorvane::rig {

// On the main: every connected backup.
class BackupLinks {
 public:
  virtual ~BackupLinks() = default;
  // Sent to every backup connected now (and the hello and last state to each one that connects).
  virtual void Send(const FromMain& message) = 0;
  // What the backups sent since the last call, in arrival order.
  virtual std::vector<FromBackup> TakeArrived() = 0;
  virtual std::size_t ConnectedBackups() const = 0;
};

// On the backup: the one link to the main.
class MainLink {
 public:
  virtual ~MainLink() = default;
  // Dials `controlAddress` ("http://HOST:PORT/?key=KEY"), and again after a loss, until Close.
  virtual void Open(const std::string& controlAddress, BackupHello hello) = 0;
  virtual void Close() = 0;
  virtual bool Connected() const = 0;
  // What the main sent since the last call, in arrival order.
  virtual std::vector<FromMain> TakeArrived() = 0;
  // When the last message of any kind came from the main (steady clock); none yet: nullopt.
  virtual std::optional<std::chrono::steady_clock::time_point> LastHeard() const = 0;
  // False when not connected (the caller decides: a command is then run here or dropped).
  virtual bool Send(const FromBackup& message) = 0;
};

}  // namespace quorvane::rig

namespace quorvane::rig {

// What plays the main's show on the backup and samples it on the main (the follower). The core
// hands it the channel's show traffic and calls it every tick; the channel's own business (hellos,
// keys, forwarded commands, the project comparison) stays with the core.
class ShowFollowing {
 public:
  virtual ~ShowFollowing() = default;
  // While this rig follows: a MainState or TimelineSample from the rig that leads (a leading
  // backup's state comes as a MainState too), in arrival order.
  virtual void OnMainMessage(const FromMain& message) = 0;
  // Every tick, after the commands and the show ran. On the main `backups` is the channel's main
  // end; on the backup `main` is its link to the main. The leading rig's timeline samples go out
  // through whichever this rig has; a following rig takes the lead when the other went quiet for
  // the failover time. Either may be null.
  virtual void Tick(BackupLinks* backups, MainLink* main) = 0;
  // The other rig leads from now: this one mirrors its show and transport (a main that came back
  // while its backup leads; a backup that handed the lead back).
  virtual void FollowTheOther() = 0;
  // This rig leads from now, its own engine running the show (the lead handed back to the main).
  virtual void TakeTheLead() = 0;
};

}  // namespace quorvane::rig
