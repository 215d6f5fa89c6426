// Failures caught where the host calls us (the timer, the hooks): nothing may reach the host, but
// nothing should vanish either. Each distinct failure is written once to the host's console; a
// failure that repeats every tick would otherwise flood it thirty times a second.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "host/host_api.h"

namespace quorvane::host {

class FailureReports {
 public:
  explicit FailureReports(const HostApi& host) : host_(host) {}

  // Reports the exception being handled (call from a catch block) as caught in `where` ("the
  // timer tick", "the action Quorvane_StartShow"), unless the same failure was reported before.
  void ReportCurrentException(std::string_view where) noexcept;

 private:
  // Enough distinct failures to find a cause; beyond that the console would only fill up.
  static constexpr size_t kMaxReports = 16;

  const HostApi& host_;
  std::set<std::string> reported_;
};

// What the exception being handled says: its what() text, or that it was not a std::exception.
std::string DescribeCurrentException();

}  // namespace quorvane::host
