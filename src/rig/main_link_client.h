// The backup's end of the rig channel: a WebSocket client on a thread of its own that dials the
// main's control address, says its hello first, hands what the main sends to the main thread and
// dials again every kRedialInterval after a loss until Close. The main thread never waits on the
// network: Send only queues (bounded), TakeArrived only takes what is there.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "inbox/failure_sink.h"
#include "rig/rig_channel.h"

namespace quorvane::rig {

// "http://HOST:PORT/?key=KEY", taken apart.
struct ControlAddress {
  std::string host;
  uint16_t port = 0;
  std::string key;
};
// nullopt with `reason` (a line the band reads) when `text` is not such an address.
std::optional<ControlAddress> ParseControlAddress(const std::string& text, std::string* reason);

inline constexpr auto kRedialInterval = std::chrono::milliseconds(250);
// A main that says nothing (not even the WebSocket's pings' answers) this long is gone.
inline constexpr auto kMainSilenceLimit = std::chrono::seconds(2);
// What may wait to go to the main; past it Send refuses.
inline constexpr std::size_t kMaxQueuedToMainBytes = 1024 * 1024;
// What may wait for the main thread; past it the oldest state documents go first.
inline constexpr std::size_t kMaxArrivedMessages = 4096;

class MainLinkClient final : public MainLink {
 public:
  // Bad messages from the main and failures of the thread go to `failures` (may be empty).
  explicit MainLinkClient(inbox::FailureSink failures = {});
  // Closes the link and joins its thread.
  ~MainLinkClient() override;
  MainLinkClient(const MainLinkClient&) = delete;
  MainLinkClient& operator=(const MainLinkClient&) = delete;

  // A malformed address dials nothing: AddressProblem says why.
  void Open(const std::string& controlAddress, BackupHello hello) override;
  void Close() override;
  bool Connected() const override { return connected_.load(); }
  std::vector<FromMain> TakeArrived() override;
  std::optional<std::chrono::steady_clock::time_point> LastHeard() const override;
  bool Send(const FromBackup& message) override;

  // This rig's hello changed (its project was edited): sent now when connected, and on every
  // dial from now on.
  void UpdateHello(const BackupHello& hello);

  // Why the address given to Open is not one this client can dial; empty when it is.
  const std::string& AddressProblem() const { return addressProblem_; }
  // Why this backup is not connected, as the band reads it: a malformed address, or the main's
  // refusal of the last dial (a wrong key, a rig that is no main, a main that has its backup);
  // empty while connected or merely not reachable.
  std::string Problem() const;

  struct Impl;  // the thread's side

 private:
  inbox::FailureSink failures_;
  std::string addressProblem_;
  std::atomic<bool> connected_{false};
  std::atomic<int64_t> lastHeard_{0};  // steady clock ticks; 0: never
  std::atomic<int> refusedWith_{0};    // the HTTP status of the last refused dial; 0: none
  std::shared_ptr<Impl> impl_;
  std::thread thread_;
};

}  // namespace quorvane::rig
