// The setlist and the show's progress in the host project's extended state, section "Quorvane".
// The setlist travels with the project; the show keys are written for the record and never read.
#pragma once

#include <cstdint>
#include <string>

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

// Writes show_status, show_start, show_finish, show_current and show_duration, in this order.
bool SaveShowState(const host::HostApi& host, const ShowRecord& record);

// Writes show_duration alone, as a duration change stores it.
bool SaveShowDuration(const host::HostApi& host, double seconds);

}  // namespace quorvane::show
