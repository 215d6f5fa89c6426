// The views' side of the model's listeners: what the show engine and the practise session report
// lands in the window state record and, while a window exists, on its controls (the model keeps
// its own state; the window reads it there). Added to both at load (Core::Init); without a window
// everything but the window's part still happens.
#pragma once

#include "practise/practise_listener.h"
#include "show/show_listener.h"

namespace quorvane::practise {
class PractiseSession;
}

namespace quorvane::ui {

class PluginUI;

class ModelViews final : public show::ShowListener, public practise::PractiseListener {
 public:
  ModelViews(PluginUI& ui, practise::PractiseSession& practise) : ui_(ui), practise_(practise) {}

  // --- show::ShowListener ---
  bool LivePageShown() const override;
  void SetlistLoaded() override;
  void SongPlayed(int32_t index) override;
  void PlayedCleared() override;
  void LiveTransportChanged(show::LiveTransport transport) override;
  void ShowStarted(show::ShowStatus status) override;
  void AutoStartChanged(bool reset) override;

  // --- practise::PractiseListener ---
  void SongSelected() override;
  bool StartChoiceSelected(int32_t choice) override;
  bool StopChoiceSelected(int32_t choice) override;
  void RateSelected(int index) override;
  void PrecountChanged(int32_t beats) override;
  void LoopChanged(bool on) override;

 private:
  PluginUI& ui_;
  practise::PractiseSession& practise_;
};

}  // namespace quorvane::ui
