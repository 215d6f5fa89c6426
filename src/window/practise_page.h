// The practise page: a song with its start and stop points and its markers, the playback rate,
// PLAY and STOP, loop and pre-count. Its controls but the exit button are shared with the
// sound-check page; this page owns them.
#pragma once

#include "window/page.h"
#include "window/practise_controls.h"

namespace quorvane::window {

class PractisePage final : public Page {
 public:
  PractisePage(PageFrame& frame, const ui::WindowContext& context)
      : Page(frame, context), shared_(frame, context) {}

  PractiseControls& Shared() { return shared_; }

  void CreateControls() override;
  void ForgetControls() override;
  void Enter() override;
  void Layout(int width, int height) override;
  const wchar_t* Heading() const override { return shared_.Status(); }
  bool OnCommand(int id, int code, HWND control) override;
  void ShowPractiseStatus(const PractiseStatus& status) override;

 private:
  PractiseControls shared_;
  HWND exitPractise_ = nullptr;
};

}  // namespace quorvane::window
