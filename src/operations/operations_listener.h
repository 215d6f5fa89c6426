// How the user operations tell the views what an operation changed that the model's own listeners
// do not report (the window's part of ending a show, of a new set time, of the practise display).
// The window implements it and adds itself to UserOperations; without views nobody is told.
#pragma once

namespace quorvane::practise {
struct PractiseRun;
}

namespace quorvane::operations {

class OperationsListener {
 public:
  virtual ~OperationsListener() = default;

  // A show was ended from a surface: the live page's controls as after a show.
  virtual void ShowEnded() {}
  // The show's set duration changed: the setup page (its excess notice) follows it at once.
  virtual void ShowDurationChanged() {}
  // The practise loop was switched on or off.
  virtual void LoopSwitched(bool /*on*/) {}
  // The practise run or the play position moved: the status line and the markers follow.
  virtual void PractiseDisplayChanged(const practise::PractiseRun& /*run*/, double /*position*/) {}
};

}  // namespace quorvane::operations
