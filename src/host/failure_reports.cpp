#include "host/failure_reports.h"

#include <exception>

namespace quorvane::host {
namespace {

// The live record for ReportCaughtException. Only the main thread makes, destroys and reports to
// it; the lock keeps a test that makes cores on two threads from tearing it.
std::mutex liveMutex;
FailureReports* live = nullptr;

}  // namespace

std::string DescribeCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "an exception that is not a std::exception";
  }
}

FailureReports::FailureReports(const HostApi& host) : host_(host) {
  const std::lock_guard lock(liveMutex);
  live = this;
}

FailureReports::~FailureReports() {
  const std::lock_guard lock(liveMutex);
  if (live == this) live = nullptr;
}

void FailureReports::Report(std::string_view where, std::string_view what) noexcept {
  try {
    std::string key;
    key.reserve(where.size() + 1 + what.size());
    key.append(where).append("\n").append(what);
    const std::lock_guard lock(mutex_);
    if (reported_.size() >= kMaxReports || !reported_.insert(std::move(key)).second) return;
    unwritten_.push_back("Quorvane: an error in " + std::string(where) +
                         " was caught and skipped: " + std::string(what) +
                         "\n(Reported once; if it repeats, it is not reported again.)\n");
  } catch (...) {
    // Out of memory while reporting: the failure stays contained, unreported.
  }
}

void FailureReports::ReportCurrentException(std::string_view where) noexcept {
  try {
    Report(where, DescribeCurrentException());
  } catch (...) {
    return;
  }
  Flush();
}

void FailureReports::Flush() noexcept {
  try {
    std::vector<std::string> texts;
    {
      const std::lock_guard lock(mutex_);
      if (unwritten_.empty()) return;
      // A failure before the host functions were bound waits for them.
      if (!host_.ShowConsoleMsg) return;
      texts.swap(unwritten_);
    }
    for (const std::string& text : texts)
      host_.ShowConsoleMsg(text.c_str());
  } catch (...) {
    // The console itself failed: nothing more can be said.
  }
}

void ReportCaughtException(std::string_view where) noexcept {
  const std::lock_guard lock(liveMutex);
  if (live) live->ReportCurrentException(where);
}

}  // namespace quorvane::host
