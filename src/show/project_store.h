// The setlist and the show's progress in the host project's extended state, section "Quorvane",
// and the last live show in the host's global settings. The setlist travels with the project. The
// show is kept as it changes, a few keys at a time, so that a restart of the host can go on with
// it: a project's keys reach the disk only when the project is saved, so while a show is live it
// is also kept in one slot of the global settings, which the host writes at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "show/setlist.h"
#include "show/show_record.h"

namespace quorvane::host {
class HostApi;
}

namespace quorvane::show {

inline constexpr const char* kExtStateSection = "Quorvane";

// The C library's decimal text-to-int reading: leading white space and a sign are accepted, the
// digits end at the first other character, out-of-range values saturate, no digits give 0.
int32_t ParseStoredInt(const char* text);

// Writes the count and, per item, its RegionID, Type and AutoStart, and Note for an item that
// has one (a Note left at that index by an earlier save is emptied, so it cannot come back on
// another item). False when the host cannot store.
bool SaveSetlist(const host::HostApi& host, const Setlist& setlist);

// Reads the setlist back. On false the setlist may hold a part of the stored items: the caller
// empties it.
bool LoadSetlist(const host::HostApi& host, Setlist& setlist);

// What of a show a restart of the host needs to go on with it. Times are the calendar's (what the
// next run of the host reads too), not the monotonic clock's.
struct StoredShow {
  ShowStatus status = ShowStatus::kPrepared;
  int64_t startMs = 0;      // milliseconds since 1970 (UTC) at show start; 0 = not started
  int64_t finishMs = 0;     // milliseconds since 1970 (UTC) at show end
  int32_t current = -1;     // the current item's setlist index
  int32_t currentSong = 0;  // the current song's region number; 0 for a pause or no item
  double duration = kDefaultShowDuration;  // seconds
  std::vector<int32_t> played;             // region numbers of the songs played, ascending

  bool operator==(const StoredShow&) const = default;
};

// Writes show_status, show_start, show_finish, show_current, show_song, show_duration and
// show_played ("4,7,12"), in this order.
bool SaveShowState(const host::HostApi& host, const StoredShow& show);

// Writes only the keys whose values differ between `before` (what the project holds) and `now`;
// the number of keys written.
int SaveShowChanges(const host::HostApi& host, const StoredShow& before, const StoredShow& now);

// The show the project's keys hold; nothing without a show_status.
std::optional<StoredShow> LoadShowState(const host::HostApi& host);

// Writes show_duration alone, as a duration change stores it.
bool SaveShowDuration(const host::HostApi& host, double seconds);

// The host's global settings hold one show at most: the last one that went live, with its
// project's path ("lastShowProject") and the show in one line ("lastShowState"), both persisted.
// `withProject` also writes the path (the slot changes hands).
void SaveLastShow(const host::HostApi& host, const std::string& projectPath, const StoredShow& show,
                  bool withProject);
// The path the slot names; empty when it holds no show.
std::string LastShowProject(const host::HostApi& host);
// The show the slot holds for `projectPath`; nothing for another project or a damaged line.
std::optional<StoredShow> LoadLastShow(const host::HostApi& host, const std::string& projectPath);
void ClearLastShow(const host::HostApi& host);

// The show in one line ("status=LIVE;start=...;played=4,7") and back; nothing for a line without
// a known status.
std::string StoredShowText(const StoredShow& show);
std::optional<StoredShow> ParseStoredShow(const std::string& text);

}  // namespace quorvane::show
