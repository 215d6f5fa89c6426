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
  SetLiveTransport(show::LiveTransport::kNext);
  if (window && IsLivePage()) window->RebuildLiveList();
}

bool PluginUI::IsItemPlayed(int32_t index) const {
  return playedIndexes_.contains(index);
}

void PluginUI::SetLiveTransport(show::LiveTransport transport) {
  if (liveTransport == transport) return;
  liveTransport = transport;
  if (window && IsLivePage()) window->RefreshLiveTransport();
}

}  // namespace quorvane::ui
