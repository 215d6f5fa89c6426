// The handful of socket calls that socket_posix.cpp and socket_win32.cpp each implement for their
// system; socket.cpp builds what both share on top of them. Private to the platform layer.
#pragma once

#include "platform/socket.h"

namespace quorvane::platform::native {

enum class SocketKind { kStream, kDatagram };
enum class SocketFlag { kReuseAddress, kBroadcast, kNoDelay };

// A new IPv4 socket (not inherited by child processes where the system allows); kInvalid on
// failure.
Socket::Handle OpenSocket(SocketKind kind);
void CloseSocket(Socket::Handle handle);
bool SetFlag(Socket::Handle handle, SocketFlag flag);
bool BindTo(Socket::Handle handle, const Endpoint& local);
// Listens with the largest backlog the system allows.
bool Listen(Socket::Handle handle);

}  // namespace quorvane::platform::native
