// One TCP connection to an instance, read as lines: what the server sends is JSON objects each
// ending in a line feed. Every wait has a deadline, and `interrupted` is asked at least every
// tenth of a second, so that no call can hang the tool.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/socket.h"

namespace quorvane::remote_cli {

using Clock = std::chrono::steady_clock;

enum class ConnectStatus { kConnected, kRefused, kTimedOut };

enum class ReadStatus {
  kLine,         // a line arrived
  kTimedOut,     // none before the deadline
  kClosed,       // the server ended the connection
  kFailed,       // the connection broke (reset) or a line grew beyond kMaxLineBytes
  kInterrupted,  // `interrupted` answered true
};

class LineConnection {
 public:
  // More than any state document the server would send (it drops a client whose backlog passes
  // 8 MiB); a longer line means something else is talking.
  static constexpr std::size_t kMaxLineBytes = 32 * 1024 * 1024;

  LineConnection() = default;

  ConnectStatus Connect(const platform::Endpoint& to, std::chrono::milliseconds timeout);
  bool IsOpen() const { return socket_.IsValid(); }

  // The next line without its line feed (a carriage return before it is dropped too).
  ReadStatus ReadLine(std::string* line, Clock::time_point deadline,
                      const std::function<bool()>& interrupted = {});

  // Sends all of `bytes` before `deadline`; false when the connection failed or the time ran out.
  bool SendAll(std::string_view bytes, Clock::time_point deadline);

  // Tells the server that nothing more will be sent; it then drops this client after reading
  // what was sent, so the end of the stream confirms that the server took every line.
  bool FinishSending() { return socket_.ShutdownSend(); }

  void Close() { socket_.Close(); }

 private:
  // Waits for data and appends it to the buffer; the status when that is not possible.
  std::optional<ReadStatus> Fill(Clock::time_point deadline,
                                 const std::function<bool()>& interrupted);

  platform::Socket socket_;
  std::string buffer_;
  std::size_t scanned_ = 0;  // bytes of buffer_ known to hold no line feed
  bool ended_ = false;
};

}  // namespace quorvane::remote_cli
