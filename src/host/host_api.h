// The host functions we use, bound once at load from the host record, and the small wrappers that
// several subsystems share. Every wrapper has a fixed fallback for a missing optional function.
#pragma once

#include <algorithm>
#include <bitset>
#include <string>
#include <utility>
#include <vector>

#include "host/host_functions.h"
#include "host/project_walk.h"
#include "host/reaper_api.h"
#include "host/region_types.h"

namespace quorvane::host {

struct TimeSignatureAndBpm {
  int numerator = 0;
  int denominator = 0;
  double bpm = 0.0;
};

// A stretch of the project's time line, in seconds.
struct TimeRange {
  double start = 0.0;
  double end = 0.0;
};

class HostApi {
 public:
  // The functions, in binding order (host_functions.h). After a successful Bind the required
  // ones and those with a fallback are never null; the optional ones are null when the host does
  // not offer them.
#define QUORVANE_HOST_API_MEMBER_(ret, name, params) hostfn::name name = nullptr;
  QUORVANE_HOST_FUNCTIONS(QUORVANE_HOST_API_MEMBER_, QUORVANE_HOST_API_MEMBER_,
                          QUORVANE_HOST_API_MEMBER_)
#undef QUORVANE_HOST_API_MEMBER_

  // Binds every function through `getFunc`, in list order, putting our own fallbacks in place of
  // those the host lacks. False when `getFunc` is null or a required function is missing
  // (MissingRequired names them).
  bool Bind(void* (*getFunc)(const char*));
  // The same, with the entry record's main window for MainWindow to fall back to.
  bool Bind(void* (*getFunc)(const char*), HWND recordMainWindow);
  // The required functions the last Bind did not find, in list order.
  const std::vector<const char*>& MissingRequired() const {
    return missingRequired_;
  }
  // Whether the host itself offers `function` (false when it is ours, a fallback, or missing).
  bool Offers(HostFunction function) const {
    return offered_[static_cast<size_t>(function)];
  }

  // The host's main window: GetMainHwnd's answer, else the entry record's; null when neither is
  // known.
  HWND MainWindow() const;

  // --- Regions and markers ---
  // Two kinds of lookup. The kept ones (EnumerateRegions ... FindRegion) answer from a walk kept
  // while the host's state change count stays the same: cheap enough for every tick and every
  // state document. The count is a hint, not a promise (a script's edit without an undo point
  // need not move it), so whatever moves the transport (a seek, a chain's target, the pre-roll, a
  // practise section) asks the host at that moment through FindRegionNow.

  std::vector<ProjectRegion> EnumerateRegions() const;
  // EnumerateRegions without the names (the same walk through the host).
  std::vector<RegionSpan> EnumerateRegionSpans() const;
  std::vector<ProjectMarker> EnumerateMarkersInRegion(const ProjectRegion& region) const;
  // For a caller that needs the regions and the markers of a few of them: EnumerateRegions and,
  // from the same single walk, for each number in `numbers` the markers EnumerateMarkersInRegion
  // lists for the first region with that number (none when there is no such region).
  std::vector<ProjectRegion> EnumerateRegionsWithMarkers(
      const std::vector<int>& numbers, std::vector<std::vector<ProjectMarker>>* markers) const;
  // The first region with this number in the kept walk; false when absent.
  bool FindRegion(int regionId, ProjectRegion* out) const;
  // The first region with this number as the host has it now (one walk through the host), and,
  // when `markers` is given, the plain markers inside it from the same walk. When the answer
  // differs from the kept walk's, the kept walk is dropped: the next kept lookup walks again.
  // False when absent.
  bool FindRegionNow(int regionId, ProjectRegion* out,
                     std::vector<ProjectMarker>* markers = nullptr) const;
  // The kept lookups answer from this walk while the project's state change count stays the
  // same; null when the host has no such count (every lookup then walks the host).
  const ProjectWalk* CurrentWalk() const {
    return walks_.Current(*this);
  }
  // Drops the kept walk: another project was opened or the project closed (a project opened into
  // the same tab may repeat the count of the one before).
  void ForgetKeptWalk() {
    walks_.Forget();
  }

  // Plain reads and writes of the host's settings. A feature that changes one for a while takes
  // it through HeldSettings (host/held_settings.h), which gives the user's value back.
  TimeRange GetTimeSelection() const;
  // Sets the time selection (not the loop points), without auto-seek; 0 .. 0 clears it.
  void SetTimeSelection(const TimeRange& range) const;
  bool IsRepeatOn() const;
  bool SetRepeat(bool on) const;
  double GetPlayRate() const;
  // The current project's master play rate; false (nothing told) when the host lacks the
  // function or the rate is not finite and positive.
  bool SetPlayRate(double rate) const;
  bool GetTimeSignatureAndBpmAt(double time, TimeSignatureAndBpm* out) const;
  double GetPlayPositionSafe() const;
  bool IsHostPlaying() const;  // play state bit 0

  // A host config variable as a 32-bit integer, usable only when its pointer is non-null and its
  // reported size is at least 4 bytes; null otherwise.
  int* ConfigInt(const char* name) const;

  // Moves the edit cursor with the usual seek of this system (move view, no seek-play).
  bool SeekTo(double time) const;

 private:
  std::vector<const char*> missingRequired_;
  std::bitset<kHostFunctionCount> offered_;
  HWND recordMainWindow_ = nullptr;
  mutable ProjectWalkCache walks_;  // main thread only, like every host call
};

}  // namespace quorvane::host
