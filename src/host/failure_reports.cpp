#include "host/failure_reports.h"

#include <exception>

namespace quorvane::host {

std::string DescribeCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "an exception that is not a std::exception";
  }
}

void FailureReports::ReportCurrentException(std::string_view where) noexcept {
  try {
    const std::string what = DescribeCurrentException();
    if (reported_.size() >= kMaxReports ||
        !reported_.insert(std::string(where) + "\n" + what).second)
      return;
    if (!host_.ShowConsoleMsg) return;  // a failure before the host functions were bound
    const std::string text = "Quorvane: an error in " + std::string(where) +
                             " was caught and skipped: " + what +
                             "\n(Reported once; if it repeats, it is not reported again.)\n";
    host_.ShowConsoleMsg(text.c_str());
  } catch (...) {
    // Out of memory while reporting: the failure stays contained, unreported.
  }
}

}  // namespace quorvane::host
