// The one inbox of remote commands: every transport's threads push the command lines their
// clients send, and the host's main thread runs them from here, in the order they arrived whatever
// transport brought them, within one time budget per run. A command carries where it came from
// and, for a transport that answers refusals, how to answer its sender.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "inbox/failure_sink.h"

namespace quorvane::inbox {

// kRig: a command a following backup rig passed on to this main from one of its clients.
enum class Origin : uint8_t { kTcp, kWeb, kRig };

// What a failure of a command from `origin` is reported as: "remote server: command" (TCP),
// "web remote: command" or "rig channel: command".
std::string_view CommandFailurePlace(Origin origin);

struct InboxCommand {
  Origin origin = Origin::kTcp;
  std::string line;
  // Tells the sender why its command was refused; empty for a transport that stays silent. Runs
  // on the main thread: it only hands the answer to its transport's thread.
  std::function<void(std::string_view reason)> reply;
};

class CommandInbox {
 public:
  // The steady clock in nanoseconds; it bounds each run.
  using SteadyClock = std::function<int64_t()>;
  // Called on the pushing thread after commands were queued, with none of the inbox's locks held
  // (a transport's own lock may be): it must only wake the main thread.
  using ArrivalNotifier = std::function<void()>;
  // Runs one command line on the main thread; returns why it was refused, or an empty string.
  using Runner = std::function<std::string(const std::string& line)>;

  // Commands waiting, from every transport together: a client whose command finds the inbox full
  // is dropped by its transport, and the clients of the other transports keep their place.
  static constexpr std::size_t kMaxQueued = 10000;
  // Main-thread time one run may spend on commands before it leaves the rest for the next one, so
  // that a flood of commands never freezes the host's interface.
  static constexpr int64_t kRunBudgetNanoseconds = 4'000'000;

  // An empty clock means std::chrono::steady_clock.
  explicit CommandInbox(SteadyClock clock = {});
  CommandInbox(const CommandInbox&) = delete;
  CommandInbox& operator=(const CommandInbox&) = delete;

  // Set before any transport starts; empty: nobody is woken (the tick still runs the commands).
  void SetArrivalNotifier(ArrivalNotifier notifier);
  // Where a command that throws is reported. Set before any transport starts.
  void SetFailureSink(FailureSink sink) { failureSink_ = std::move(sink); }

  // Any thread: queues `command` behind everything queued so far; false when the inbox is full
  // (the command is not queued).
  bool Push(InboxCommand command);
  // Any thread: queues the lines one client sent in one read, in order, with one wake; false when
  // the inbox filled before the last of them (the ones before it stay queued).
  bool PushLines(Origin origin, std::vector<std::string> lines);

  // Main thread: runs the queued commands in arrival order, for at most the budget (measured on
  // the clock given at construction) and at least one command; the rest wait, in order, for the
  // next run. A refusal goes back to a sender that is told; a command that throws is reported and
  // refused as "failed", and the following ones still run. Without a runner the commands are
  // dropped.
  void Run(const Runner& runner);

  // Drops the commands from `origin` not run yet: its transport stopped.
  void Discard(Origin origin);
  std::size_t QueuedCount() const;
  std::size_t QueuedCount(Origin origin) const;

 private:
  const SteadyClock clock_;
  ArrivalNotifier notifier_;  // written before the transports start only
  FailureSink failureSink_;   // written before the transports start only
  mutable std::mutex mutex_;
  std::deque<InboxCommand> queue_;
};

}  // namespace quorvane::inbox
