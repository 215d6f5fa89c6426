#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <array>

#include "platform/network_addresses.h"

namespace quorvane::platform {

// The addresses the computer's own name resolves to: Windows Sockets alone, no further DLL.
std::vector<std::string> LocalIpv4Addresses() {
  std::vector<std::string> addresses;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return addresses;
  std::array<char, 256> name{};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* list = nullptr;
  if (gethostname(name.data(), static_cast<int>(name.size())) == 0 &&
      getaddrinfo(name.data(), nullptr, &hints, &list) == 0) {
    for (const addrinfo* entry = list; entry; entry = entry->ai_next) {
      const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
      if ((ntohl(address->sin_addr.s_addr) >> 24) == 127) continue;
      std::array<char, INET_ADDRSTRLEN> text{};
      if (!inet_ntop(AF_INET, &address->sin_addr, text.data(), text.size())) continue;
      std::string dotted(text.data());
      if (std::find(addresses.begin(), addresses.end(), dotted) == addresses.end()) {
        addresses.push_back(std::move(dotted));
      }
    }
    freeaddrinfo(list);
  }
  WSACleanup();
  return addresses;
}

}  // namespace quorvane::platform
