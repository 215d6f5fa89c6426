// IPv4 sockets for the remote server, its discovery responder and their clients: BSD sockets on
// Linux, Windows Sockets 2.2 on Windows, the same behaviour on both. Every socket is owned by a
// move-only Socket that closes it on destruction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quorvane::platform {

// Keeps the system's socket library started while it lives (WSAStartup / WSACleanup on Windows;
// nothing to do elsewhere). Every socket must be closed before its library object ends.
class SocketLibrary {
 public:
  SocketLibrary();
  ~SocketLibrary();
  SocketLibrary(const SocketLibrary&) = delete;
  SocketLibrary& operator=(const SocketLibrary&) = delete;

  bool IsStarted() const { return started_; }

 private:
  bool started_ = false;
};

// An IPv4 address and port, both in host byte order.
struct Endpoint {
  uint32_t address = 0;
  uint16_t port = 0;

  static constexpr uint32_t kLoopbackAddress = 0x7F000001u;  // 127.0.0.1
  static Endpoint Loopback(uint16_t port) { return Endpoint{kLoopbackAddress, port}; }
  bool operator==(const Endpoint&) const = default;
};

enum class IoStatus {
  kDone,        // `bytes` were transferred (a receive of 0 bytes on a datagram socket included)
  kWouldBlock,  // nothing can be transferred right now, or a receive timeout passed; try again
  kClosed,      // the peer closed the connection (stream receive only)
  kFailed,      // any other error (a reset connection, a receive timeout, a closed socket)
};

struct IoResult {
  IoStatus status = IoStatus::kFailed;
  std::size_t bytes = 0;
};

class Socket {
 public:
  // The native handle: a file descriptor, or a Windows SOCKET (INVALID_SOCKET maps to kInvalid).
  using Handle = std::intptr_t;
  static constexpr Handle kInvalid = -1;

  Socket() = default;
  ~Socket();
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // A TCP listener on every local IPv4 address and a port chosen by the system, with address
  // reuse, listening with the largest backlog; invalid on failure.
  static Socket ListenTcp();
  // A blocking TCP connection to `to`; invalid on failure.
  static Socket ConnectTcp(const Endpoint& to);
  // The same, giving up after `timeoutMilliseconds`, so that an address that never answers cannot
  // hold a client for minutes; `timedOut` (optional) tells a timeout from a refusal. The socket is
  // blocking once connected.
  static Socket ConnectTcp(const Endpoint& to, int timeoutMilliseconds, bool* timedOut);
  // A UDP socket bound to every local IPv4 address and `port`, with address reuse and broadcast
  // permission, so that several processes can share a well-known port; invalid on failure.
  static Socket BindSharedUdp(uint16_t port);
  // A plain UDP socket bound to `local` (port 0: chosen by the system); invalid on failure.
  static Socket BindUdp(const Endpoint& local);

  bool IsValid() const { return handle_ != kInvalid; }
  Handle NativeHandle() const { return handle_; }
  void Close();

  bool SetNonBlocking();
  // Sends small writes at once (no Nagle delay).
  bool SetNoDelay();
  // A blocking receive fails after `milliseconds` without data.
  bool SetReceiveTimeout(int milliseconds);
  // The port the socket is bound to, in host byte order; 0 on failure.
  uint16_t LocalPort() const;

  // Ends this side's sending on a connected stream: the peer reads the end of the stream after the
  // bytes already sent, while this side can still receive.
  bool ShutdownSend();

  // The next pending connection of a listener; invalid when none is waiting or on failure.
  // `peer` (optional) receives the address it came from.
  Socket Accept(Endpoint* peer = nullptr) const;

  IoResult Send(const void* data, std::size_t size) const;
  IoResult Receive(void* buffer, std::size_t capacity) const;
  IoResult SendTo(const void* data, std::size_t size, const Endpoint& to) const;
  // A datagram larger than `capacity` is reported as kFailed or cut to `capacity`, depending on
  // the system; either way it never matches a datagram of an exact expected length.
  IoResult ReceiveFrom(void* buffer, std::size_t capacity, Endpoint* from) const;

 private:
  explicit Socket(Handle handle) : handle_(handle) {}

  Handle handle_ = kInvalid;
};

// One socket of a readiness wait. An error or a hang-up reports the socket readable, so that the
// following receive sees it.
struct PollEntry {
  Socket::Handle handle = Socket::kInvalid;
  bool wantRead = false;
  bool wantWrite = false;
  bool readable = false;  // out
  bool writable = false;  // out
};

enum class WaitResult { kReady, kTimeout, kFailed };

// Waits until one of `entries` is ready or `timeoutMilliseconds` pass (poll / WSAPoll, so there is
// no limit on handle values or counts). An interrupted wait reports kTimeout.
WaitResult WaitForSockets(std::span<PollEntry> entries, int timeoutMilliseconds);

// The computer's network name, or "REAPER" when it cannot be read.
std::string HostName();

}  // namespace quorvane::platform
