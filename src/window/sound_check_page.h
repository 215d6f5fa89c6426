// The sound-check page: the practise page's song, start and stop, PLAY and STOP, loop and
// pre-count (the practise page's own controls, laid out here in other places) above the
// project's tracks with their mute and solo cells.
#pragma once

#include "window/page.h"
#include "window/practise_controls.h"

namespace quorvane::window {

class SoundCheckPage final : public Page, private ListHook {
 public:
  SoundCheckPage(PageFrame& frame, const ui::WindowContext& context, PractiseControls& shared)
      : Page(frame, context), shared_(shared) {}

  void CreateControls() override;
  void ForgetControls() override;
  void Enter() override;
  void Layout(int width, int height) override;
  const wchar_t* Heading() const override { return L"SOUND-CHECK MODE"; }
  bool OnCommand(int id, int code, HWND control) override;
  void Sync(bool relaid) override;
  void ShowPractiseStatus(const PractiseStatus& status) override;
  bool DrawItem(const DRAWITEMSTRUCT& item) override;

  // Reads the tracks again and keeps the list's scroll position.
  void RefreshTracks();

 private:
  struct Controls {
    HWND tracksLabel = nullptr, tracksList = nullptr, exitSoundCheck = nullptr;
  };

  Answer OnListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnTrackCell(int row, bool solo);

  PractiseControls& shared_;
  Controls c_;
};

}  // namespace quorvane::window
