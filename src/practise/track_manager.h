// The sound-check page's view of the project's tracks: a flat list in host order with each
// track's indentation taken from the folder structure, and the mute and solo setters.
#pragma once

#include <cstdint>

#include "host/host_api.h"
#include "practise/track_row.h"

namespace quorvane::practise {

inline constexpr const char* kUnnamedTrack = "(UNNAMED TRACK)";

// A fresh list of the current project's tracks; empty when "CountTracks", "GetTrack" or
// "GetSetMediaTrackInfo_String" is missing or the project has no tracks.
practise::BackingTrackRows ListProjectTracks(const host::HostApi& host);

// Sets the track's mute (solo: plain solo or off) in the host; false when the track or the
// setter is missing.
bool SetTrackMute(const host::HostApi& host, int32_t trackIndex, bool muted);
bool SetTrackSolo(const host::HostApi& host, int32_t trackIndex, bool soloed);

// True when both lists show the same tracks in the same state.
bool SameTrackRows(const practise::BackingTrackRows& a, const practise::BackingTrackRows& b);

}  // namespace quorvane::practise
