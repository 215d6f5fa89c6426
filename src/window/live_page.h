// The live page: start and end of the show, the status panel or the auto-start banner, the big
// play button, STOP and the setlist as the show runs through it. It shows for the live and the
// finished show alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "window/auto_start_banner.h"
#include "window/page.h"
#include "window/painters.h"

namespace quorvane::window {

class LivePage final : public Page, private ListHook {
 public:
  LivePage(PageFrame& frame, const ui::WindowContext& context, AutoStartBanner& banner)
      : Page(frame, context), banner_(banner) {}

  void CreateControls() override;
  void ForgetControls() override;
  void Enter() override;
  void Layout(int width, int height) override;
  const wchar_t* Heading() const override { return L"LIVE MODE"; }
  void Paint(HDC dc, const RECT& client) override;
  bool OnCommand(int id, int code, HWND control) override;
  void Sync(bool relaid) override;
  bool MeasureItem(MEASUREITEMSTRUCT& item) override;
  bool DrawItem(const DRAWITEMSTRUCT& item) override;

  // The status panel's texts follow the engine; rows whose text changed are invalidated.
  void RefreshPanel();
  static std::wstring SectionStatus(const show::LiveSections& live);
  // Shows, enables and names the transport buttons for the show's state.
  void RefreshTransportButtons();
  void RebuildList();
  // The live transport choice or the played set changed: re-lay and redraw.
  void RefreshTransport();
  // Everything the end of the show does on the live page's controls.
  void ResetAfterShowEnd();

 private:
  struct Controls {
    HWND startShow = nullptr, endShow = nullptr, playNext = nullptr, liveStop = nullptr,
         playSelected = nullptr, liveList = nullptr, showSetup = nullptr, exitLive = nullptr;
  };

  Answer OnListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) override;
  std::string CurrentItemDisplayName() const;
  void ScrollList();
  void OnSelectionChanged();
  void PaintPanel(HDC dc, int width);

  AutoStartBanner& banner_;
  Controls c_;
  std::vector<LiveRow> rows_;
  // The panel's display texts.
  std::wstring statusText_, songText_, showTimeText_, timeSignatureText_, tempoText_, delayText_;
  std::wstring rigText_;  // the two-rig line over the heading; empty: none
  int32_t scrolledTo_ = -999999;
};

}  // namespace quorvane::window
