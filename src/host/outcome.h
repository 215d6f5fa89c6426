// What an operation that may say no answers: applied, or refused with the reason the user is
// told. The model never opens a message box of its own; each surface answers in its way (the
// window in a box, the web remote in a REFUSED reply, the TCP remote not at all).
#pragma once

#include <string>
#include <utility>

namespace quorvane::host {

struct Outcome {
  bool applied = true;
  // Why nothing happened, in the user's words; empty when there is nothing worth telling.
  std::string reason;
  // Refused because something failed (the window shows an error), rather than because the
  // moment forbids it (a warning).
  bool failure = false;

  static Outcome Applied() { return {}; }
  static Outcome Refused(std::string reason = {}) { return {false, std::move(reason), false}; }
  static Outcome Failed(std::string reason) { return {false, std::move(reason), true}; }
};

}  // namespace quorvane::host
