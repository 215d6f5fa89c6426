#include "quorvane_remote/line_connection.h"

#include <algorithm>
#include <array>
#include <optional>

namespace quorvane::remote_cli {
namespace {

constexpr auto kWaitSlice = std::chrono::milliseconds(100);

int Milliseconds(Clock::duration duration) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
  return ms < 0 ? 0 : static_cast<int>(std::min<long long>(ms, 1'000'000));
}

// Waits until `socket` can be read (or written) or `until` passes.
bool WaitFor(const platform::Socket& socket, bool write, Clock::time_point until) {
  std::array<platform::PollEntry, 1> entries{};
  entries[0].handle = socket.NativeHandle();
  entries[0].wantRead = !write;
  entries[0].wantWrite = write;
  return platform::WaitForSockets(entries, Milliseconds(until - Clock::now())) ==
             platform::WaitResult::kReady &&
         (entries[0].readable || entries[0].writable);
}

}  // namespace

ConnectStatus LineConnection::Connect(const platform::Endpoint& to,
                                      std::chrono::milliseconds timeout) {
  buffer_.clear();
  scanned_ = 0;
  ended_ = false;
  bool timedOut = false;
  socket_ = platform::Socket::ConnectTcp(to, static_cast<int>(timeout.count()), &timedOut);
  if (!socket_.IsValid()) return timedOut ? ConnectStatus::kTimedOut : ConnectStatus::kRefused;
  // Non-blocking from here on: every transfer waits for readiness with a deadline first.
  socket_.SetNonBlocking();
  socket_.SetNoDelay();
  return ConnectStatus::kConnected;
}

ReadStatus LineConnection::ReadLine(std::string* line, Clock::time_point deadline,
                                    const std::function<bool()>& interrupted) {
  for (;;) {
    const std::size_t end = buffer_.find('\n', scanned_);
    if (end != std::string::npos) {
      std::size_t length = end;
      if (length > 0 && buffer_[length - 1] == '\r') --length;
      line->assign(buffer_, 0, length);
      buffer_.erase(0, end + 1);
      scanned_ = 0;
      return ReadStatus::kLine;
    }
    scanned_ = buffer_.size();
    if (buffer_.size() > kMaxLineBytes) return ReadStatus::kFailed;
    if (ended_) return ReadStatus::kClosed;  // an unfinished last line is not a message
    if (const std::optional<ReadStatus> status = Fill(deadline, interrupted)) return *status;
  }
}

std::optional<ReadStatus> LineConnection::Fill(Clock::time_point deadline,
                                               const std::function<bool()>& interrupted) {
  if (!socket_.IsValid()) return ReadStatus::kFailed;
  for (;;) {
    if (interrupted && interrupted()) return ReadStatus::kInterrupted;
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return ReadStatus::kTimedOut;
    if (WaitFor(socket_, false, std::min(deadline, now + kWaitSlice))) break;
  }
  std::array<char, 64 * 1024> chunk;
  const platform::IoResult received = socket_.Receive(chunk.data(), chunk.size());
  switch (received.status) {
    case platform::IoStatus::kDone:
      buffer_.append(chunk.data(), received.bytes);
      return std::nullopt;
    case platform::IoStatus::kWouldBlock:
      return std::nullopt;
    case platform::IoStatus::kClosed:
      ended_ = true;
      return std::nullopt;  // the lines already buffered are still read
    case platform::IoStatus::kFailed:
      return ReadStatus::kFailed;
  }
  return ReadStatus::kFailed;
}

bool LineConnection::SendAll(std::string_view bytes, Clock::time_point deadline) {
  while (!bytes.empty()) {
    if (!socket_.IsValid()) return false;
    const platform::IoResult sent = socket_.Send(bytes.data(), bytes.size());
    if (sent.status == platform::IoStatus::kDone) {
      bytes.remove_prefix(sent.bytes);
      continue;
    }
    if (sent.status != platform::IoStatus::kWouldBlock) return false;
    if (Clock::now() >= deadline) return false;
    WaitFor(socket_, true, deadline);
  }
  return true;
}

}  // namespace quorvane::remote_cli
