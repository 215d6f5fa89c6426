// The TCP ports this process itself listens on. quorvane-sim uses it to find the server of the
// extension it has loaded, which the discovery probe cannot single out when several instances run
// on one computer (a unicast probe reaches only one of them).
#pragma once

#include <cstdint>
#include <vector>

namespace quorvane::platform {

// IPv4 listening ports owned by this process, in no particular order; empty when the system does
// not tell (the caller then falls back to discovery).
std::vector<uint16_t> OwnListeningTcpPorts();

}  // namespace quorvane::platform
