// What the two socket implementations share: ownership, and the sockets built from the
// system-specific calls in socket_native.h.
#include "platform/socket.h"

#include "platform/socket_native.h"

namespace quorvane::platform {

using native::SocketFlag;
using native::SocketKind;

Socket::~Socket() {
  Close();
}

Socket::Socket(Socket&& other) noexcept : handle_(other.handle_) {
  other.handle_ = kInvalid;
}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = kInvalid;
  }
  return *this;
}

void Socket::Close() {
  if (handle_ != kInvalid) native::CloseSocket(handle_);
  handle_ = kInvalid;
}

Socket Socket::ListenTcp() {
  Socket listener(native::OpenSocket(SocketKind::kStream));
  if (!listener.IsValid()) return {};
  if (!native::SetFlag(listener.handle_, SocketFlag::kReuseAddress)) return {};
  if (!native::BindTo(listener.handle_, Endpoint{0, 0})) return {};
  if (!native::Listen(listener.handle_)) return {};
  return listener;
}

Socket Socket::BindSharedUdp(uint16_t port) {
  Socket udp(native::OpenSocket(SocketKind::kDatagram));
  if (!udp.IsValid()) return {};
  // SO_REUSEADDR lets every running instance bind the shared discovery port. On Linux, UDP
  // sockets that all set it may share a port: a broadcast reaches each of them and a unicast
  // datagram the one bound last. SO_REUSEPORT is deliberately not set: it would refuse sharing
  // with instances that did not set it too, and spread unicast probes over the instances by a hash
  // of the sender instead.
  if (!native::SetFlag(udp.handle_, SocketFlag::kReuseAddress)) return {};
  if (!native::SetFlag(udp.handle_, SocketFlag::kBroadcast)) return {};
  if (!native::BindTo(udp.handle_, Endpoint{0, port})) return {};
  return udp;
}

Socket Socket::BindUdp(const Endpoint& local) {
  Socket udp(native::OpenSocket(SocketKind::kDatagram));
  if (!udp.IsValid()) return {};
  if (!native::BindTo(udp.handle_, local)) return {};
  return udp;
}

bool Socket::SetNoDelay() {
  return native::SetFlag(handle_, SocketFlag::kNoDelay);
}

}  // namespace quorvane::platform
