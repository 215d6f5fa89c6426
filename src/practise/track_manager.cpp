#include "practise/track_manager.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace quorvane::practise {
namespace {

constexpr size_t kNameBufferSize = 512;

// The value behind a track key: the read-write accessor first, the old reader when that is
// missing or answers null.
const void* TrackValue(const host::HostApi& host, MediaTrack* track, const char* key) {
  if (host.GetSetMediaTrackInfo) {
    if (const void* value = host.GetSetMediaTrackInfo(track, key, nullptr)) return value;
  }
  if (host.GetMediaTrackInfo) return host.GetMediaTrackInfo(track, key);
  return nullptr;
}

bool ReadFlag(const host::HostApi& host, MediaTrack* track, const char* key) {
  const void* value = TrackValue(host, track, key);
  return value && *static_cast<const unsigned char*>(value) != 0;
}

int32_t ReadInt(const host::HostApi& host, MediaTrack* track, const char* key) {
  const void* value = TrackValue(host, track, key);
  if (!value) return 0;
  int32_t result = 0;
  std::memcpy(&result, value, sizeof result);
  return result;
}

std::string ReadName(const host::HostApi& host, MediaTrack* track) {
  std::array<char, kNameBufferSize> buffer{};
  if (!host.GetSetMediaTrackInfo_String(track, "P_NAME", buffer.data(), false) ||
      buffer[0] == '\0') {
    return kUnnamedTrack;
  }
  buffer.back() = '\0';
  return std::string(buffer.data());
}

MediaTrack* TrackForSetting(const host::HostApi& host, int32_t trackIndex) {
  if (!host.GetTrack || !host.GetSetMediaTrackInfo || trackIndex < 0) return nullptr;
  return host.GetTrack(nullptr, trackIndex);
}

}  // namespace

practise::BackingTrackRows ListProjectTracks(const host::HostApi& host) {
  practise::BackingTrackRows rows;
  if (!host.CountTracks || !host.GetTrack || !host.GetSetMediaTrackInfo_String) return rows;
  const int count = host.CountTracks(nullptr);
  if (count < 1) return rows;
  rows.reserve(static_cast<size_t>(count));
  int64_t indent = 0;
  for (int i = 0; i < count; ++i) {
    MediaTrack* track = host.GetTrack(nullptr, i);
    if (!track) continue;
    practise::BackingTrackRow row;
    row.name = ReadName(host, track);
    row.muted = ReadFlag(host, track, "B_MUTE");
    row.soloed = ReadInt(host, track, "I_SOLO") != 0;
    row.folderDepth = ReadInt(host, track, "I_FOLDERDEPTH");
    row.trackIndex = i;
    row.indentLevel = static_cast<int32_t>(indent);
    rows.push_back(std::move(row));
    // More closings than openings bring the indentation back to the top, never below.
    indent = std::clamp<int64_t>(indent + rows.back().folderDepth, 0,
                                 std::numeric_limits<int32_t>::max());
  }
  return rows;
}

bool SetTrackMute(const host::HostApi& host, int32_t trackIndex, bool muted) {
  MediaTrack* track = TrackForSetting(host, trackIndex);
  if (!track) return false;
  bool value = muted;
  host.GetSetMediaTrackInfo(track, "B_MUTE", &value);
  return true;
}

bool SetTrackSolo(const host::HostApi& host, int32_t trackIndex, bool soloed) {
  MediaTrack* track = TrackForSetting(host, trackIndex);
  if (!track) return false;
  int32_t value = soloed ? 1 : 0;
  host.GetSetMediaTrackInfo(track, "I_SOLO", &value);
  return true;
}

bool SameTrackRows(const practise::BackingTrackRows& a, const practise::BackingTrackRows& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const practise::BackingTrackRow& x, const practise::BackingTrackRow& y) {
                      return x.trackIndex == y.trackIndex && x.muted == y.muted &&
                             x.soloed == y.soloed && x.name == y.name &&
                             x.folderDepth == y.folderDepth && x.indentLevel == y.indentLevel;
                    });
}

}  // namespace quorvane::practise
