#include "window/practise_page.h"

#include "host/host_api.h"
#include "window/control_ids.h"

namespace quorvane::window {

void PractisePage::CreateControls() {
  shared_.Create(ControlMaker(frame_));
  exitPractise_ = Button(L"EXIT PRACTISE MODE", id::kExitPractise);
  SetFont(exitPractise_, frame_.Fonts().normal22);
}

void PractisePage::ForgetControls() {
  shared_.Forget();
  exitPractise_ = nullptr;
}

void PractisePage::Enter() {
  shared_.RefreshLists();
  frame_.LayoutPage();
  frame_.Redraw();
}

void PractisePage::Layout(int w, int h) {
  const PractiseControls::Handles& c = shared_.Controls();
  const int b = h - 50;
  Place(c.songLabel, 15, 64, 100, 26);
  Place(c.songCombo, 120, 62, w - 135, 34);
  Place(c.markersLabel, 15, 106, 190, 24);
  Place(c.markersList, 15, 130, w - 30, b - 318);
  Place(c.rateLabel, 15, b - 180, 145, 34);
  Place(c.rateBox, 160, b - 180, 190, 34);
  shared_.SelectRateNearest(context_.host.GetPlayRate());
  Place(c.startLabel, 15, b - 133, 100, 26);
  Place(c.startCombo, 120, b - 138, w - 135, 34);
  Place(c.stopLabel, 15, b - 91, 100, 26);
  Place(c.stopCombo, 120, b - 96, w - 135, 34);
  Place(c.practisePlay, 15, b - 54, 105, 46);
  Place(c.practiseStop, 128, b - 54, w - 447, 46, false);
  Place(c.loop, w - 311, b - 54, 70, 46);
  Place(c.precount4, w - 233, b - 54, 105, 46);
  Place(c.precount8, w - 120, b - 54, 105, 46);
  SetWindowTextW(exitPractise_, L"EXIT PRACTISE MODE");
  Place(exitPractise_, 15, b, w - 30, 40);
  shared_.SetTogglesFromSelection();
}

bool PractisePage::OnCommand(int id, int code, HWND /*control*/) {
  if (shared_.OnCommand(id, code)) return true;
  if (id != id::kExitPractise) return false;
  LeaveMode();
  return true;
}

void PractisePage::ShowPractiseStatus(const PractiseStatus& status) {
  shared_.ShowStatus(status, exitPractise_);
}

}  // namespace quorvane::window
