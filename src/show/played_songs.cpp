#include "show/played_songs.h"

#include "show/setlist.h"

namespace quorvane::show {

bool PlayedSongs::Mark(int32_t index) {
  if (!setlist_.IsSong(index)) return false;
  regions_.insert(setlist_.At(index).regionId);
  return true;
}

bool PlayedSongs::MarkRegion(int32_t regionId) {
  for (int32_t i = 0; i < setlist_.Count(); ++i) {
    if (setlist_.IsSong(i) && setlist_.At(i).regionId == regionId) return Mark(i);
  }
  return false;
}

bool PlayedSongs::IsPlayed(int32_t index) const {
  return setlist_.IsSong(index) && regions_.contains(setlist_.At(index).regionId);
}

std::set<int32_t> PlayedSongs::Indexes() const {
  std::set<int32_t> indexes;
  for (int32_t i = 0; i < setlist_.Count(); ++i) {
    if (IsPlayed(i)) indexes.insert(i);
  }
  return indexes;
}

}  // namespace quorvane::show
