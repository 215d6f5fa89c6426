// Failures caught where the host or the system calls us (the timer, the hooks, the wake, window
// procedures) or on a server's own thread: nothing may reach the host, but nothing should vanish
// either. Each distinct failure is written once to the host's console; a failure that repeats every
// tick would otherwise flood it thirty times a second.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_api.h"

namespace quorvane::host {

class FailureReports {
 public:
  // While it lives, this record takes the reports of ReportCaughtException (the newest one made,
  // when tests hold several).
  explicit FailureReports(const HostApi& host);
  ~FailureReports();
  FailureReports(const FailureReports&) = delete;
  FailureReports& operator=(const FailureReports&) = delete;

  // Main thread, from a catch block: reports the exception being handled as caught in `where`
  // ("the timer tick", "the action Quorvane_StartShow") at once, unless it was reported before.
  void ReportCurrentException(std::string_view where) noexcept;
  // Any thread: a failure in `where` that says `what`; written by the main thread's next Flush
  // unless the same was reported before. Never blocks for long: a server's thread may call it.
  void Report(std::string_view where, std::string_view what) noexcept;
  // Main thread: writes what other threads reported to the host's console.
  void Flush() noexcept;

 private:
  // Enough distinct failures to find a cause; beyond that the console would only fill up.
  static constexpr size_t kMaxReports = 16;

  const HostApi& host_;
  std::mutex mutex_;
  std::set<std::string> reported_;      // where + what, as seen
  std::vector<std::string> unwritten_;  // console texts not written yet
};

// What the exception being handled says: its what() text, or that it was not a std::exception.
std::string DescribeCurrentException();

// For code the system calls with no record of ours at hand (a window procedure): reports the
// exception being handled to the live FailureReports, on the main thread; nothing without one.
void ReportCaughtException(std::string_view where) noexcept;

}  // namespace quorvane::host
