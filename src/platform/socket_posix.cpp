#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <vector>

#include "platform/socket.h"
#include "platform/socket_native.h"

namespace quorvane::platform {
namespace {

// A send to a peer that has gone must fail with an error, not raise SIGPIPE in the host process.
#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

int Fd(Socket::Handle handle) {
  return static_cast<int>(handle);
}

sockaddr_in ToAddress(const Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(endpoint.address);
  address.sin_port = htons(endpoint.port);
  return address;
}

bool IsWouldBlock(int error) {
  return error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == EINPROGRESS;
}

IoResult Transferred(ssize_t result, bool zeroMeansClosed) {
  if (result > 0) return IoResult{IoStatus::kDone, static_cast<std::size_t>(result)};
  if (result == 0) return IoResult{zeroMeansClosed ? IoStatus::kClosed : IoStatus::kDone, 0};
  return IoResult{IsWouldBlock(errno) ? IoStatus::kWouldBlock : IoStatus::kFailed, 0};
}

}  // namespace

namespace native {

// Reserves the descriptor on creation so that a later exec of the host does not inherit it.
Socket::Handle OpenSocket(SocketKind kind) {
  return socket(AF_INET, (kind == SocketKind::kStream ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC,
                0);
}

void CloseSocket(Socket::Handle handle) {
  close(Fd(handle));
}

bool SetFlag(Socket::Handle handle, SocketFlag flag) {
  const int one = 1;
  const int level = flag == SocketFlag::kNoDelay ? IPPROTO_TCP : SOL_SOCKET;
  const int option = flag == SocketFlag::kNoDelay     ? TCP_NODELAY
                     : flag == SocketFlag::kBroadcast ? SO_BROADCAST
                                                      : SO_REUSEADDR;
  return setsockopt(Fd(handle), level, option, &one, sizeof one) == 0;
}

bool BindTo(Socket::Handle handle, const Endpoint& local) {
  const sockaddr_in address = ToAddress(local);
  return bind(Fd(handle), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool Listen(Socket::Handle handle) {
  return listen(Fd(handle), SOMAXCONN) == 0;
}

}  // namespace native

SocketLibrary::SocketLibrary() : started_(true) {}
SocketLibrary::~SocketLibrary() = default;

Socket Socket::ConnectTcp(const Endpoint& to) {
  Socket connection(native::OpenSocket(native::SocketKind::kStream));
  if (!connection.IsValid()) return {};
  const sockaddr_in address = ToAddress(to);
  int result = 0;
  do {
    result = connect(Fd(connection.handle_), reinterpret_cast<const sockaddr*>(&address),
                     sizeof address);
  } while (result != 0 && errno == EINTR);
  if (result != 0) return {};
  return connection;
}

Socket Socket::ConnectTcp(const Endpoint& to, int timeoutMilliseconds, bool* timedOut) {
  if (timedOut) *timedOut = false;
  Socket connection(native::OpenSocket(native::SocketKind::kStream));
  if (!connection.IsValid()) return {};
  const int fd = Fd(connection.handle_);
  const int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return {};
  const sockaddr_in address = ToAddress(to);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    // An interrupted non-blocking connect goes on in the background like one in progress.
    if (errno != EINPROGRESS && errno != EINTR) return {};
    const auto deadline =
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(timeoutMilliseconds < 0 ? 0 : timeoutMilliseconds);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd entry{fd, POLLOUT, 0};
      const int ready = poll(&entry, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
      if (ready > 0) break;
      if (ready == 0) {
        if (timedOut) *timedOut = true;
        return {};
      }
      if (errno != EINTR) return {};
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) return {};
  }
  if (fcntl(fd, F_SETFL, flags) != 0) return {};
  return connection;
}

bool Socket::SetNonBlocking() {
  const int flags = fcntl(Fd(handle_), F_GETFL, 0);
  return flags >= 0 && fcntl(Fd(handle_), F_SETFL, flags | O_NONBLOCK) == 0;
}

bool Socket::SetReceiveTimeout(int milliseconds) {
  timeval timeout{};
  timeout.tv_sec = milliseconds / 1000;
  timeout.tv_usec = (milliseconds % 1000) * 1000;
  return setsockopt(Fd(handle_), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) == 0;
}

uint16_t Socket::LocalPort() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (getsockname(Fd(handle_), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

bool Socket::ShutdownSend() {
  return shutdown(Fd(handle_), SHUT_WR) == 0;
}

Socket Socket::Accept(Endpoint* peer) const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  int fd = -1;
  do {
    fd = accept4(Fd(handle_), reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return Socket();
  if (peer) *peer = Endpoint{ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
  return Socket(fd);
}

IoResult Socket::Send(const void* data, std::size_t size) const {
  return Transferred(send(Fd(handle_), data, size, kSendFlags), false);
}

IoResult Socket::Receive(void* buffer, std::size_t capacity) const {
  return Transferred(recv(Fd(handle_), buffer, capacity, 0), true);
}

IoResult Socket::SendTo(const void* data, std::size_t size, const Endpoint& to) const {
  const sockaddr_in address = ToAddress(to);
  return Transferred(sendto(Fd(handle_), data, size, kSendFlags,
                            reinterpret_cast<const sockaddr*>(&address), sizeof address),
                     false);
}

IoResult Socket::ReceiveFrom(void* buffer, std::size_t capacity, Endpoint* from) const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  const ssize_t result =
      recvfrom(Fd(handle_), buffer, capacity, 0, reinterpret_cast<sockaddr*>(&address), &length);
  if (result >= 0 && from)
    *from = Endpoint{ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
  return Transferred(result, false);
}

WaitResult WaitForSockets(std::span<PollEntry> entries, int timeoutMilliseconds) {
  std::vector<pollfd> fds(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    fds[i].fd = Fd(entries[i].handle);
    fds[i].events = static_cast<short>((entries[i].wantRead ? POLLIN : 0) |
                                       (entries[i].wantWrite ? POLLOUT : 0));
  }
  const int result = poll(fds.data(), static_cast<nfds_t>(fds.size()), timeoutMilliseconds);
  if (result < 0) return errno == EINTR ? WaitResult::kTimeout : WaitResult::kFailed;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const short seen = fds[i].revents;
    entries[i].readable = (seen & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) != 0;
    entries[i].writable = (seen & POLLOUT) != 0;
  }
  return result == 0 ? WaitResult::kTimeout : WaitResult::kReady;
}

std::string HostName() {
  std::array<char, 256> name{};
  if (gethostname(name.data(), 255) != 0 || name[0] == '\0') return "REAPER";
  return std::string(name.data());
}

}  // namespace quorvane::platform
