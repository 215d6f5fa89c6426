#include "inbox/command_inbox.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <utility>

namespace quorvane::inbox {
namespace {

int64_t SteadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::string_view CommandFailurePlace(Origin origin) {
  switch (origin) {
    case Origin::kWeb:
      return "web remote: command";
    case Origin::kRig:
      return "rig channel: command";
    case Origin::kTcp:
      break;
  }
  return "remote server: command";
}

CommandInbox::CommandInbox(SteadyClock clock)
    : clock_(clock ? std::move(clock) : SteadyClock(&SteadyNanoseconds)) {}

void CommandInbox::SetArrivalNotifier(ArrivalNotifier notifier) {
  notifier_ = std::move(notifier);
}

bool CommandInbox::Push(InboxCommand command) {
  {
    std::lock_guard lock(mutex_);
    if (queue_.size() >= kMaxQueued) return false;
    queue_.push_back(std::move(command));
  }
  if (notifier_) notifier_();
  return true;
}

bool CommandInbox::PushLines(Origin origin, std::vector<std::string> lines) {
  bool all = true;
  bool any = false;
  {
    std::lock_guard lock(mutex_);
    for (std::string& line : lines) {
      if (queue_.size() >= kMaxQueued) {
        all = false;
        break;
      }
      queue_.push_back({origin, std::move(line), {}});
      any = true;
    }
  }
  if (any && notifier_) notifier_();
  return all;
}

void CommandInbox::Run(const Runner& runner) {
  // One command at a time, so that a flood costs the host's interface at most the budget per run:
  // what is left stays queued, in order, for the next run. The first command always runs.
  const int64_t start = clock_();
  for (bool first = true;; first = false) {
    if (!first && runner && clock_() - start >= kRunBudgetNanoseconds) return;
    InboxCommand command;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      command = std::move(queue_.front());
      queue_.pop_front();
    }
    if (!runner) continue;  // nobody to run it: dropped
    std::string reason;
    try {
      reason = runner(command.line);
    } catch (...) {
      ReportCaughtException(failureSink_, CommandFailurePlace(command.origin));
      reason = "failed";
    }
    if (reason.empty() || !command.reply) continue;
    try {
      command.reply(reason);
    } catch (...) {
      ReportCaughtException(failureSink_, CommandFailurePlace(command.origin));
    }
  }
}

void CommandInbox::Discard(Origin origin) {
  std::deque<InboxCommand> dropped;  // destroyed outside the lock: a reply may hold a transport
  std::lock_guard lock(mutex_);
  const auto kept = std::stable_partition(
      queue_.begin(), queue_.end(),
      [origin](const InboxCommand& command) { return command.origin != origin; });
  std::move(kept, queue_.end(), std::back_inserter(dropped));
  queue_.erase(kept, queue_.end());
}

std::size_t CommandInbox::QueuedCount() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

std::size_t CommandInbox::QueuedCount(Origin origin) const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(
      std::count_if(queue_.begin(), queue_.end(),
                    [origin](const InboxCommand& command) { return command.origin == origin; }));
}

}  // namespace quorvane::inbox
