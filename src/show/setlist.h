// The setlist: the ordered songs (by region number) and pauses the show plays, and the item the
// show stands on. Regions are never copied in: an item holds only the region number, and the
// region's name and bounds are looked up from the project whenever they are needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::host {
class HostApi;
}

namespace quorvane::show {

struct SetlistItem {
  int32_t regionId = -1;  // region number of a song; -1 for a pause
  bool isPause = false;
  bool autoStart = false;  // starts by itself as soon as the song before it ends
  std::string note;        // a line for the band ("capo 2, Sam counts in"); UTF-8, often empty

  static SetlistItem Song(int32_t regionId, bool autoStart = false) {
    return SetlistItem{regionId, false, autoStart, {}};
  }
  static SetlistItem Pause() { return SetlistItem{-1, true, false, {}}; }
  bool operator==(const SetlistItem&) const = default;
};

// Song items have region numbers of 1 and up, each at most once; pauses any number of times.
// `autoStart` is only ever set on a song that is the first item or follows a song. Additions stop
// at kMaxItems items. The current index is -1 or a valid index (it may stand on a pause). Every
// edit that fails changes nothing.
class Setlist {
 public:
  // A generous show's worth. Every edit stores the whole list, so an unbounded one would let a
  // flood of additions freeze the host; an addition to a full list is refused.
  static constexpr int32_t kMaxItems = 1000;
  // A note is read on stage at a glance: a short line, not a lyric sheet.
  static constexpr std::size_t kMaxNoteBytes = 280;

  const std::vector<SetlistItem>& Items() const { return items_; }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  bool IsFull() const { return Count() >= kMaxItems; }
  int32_t CurrentIndex() const { return currentIndex_; }
  // Moves with every change of the items (not of the current index): a reader that derived
  // something from the items knows it still holds while the revision is the same.
  uint64_t Revision() const { return revision_; }

  bool IsValidIndex(int64_t index) const { return index >= 0 && index < Count(); }
  bool IsSong(int64_t index) const { return IsValidIndex(index) && !At(index).isPause; }
  bool IsPause(int64_t index) const { return IsValidIndex(index) && At(index).isPause; }
  // The item at a valid index.
  const SetlistItem& At(int64_t index) const { return items_[static_cast<std::size_t>(index)]; }
  // The index of the first song after `index` (-1 looks from the start); -1 when there is none.
  int32_t NextSongAfter(int32_t index) const;

  // Empties the list; nothing is current.
  void Clear();
  // Appends a stored item as it is, without the editing rules (loading).
  void Append(const SetlistItem& item) {
    items_.push_back(item);
    ++revision_;
  }
  // Makes `index` current without touching the host; false unless it is -1 or a valid index.
  bool MakeCurrent(int32_t index);

  bool AddRegionToSetlist(int32_t regionId);
  bool AddPause();
  bool RemoveItem(int32_t index);
  bool MoveItemUp(int32_t index);
  bool MoveItemDown(int32_t index);
  bool ToggleAutoStart(int32_t index);
  // Replaces the item's note (empty removes it); false for an invalid index or a note longer
  // than kMaxNoteBytes. The note moves with its item.
  bool SetNote(int32_t index, std::string note);
  void NormalizeAutoStart();
  // Makes `index` current and, for a song, moves the host's edit cursor to its region start.
  // False when the song's region is gone or the host cannot seek.
  bool SetCurrentIndex(int32_t index, const host::HostApi& host);

 private:
  SetlistItem& MutableAt(int64_t index) {
    ++revision_;
    return items_[static_cast<std::size_t>(index)];
  }

  std::vector<SetlistItem> items_;
  int32_t currentIndex_ = -1;
  uint64_t revision_ = 0;
};

}  // namespace quorvane::show
