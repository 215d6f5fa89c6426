// The remote server's main-thread side: offering the state document to the clients at the pace of
// the tick or of a command's result.
// The control thread's side (accepting, reading, sending) is in remote_server.cpp.
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "remote/remote_server.h"

namespace quorvane::remote {

int64_t RemoteServer::HeldResultDueInMs() const {
  if (!resultHeld_ || !running_.load()) return -1;
  if (!lastCommandResultTime_) return 0;
  const int64_t left = *lastCommandResultTime_ + kCommandResultIntervalNanoseconds - clock_();
  // Rounded up: a wake at the time told finds the result due.
  return left <= 0 ? 0 : (left + 999'999) / 1'000'000;
}

void RemoteServer::BroadcastState(Offer offer) {
  if (!running_.load()) return;
  StateProvider provider;
  {
    std::lock_guard lock(callbacksMutex_);
    provider = stateProvider_;
  }
  if (!provider) return;

  const int64_t now = clock_();
  const auto passed = [now](const std::optional<int64_t>& last, int64_t interval) {
    return !last || now - *last >= interval;
  };
  const bool due = offer == Offer::kCommandResult
                       ? passed(lastCommandResultTime_, kCommandResultIntervalNanoseconds)
                       : passed(lastBroadcastTime_, kBroadcastIntervalNanoseconds);
  // A command's result held by its pace goes out with the first offer its pace allows.
  if (!due && offer == Offer::kCommandResult) resultHeld_ = true;
  if (!due) {
    std::lock_guard lock(clientsMutex_);
    bool awaiting = false;
    for (const auto& entry : clients_)
      awaiting = awaiting || entry.second.awaitingGreeting;
    if (!awaiting) return;
  }

  std::string document;
  try {
    document = provider();
  } catch (...) {
    ReportCaughtException(failureSink_, "remote server: state document");
    document.clear();  // treated like an empty document: nothing is sent
  }
  if (due) {
    lastBroadcastTime_ = now;
    if (offer == Offer::kCommandResult) lastCommandResultTime_ = now;
    resultHeld_ = false;  // this document carries every result so far
  }
  const bool changed = due && !document.empty() && document != lastStateSent_;
  // One copy of the line for all clients. The main thread only queues it: the sends, which cost
  // the system some microseconds per client, happen on the control thread.
  const std::shared_ptr<const std::string> line =
      document.empty() ? nullptr : std::make_shared<const std::string>(document + '\n');

  bool queued = false;
  {
    std::lock_guard lock(clientsMutex_);
    std::vector<platform::Socket::Handle> dropped;
    for (auto& [handle, client] : clients_) {
      // Without a document a new client keeps waiting: the next call greets it.
      if (!line || !(changed || client.awaitingGreeting)) continue;
      if (QueueLine(client, line)) {
        client.awaitingGreeting = false;
        queued = true;
      } else {
        dropped.push_back(handle);
      }
    }
    for (const platform::Socket::Handle handle : dropped)
      Retire(handle);
  }
  if (queued) WakeForSending();
  if (changed) lastStateSent_ = std::move(document);
}

}  // namespace quorvane::remote
