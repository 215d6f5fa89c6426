// Plain loopback clients for the network suites: a TCP line reader and a UDP prober. They know the
// protocol only as bytes; every wait has a deadline so that a broken server fails a test instead
// of hanging it.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/socket.h"

namespace quorvane::remote::testing {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline constexpr auto kPatience = 5s;  // how long a test waits for something that must happen

// Polls `condition` until it holds or `timeout` passes.
template <class Condition>
bool Eventually(Condition condition, std::chrono::milliseconds timeout = kPatience) {
  const auto deadline = Clock::now() + timeout;
  while (!condition()) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

inline int RemainingMilliseconds(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// Waits for `socket` to become readable before `deadline`.
inline bool WaitReadable(const platform::Socket& socket, Clock::time_point deadline) {
  platform::PollEntry entry;
  entry.handle = socket.NativeHandle();
  entry.wantRead = true;
  platform::PollEntry entries[] = {entry};
  return platform::WaitForSockets(entries, RemainingMilliseconds(deadline)) ==
             platform::WaitResult::kReady &&
         entries[0].readable;
}

class LineClient {
 public:
  explicit LineClient(uint16_t port)
      : socket_(platform::Socket::ConnectTcp(platform::Endpoint::Loopback(port))) {}

  bool IsConnected() const { return socket_.IsValid(); }

  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      const platform::IoResult sent = socket_.Send(bytes.data(), bytes.size());
      if (sent.status != platform::IoStatus::kDone) return false;
      bytes.remove_prefix(sent.bytes);
    }
    return true;
  }

  // The next line without its line feed; nothing when none is complete before `timeout` or the
  // connection ends first.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout = kPatience) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      const std::size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      if (!ReadSome(deadline)) return std::nullopt;
    }
  }

  // True when the server closes the connection before `timeout`. What arrives until then is kept
  // in Pending().
  bool WaitClosed(std::chrono::milliseconds timeout = kPatience) {
    const auto deadline = Clock::now() + timeout;
    while (!closed_) {
      if (!ReadSome(deadline) && !closed_) return false;
    }
    return true;
  }

  // True when nothing arrives for `quiet` (a bounded check that a message was not sent).
  bool StaysQuiet(std::chrono::milliseconds quiet) {
    if (buffer_.find('\n') != std::string::npos) return false;
    return !WaitReadable(socket_, Clock::now() + quiet);
  }

  const std::string& Pending() const { return buffer_; }
  bool Closed() const { return closed_; }
  void Close() { socket_.Close(); }

 private:
  bool ReadSome(Clock::time_point deadline) {
    if (closed_ || !WaitReadable(socket_, deadline)) return false;
    char chunk[65536];
    const platform::IoResult received = socket_.Receive(chunk, sizeof chunk);
    if (received.status == platform::IoStatus::kDone) {
      buffer_.append(chunk, received.bytes);
      return true;
    }
    if (received.status == platform::IoStatus::kWouldBlock) return true;
    closed_ = true;  // an orderly close or a reset
    return false;
  }

  platform::Socket socket_;
  std::string buffer_;
  bool closed_ = false;
};

class Prober {
 public:
  Prober() : socket_(platform::Socket::BindUdp(platform::Endpoint::Loopback(0))) {}

  bool IsOpen() const { return socket_.IsValid(); }

  bool SendTo(uint16_t port, std::string_view datagram) {
    return socket_.SendTo(datagram.data(), datagram.size(), platform::Endpoint::Loopback(port))
               .status == platform::IoStatus::kDone;
  }

  // The next datagram and its sender, or nothing before `timeout`.
  std::optional<std::string> Receive(std::chrono::milliseconds timeout = kPatience,
                                     platform::Endpoint* from = nullptr) {
    const auto deadline = Clock::now() + timeout;
    while (WaitReadable(socket_, deadline)) {
      char buffer[2048];
      const platform::IoResult received = socket_.ReceiveFrom(buffer, sizeof buffer, from);
      if (received.status == platform::IoStatus::kDone) return std::string(buffer, received.bytes);
    }
    return std::nullopt;
  }

 private:
  platform::Socket socket_;
};

}  // namespace quorvane::remote::testing
