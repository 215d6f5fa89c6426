// Where the transports' threads and the inbox tell what they caught, instead of dropping it: the
// owner passes it on to the host's console. A client hanging up is no failure and is not reported.
#pragma once

#include <exception>
#include <functional>
#include <string_view>

namespace quorvane::inbox {

// Called from any of the servers' threads and from the main thread: it must be thread-safe.
using FailureSink = std::function<void(std::string_view where, std::string_view what)>;

// Inside a catch block: tells `sink` (when set) what the exception being handled says. Never
// throws; a sink that fails is itself left unreported.
inline void ReportCaughtException(const FailureSink& sink, std::string_view where) noexcept {
  if (!sink) return;
  try {
    try {
      throw;
    } catch (const std::exception& caught) {
      sink(where, caught.what());
    } catch (...) {
      sink(where, "an exception that is not a std::exception");
    }
  } catch (...) {
    // Nothing is left to tell it to.
  }
}

}  // namespace quorvane::inbox
