#include "ui/plugin_ui.h"

#include "show/setlist.h"

namespace quorvane::ui {

void PluginUI::MarkItemPlayed(int32_t index) {
  if (!setlist || !setlist->IsSong(index)) return;
  playedRegions_.insert(setlist->At(index).regionId);
  if (window && IsLivePage()) window->RebuildLiveList();
}

void PluginUI::ClearPlayedItems() {
  playedRegions_.clear();
  SetLiveTransport(show::LiveTransport::kNext);
  if (window && IsLivePage()) window->RebuildLiveList();
}

bool PluginUI::IsItemPlayed(int32_t index) const {
  return setlist && setlist->IsSong(index) && playedRegions_.contains(setlist->At(index).regionId);
}

std::set<int32_t> PluginUI::PlayedIndexes() const {
  std::set<int32_t> indexes;
  if (!setlist) return indexes;
  for (int32_t i = 0; i < setlist->Count(); ++i) {
    if (IsItemPlayed(i)) indexes.insert(i);
  }
  return indexes;
}

void PluginUI::SetLiveTransport(show::LiveTransport transport) {
  if (liveTransport == transport) return;
  liveTransport = transport;
  if (window && IsLivePage()) window->RefreshLiveTransport();
}

}  // namespace quorvane::ui
