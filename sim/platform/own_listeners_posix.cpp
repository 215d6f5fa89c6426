// Linux: the sockets among this process's open files (/proc/self/fd) matched by inode against the
// listening sockets of its network namespace (/proc/net/tcp). Elsewhere /proc is absent and the
// answer is empty.
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "sim/platform/own_listeners.h"

namespace quorvane::platform {
namespace {

constexpr const char* kTcpTable = "/proc/self/net/tcp";
constexpr const char* kListenState = "0A";

std::set<std::string> OwnSocketInodes() {
  std::set<std::string> inodes;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    std::error_code linkError;
    const std::string target = std::filesystem::read_symlink(entry.path(), linkError).string();
    // "socket:[12345]"
    if (linkError || target.rfind("socket:[", 0) != 0 || target.back() != ']') continue;
    inodes.insert(target.substr(8, target.size() - 9));
  }
  return inodes;
}

}  // namespace

std::vector<uint16_t> OwnListeningTcpPorts() {
  const std::set<std::string> inodes = OwnSocketInodes();
  std::vector<uint16_t> ports;
  std::ifstream table(kTcpTable);
  std::string line;
  std::getline(table, line);  // the heading
  while (std::getline(table, line)) {
    // sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout inode
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
    if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
          timeout >> inode)) {
      continue;
    }
    const size_t colon = local.find(':');
    if (state != kListenState || colon == std::string::npos || !inodes.count(inode)) continue;
    try {
      const unsigned long port = std::stoul(local.substr(colon + 1), nullptr, 16);
      if (port > 0 && port <= 0xFFFF) ports.push_back(static_cast<uint16_t>(port));
    } catch (...) {
      // A line of another shape: not ours to read.
    }
  }
  return ports;
}

}  // namespace quorvane::platform
