#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <array>

#include "platform/network_addresses.h"

namespace quorvane::platform {

std::vector<std::string> LocalIpv4Addresses() {
  std::vector<std::string> addresses;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return addresses;
  for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
    if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK)) continue;
    std::array<char, INET_ADDRSTRLEN> text{};
    const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    if (!inet_ntop(AF_INET, &address->sin_addr, text.data(), text.size())) continue;
    std::string dotted(text.data());
    if (std::find(addresses.begin(), addresses.end(), dotted) == addresses.end()) {
      addresses.push_back(std::move(dotted));
    }
  }
  freeifaddrs(list);
  return addresses;
}

}  // namespace quorvane::platform
