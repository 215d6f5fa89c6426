#include "ui/model_views.h"

#include "ui/pages.h"
#include "ui/plugin_ui.h"

namespace quorvane::ui {

bool ModelViews::LivePageShown() const {
  return ui_.IsLivePage();
}

void ModelViews::SetlistLoaded() {
  if (ui_.window) ui_.window->RebuildSetlistViews();
}

void ModelViews::SongPlayed(int32_t /*index*/) {
  if (ui_.window && ui_.IsLivePage()) ui_.window->RebuildLiveList();
}

void ModelViews::PlayedCleared() {
  if (ui_.window && ui_.IsLivePage()) ui_.window->RebuildLiveList();
}

void ModelViews::LiveTransportChanged(show::LiveTransport /*transport*/) {
  if (ui_.window && ui_.IsLivePage()) ui_.window->RefreshLiveTransport();
}

void ModelViews::ShowStarted(show::ShowStatus /*status*/) {
  ShowLivePage(ui_, practise_);
}

void ModelViews::AutoStartChanged(bool reset) {
  if (ui_.window) ui_.window->ShowAutoStart(reset);
}

void ModelViews::SongSelected() {
  if (ui_.window) ui_.window->RefreshPractiseLists();
}

bool ModelViews::StartChoiceSelected(int32_t choice) {
  return !ui_.window || ui_.window->SelectPractiseStartChoice(choice);
}

bool ModelViews::StopChoiceSelected(int32_t choice) {
  return !ui_.window || ui_.window->SelectPractiseStopChoice(choice);
}

void ModelViews::RateSelected(int index) {
  if (ui_.window) ui_.window->SelectPractiseRateIndex(index);
}

void ModelViews::PrecountChanged(int32_t beats) {
  if (ui_.window) ui_.window->ShowPrecountToggles(beats);
}

void ModelViews::LoopChanged(bool on) {
  if (ui_.window) ui_.window->ShowLoopToggle(on);
}

}  // namespace quorvane::ui
