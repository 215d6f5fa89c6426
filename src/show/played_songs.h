// The songs played in this show. A mark belongs to the song (its region), not to its place in
// the setlist, so that it follows the song when the setlist is edited during the show; the
// indexes are read against the setlist as it stands.
#pragma once

#include <cstdint>
#include <set>

namespace quorvane::show {

class Setlist;

class PlayedSongs {
 public:
  explicit PlayedSongs(const Setlist& setlist) : setlist_(setlist) {}

  // Marks the song at `index`; false (nothing marked) for a pause or no item.
  bool Mark(int32_t index);
  // Marks the song of region `regionId`; false (nothing marked) when the setlist has no such song.
  bool MarkRegion(int32_t regionId);
  void Clear() { regions_.clear(); }
  bool IsPlayed(int32_t index) const;
  // The setlist indexes of the played songs, as they stand now.
  std::set<int32_t> Indexes() const;
  // The region numbers of the played songs, ascending.
  const std::set<int32_t>& Regions() const { return regions_; }

 private:
  const Setlist& setlist_;
  std::set<int32_t> regions_;  // region numbers (a song appears once in a setlist)
};

}  // namespace quorvane::show
