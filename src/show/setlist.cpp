#include "show/setlist.h"

#include <algorithm>
#include <utility>

#include "host/host_api.h"

namespace quorvane::show {

int32_t Setlist::NextSongAfter(int32_t index) const {
  for (int32_t i = std::max(index + 1, 0); i < Count(); ++i) {
    if (!At(i).isPause) return i;
  }
  return -1;
}

void Setlist::Clear() {
  items_.clear();
  ++revision_;
  currentIndex_ = -1;
}

bool Setlist::MakeCurrent(int32_t index) {
  if (index != -1 && !IsValidIndex(index)) return false;
  currentIndex_ = index;
  return true;
}

bool Setlist::AddRegionToSetlist(int32_t regionId) {
  if (regionId < 1 || IsFull()) return false;
  const bool duplicate = std::any_of(items_.begin(), items_.end(), [regionId](const auto& item) {
    return item.regionId == regionId;
  });
  if (duplicate) return false;
  items_.push_back(SetlistItem::Song(regionId));
  ++revision_;
  if (currentIndex_ < 0) currentIndex_ = 0;
  NormalizeAutoStart();
  return true;
}

bool Setlist::AddPause() {
  if (IsFull()) return false;
  items_.push_back(SetlistItem::Pause());
  ++revision_;
  if (currentIndex_ < 0) currentIndex_ = 0;
  NormalizeAutoStart();
  return true;
}

bool Setlist::SetNote(int32_t index, std::string note) {
  if (!IsValidIndex(index) || note.size() > kMaxNoteBytes) return false;
  MutableAt(index).note = std::move(note);
  return true;
}

bool Setlist::RemoveItem(int32_t index) {
  if (!IsValidIndex(index)) return false;
  items_.erase(items_.begin() + index);
  ++revision_;
  if (items_.empty()) {
    currentIndex_ = -1;
    return true;
  }
  if (index == currentIndex_) {
    currentIndex_ = std::min(currentIndex_, Count() - 1);
  } else if (index < currentIndex_) {
    --currentIndex_;
  }
  NormalizeAutoStart();
  return true;
}

bool Setlist::MoveItemUp(int32_t index) {
  if (index < 1 || index >= Count()) return false;
  std::swap(MutableAt(index - 1), MutableAt(index));
  // The current item follows the item that moves.
  if (currentIndex_ == index) {
    currentIndex_ = index - 1;
  } else if (currentIndex_ == index - 1) {
    currentIndex_ = index;
  }
  NormalizeAutoStart();
  return true;
}

bool Setlist::MoveItemDown(int32_t index) {
  if (index < 0 || index >= Count() - 1) return false;
  std::swap(MutableAt(index), MutableAt(index + 1));
  if (currentIndex_ == index) {
    currentIndex_ = index + 1;
  } else if (currentIndex_ == index + 1) {
    currentIndex_ = index;
  }
  NormalizeAutoStart();
  return true;
}

bool Setlist::ToggleAutoStart(int32_t index) {
  if (!IsSong(index)) return false;
  if (index > 0 && At(index - 1).isPause) return false;
  MutableAt(index).autoStart = !At(index).autoStart;
  return true;
}

void Setlist::NormalizeAutoStart() {
  for (int32_t i = 0; i < Count(); ++i) {
    if (At(i).isPause || (i > 0 && At(i - 1).isPause)) MutableAt(i).autoStart = false;
  }
}

bool Setlist::SetCurrentIndex(int32_t index, const host::HostApi& host) {
  if (!IsValidIndex(index)) return false;
  if (At(index).isPause) {
    currentIndex_ = index;
    return true;
  }
  host::ProjectRegion region;
  if (!host.FindRegionNow(At(index).regionId, &region)) return false;
  if (!host.SeekTo(region.start)) return false;
  currentIndex_ = index;
  return true;
}

}  // namespace quorvane::show
