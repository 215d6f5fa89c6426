// The main's end of the rig channel: backups connect to the web server's "/rig" path with the
// control key (and no Origin: a rig is no browser, and a foreign page must not reach it). Each one
// gets the main's hello (its project and web keys) and its last state document on connecting,
// then whatever the main thread sends. Each backup has its own bounded queue: one that does not
// keep up is dropped and dials again, the main thread never waits for it.
//
// RigHub is what the main thread and the server's thread share (under its mutex); RigEndpoint is
// the main thread's face of it.
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rig/rig_channel.h"

namespace quorvane::web {

class WebServer;

// One backup per main: two backups would both take the lead when the main dies.
inline constexpr std::size_t kMaxBackups = 1;
// A backup's messages not taken by the main thread yet; past it the backup is dropped.
inline constexpr std::size_t kMaxArrivedFromBackups = 10000;
// What may wait to go to one backup (a few state documents); past it the backup is dropped.
inline constexpr std::size_t kMaxQueuedToBackupBytes = 8 * 1024 * 1024;

struct RigHub {
  using Text = std::shared_ptr<const std::string>;

  std::mutex mutex;
  Text hello;  // the newest hello, for the backups that connect later
  Text state;  // the newest state, likewise
  std::deque<rig::FromBackup> arrived;
  std::atomic<std::size_t> connected{0};

  // Server's thread: false when the main thread is too far behind (the sender is dropped).
  bool Arrive(rig::FromBackup message);
  // What a backup that connects now gets first.
  std::vector<Text> Greeting();
};

class RigEndpoint final : public rig::BackupLinks {
 public:
  // Opens "/rig" on `server`, which must not be running yet.
  explicit RigEndpoint(WebServer& server);

  void Send(const rig::FromMain& message) override;
  std::vector<rig::FromBackup> TakeArrived() override;
  std::size_t ConnectedBackups() const override { return hub_->connected.load(); }

 private:
  WebServer& server_;
  std::shared_ptr<RigHub> hub_;
};

}  // namespace quorvane::web
