// The computer's own IPv4 addresses, for showing the web remote's address to a bandmate.
#pragma once

#include <string>
#include <vector>

namespace quorvane::platform {

// Every IPv4 address of the computer's interfaces that are up, loopback excluded, in dotted form;
// empty when the computer has none or they cannot be read.
std::vector<std::string> LocalIpv4Addresses();

}  // namespace quorvane::platform
