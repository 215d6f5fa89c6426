#include "ui/plugin_ui.h"

#include "show/setlist.h"

namespace quorvane::ui {

void PluginUI::MarkItemPlayed(int32_t index) {
  if (!setlist || !setlist->IsSong(index)) return;
  playedIndexes_.insert(index);
  if (window && IsLivePage()) window->RebuildLiveList();
}

void PluginUI::ClearPlayedItems() {
  playedIndexes_.clear();
  SetLiveTransport(LiveTransport::kNext);
  if (window && IsLivePage()) window->RebuildLiveList();
}

bool PluginUI::IsItemPlayed(int32_t index) const {
  return playedIndexes_.contains(index);
}

void PluginUI::SetLiveTransport(LiveTransport transport) {
  if (liveTransport == transport) return;
  liveTransport = transport;
  if (window && IsLivePage()) window->RefreshLiveTransport();
}

bool PluginUI::IsAutoStartEnabled() const {
  return window && window->IsAutoStartEnabled();
}

bool PluginUI::GetAutoStartTime(int* hour, int* minute) const {
  int h = -1;
  int m = -1;
  if (window) window->GetAutoStartSelection(&h, &m);
  if (hour) *hour = h;
  if (minute) *minute = m;
  return h >= 0 && h < 24 && m >= 0 && m < 60;
}

void PluginUI::SetAutoStartEnabled(bool enabled) {
  if (window) window->SetAutoStartEnabled(enabled);
}

void PluginUI::ResetAutoStart() {
  if (window) window->ResetAutoStart();
}

}  // namespace quorvane::ui
