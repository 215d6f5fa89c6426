// A way the clients reach the extension (the TCP server, the web remote): what the core does with
// each of them, in a loop, instead of naming every server. A transport pushes its clients'
// commands into the one CommandInbox; the core runs them and offers the state document back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "inbox/failure_sink.h"

namespace quorvane::inbox {

// Why a document is offered: the tick's regular offer, or the result of commands that just ran,
// which a performer waits for.
enum class Offer { kTick, kCommandResult };

class Transport {
 public:
  // The whole state document as one JSON object, built on the main thread when asked.
  using StateProvider = std::function<std::string()>;
  virtual ~Transport() = default;

  // Set before Start.
  virtual void SetFailureSink(FailureSink sink) = 0;
  virtual void SetStateProvider(StateProvider provider) = 0;
  // Opens the transport; true when running afterwards. Without it the extension still runs, only
  // not through this transport.
  virtual bool Start() = 0;
  // Closes every connection; its commands not run yet are dropped.
  virtual void Stop() = 0;
  // Main thread: hands the state document to the clients, at the transport's own pace.
  virtual void Publish(Offer offer) = 0;
  // Main thread: milliseconds until a result that the transport's pace held may go out (0: now),
  // -1 when it holds none.
  virtual int64_t HeldResultDueInMs() const { return -1; }
};

}  // namespace quorvane::inbox
