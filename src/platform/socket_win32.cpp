#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include <array>
#include <climits>
#include <vector>

#include "platform/socket.h"
#include "platform/socket_native.h"

namespace quorvane::platform {
namespace {

SOCKET Native(Socket::Handle handle) {
  return static_cast<SOCKET>(handle);
}

Socket::Handle FromNative(SOCKET socket) {
  return socket == INVALID_SOCKET ? Socket::kInvalid : static_cast<Socket::Handle>(socket);
}

sockaddr_in ToAddress(const Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(endpoint.address);
  address.sin_port = htons(endpoint.port);
  return address;
}

// Winsock takes lengths as int; a larger transfer simply moves fewer bytes.
int Length(std::size_t size) {
  return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

IoResult Transferred(int result, bool zeroMeansClosed) {
  if (result > 0) return IoResult{IoStatus::kDone, static_cast<std::size_t>(result)};
  if (result == 0) return IoResult{zeroMeansClosed ? IoStatus::kClosed : IoStatus::kDone, 0};
  switch (WSAGetLastError()) {
    case WSAEWOULDBLOCK:
    case WSAEINPROGRESS:
    case WSAEINTR:
    case WSAETIMEDOUT:  // a receive timeout
      return IoResult{IoStatus::kWouldBlock, 0};
    default:
      return IoResult{IoStatus::kFailed, 0};
  }
}

}  // namespace

namespace native {

Socket::Handle OpenSocket(SocketKind kind) {
  const bool stream = kind == SocketKind::kStream;
  return FromNative(
      socket(AF_INET, stream ? SOCK_STREAM : SOCK_DGRAM, stream ? IPPROTO_TCP : IPPROTO_UDP));
}

void CloseSocket(Socket::Handle handle) {
  closesocket(Native(handle));
}

bool SetFlag(Socket::Handle handle, SocketFlag flag) {
  const BOOL one = TRUE;
  const int level = flag == SocketFlag::kNoDelay ? IPPROTO_TCP : SOL_SOCKET;
  const int option = flag == SocketFlag::kNoDelay     ? TCP_NODELAY
                     : flag == SocketFlag::kBroadcast ? SO_BROADCAST
                                                      : SO_REUSEADDR;
  return setsockopt(Native(handle), level, option, reinterpret_cast<const char*>(&one),
                    sizeof one) == 0;
}

bool BindTo(Socket::Handle handle, const Endpoint& local) {
  const sockaddr_in address = ToAddress(local);
  return bind(Native(handle), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool Listen(Socket::Handle handle) {
  return listen(Native(handle), SOMAXCONN) == 0;
}

}  // namespace native

SocketLibrary::SocketLibrary() {
  WSADATA data{};
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
  if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
    WSACleanup();
    return;
  }
  started_ = true;
}

SocketLibrary::~SocketLibrary() {
  if (started_) WSACleanup();
}

Socket Socket::ConnectTcp(const Endpoint& to) {
  Socket connection(native::OpenSocket(native::SocketKind::kStream));
  if (!connection.IsValid()) return {};
  const sockaddr_in address = ToAddress(to);
  if (connect(Native(connection.handle_), reinterpret_cast<const sockaddr*>(&address),
              sizeof address) != 0) {
    return {};
  }
  return connection;
}

Socket Socket::ConnectTcp(const Endpoint& to, int timeoutMilliseconds, bool* timedOut) {
  if (timedOut) *timedOut = false;
  Socket connection(native::OpenSocket(native::SocketKind::kStream));
  if (!connection.IsValid()) return {};
  const SOCKET s = Native(connection.handle_);
  u_long mode = 1;
  if (ioctlsocket(s, FIONBIO, &mode) != 0) return {};
  const sockaddr_in address = ToAddress(to);
  if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) return {};
    // select rather than WSAPoll: older WSAPoll never reports a refused connection. The sets are
    // filled by hand (one socket each) instead of through the FD_ macros.
    fd_set writable{};
    writable.fd_count = 1;
    writable.fd_array[0] = s;
    fd_set failed = writable;
    const int milliseconds = timeoutMilliseconds < 0 ? 0 : timeoutMilliseconds;
    timeval timeout{};
    timeout.tv_sec = milliseconds / 1000;
    timeout.tv_usec = (milliseconds % 1000) * 1000;
    const int ready = select(0, nullptr, &writable, &failed, &timeout);
    if (ready == 0 && timedOut) *timedOut = true;
    if (ready <= 0 || failed.fd_count != 0 || writable.fd_count == 0) return {};
  }
  mode = 0;
  if (ioctlsocket(s, FIONBIO, &mode) != 0) return {};
  return connection;
}

bool Socket::SetNonBlocking() {
  u_long mode = 1;
  return ioctlsocket(Native(handle_), FIONBIO, &mode) == 0;
}

bool Socket::SetReceiveTimeout(int milliseconds) {
  const DWORD timeout = static_cast<DWORD>(milliseconds);
  return setsockopt(Native(handle_), SOL_SOCKET, SO_RCVTIMEO,
                    reinterpret_cast<const char*>(&timeout), sizeof timeout) == 0;
}

uint16_t Socket::LocalPort() const {
  sockaddr_in address{};
  int length = sizeof address;
  if (getsockname(Native(handle_), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

bool Socket::ShutdownSend() {
  return shutdown(Native(handle_), SD_SEND) == 0;
}

Socket Socket::Accept(Endpoint* peer) const {
  sockaddr_in address{};
  int length = sizeof address;
  Socket accepted(
      FromNative(accept(Native(handle_), reinterpret_cast<sockaddr*>(&address), &length)));
  if (accepted.IsValid() && peer) {
    *peer = Endpoint{ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
  }
  return accepted;
}

IoResult Socket::Send(const void* data, std::size_t size) const {
  return Transferred(send(Native(handle_), static_cast<const char*>(data), Length(size), 0), false);
}

IoResult Socket::Receive(void* buffer, std::size_t capacity) const {
  return Transferred(recv(Native(handle_), static_cast<char*>(buffer), Length(capacity), 0), true);
}

IoResult Socket::SendTo(const void* data, std::size_t size, const Endpoint& to) const {
  const sockaddr_in address = ToAddress(to);
  return Transferred(sendto(Native(handle_), static_cast<const char*>(data), Length(size), 0,
                            reinterpret_cast<const sockaddr*>(&address), sizeof address),
                     false);
}

IoResult Socket::ReceiveFrom(void* buffer, std::size_t capacity, Endpoint* from) const {
  sockaddr_in address{};
  int length = sizeof address;
  const int result = recvfrom(Native(handle_), static_cast<char*>(buffer), Length(capacity), 0,
                              reinterpret_cast<sockaddr*>(&address), &length);
  if (result >= 0 && from)
    *from = Endpoint{ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
  return Transferred(result, false);
}

WaitResult WaitForSockets(std::span<PollEntry> entries, int timeoutMilliseconds) {
  std::vector<WSAPOLLFD> fds(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    fds[i].fd = Native(entries[i].handle);
    // WSAPoll refuses the priority-band flags, so ask for normal data only.
    fds[i].events = static_cast<SHORT>((entries[i].wantRead ? POLLRDNORM : 0) |
                                       (entries[i].wantWrite ? POLLWRNORM : 0));
  }
  const int result = WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMilliseconds);
  if (result == SOCKET_ERROR) {
    return WSAGetLastError() == WSAEINTR ? WaitResult::kTimeout : WaitResult::kFailed;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const SHORT seen = fds[i].revents;
    entries[i].readable = (seen & (POLLRDNORM | POLLERR | POLLHUP | POLLNVAL)) != 0;
    entries[i].writable = (seen & POLLWRNORM) != 0;
  }
  return result == 0 ? WaitResult::kTimeout : WaitResult::kReady;
}

std::string HostName() {
  const SocketLibrary library;  // gethostname needs a started Winsock
  std::array<char, 256> name{};
  if (!library.IsStarted() || gethostname(name.data(), 255) != 0 || name[0] == '\0') {
    return "REAPER";
  }
  return std::string(name.data());
}

}  // namespace quorvane::platform
