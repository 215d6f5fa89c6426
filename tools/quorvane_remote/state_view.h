// What quorvane-remote shows of a state document, and how: a small record read tolerantly from
// the JSON (a missing or odd member shows as its neutral value) and a few lines of text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "quorvane_remote/discovery_client.h"
#include "quorvane_remote/json_reader.h"

namespace quorvane::remote_cli {

struct SetlistLine {
  int64_t index = 0;
  std::string name;
  double duration = 0.0;
  bool pause = false;
  bool autoStart = false;
  bool played = false;
};

struct PractiseView {
  int64_t regionId = -1;
  std::string songName;
  std::vector<std::string> markers;  // names, by index
  int64_t startChoice = -2;          // -2: the song's start
  int64_t stopChoice = -1;           // -1: the song's end
  int64_t precountBeats = 0;
  bool loop = false;
  double rate = 1.0;
  bool active = false;
  bool countingIn = false;
  bool playing = false;
  double position = 0.0;
};

struct StateView {
  std::string projectName;
  std::string instanceId;
  std::string page;
  std::string showStatus;
  bool playing = false;
  double position = 0.0;
  int64_t currentIndex = -1;
  std::string currentMarkerName;
  double showElapsed = 0.0;
  double showRemaining = 0.0;
  double playbackRemaining = 0.0;
  bool hasDelay = false;
  double delaySeconds = 0.0;
  std::string liveTransport;
  std::string timeSignature;
  double bpm = 0.0;
  double playbackRate = 1.0;
  bool repeat = false;
  bool autoStartShow = false;
  int64_t autoStartHour = -1;
  int64_t autoStartMinute = -1;
  std::vector<SetlistLine> setlist;
  int64_t durationMinutes = 0;
  int64_t songCount = 0;
  std::string musicTime;
  int64_t trackCount = 0;
  int64_t mutedTracks = 0;
  int64_t soloedTracks = 0;
  PractiseView practise;
  int64_t clients = 0;
  // The rig's part in a two-rig show ("single" when the document has none).
  std::string rigRole = "single";
  bool rigLeading = true;
  bool rigConnected = false;
  bool onBackupRig = false;
};

StateView ReadStateView(const JsonValue& state);

// The state as a block of lines, each ending in a line feed.
std::string RenderState(const StateView& state);

// "1:02:03" from an hour on, "2:03" below; negative values get a minus sign; seconds are cut,
// not rounded, so that a running clock never shows a second before it has passed.
std::string FormatClock(double seconds);

// One line about a discovered instance, without a line feed.
std::string RenderInstance(const DiscoveredInstance& instance);

}  // namespace quorvane::remote_cli
