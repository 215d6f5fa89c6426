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
  void Clear() { regions_.clear(); }
  bool IsPlayed(int32_t index) const;
  // The setlist indexes of the played songs, as they stand now.
  std::set<int32_t> Indexes() const;

 private:
  const Setlist& setlist_;
  std::set<int32_t> regions_;  // region numbers (a song appears once in a setlist)
};

}  // namespace quorvane::show
