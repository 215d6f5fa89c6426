// `quorvane-sim --script demo`: a whole show played unattended and told as it happens. A
// rehearsal first (one section with a count-in, through remote commands as a remote app sends
// them), then the show through the host's actions, as the band's keyboard would: start, the
// auto-start songs following by themselves, play next after every stop and after the pause, and
// the show ending with its last song. It follows any project's stored setlist; the numbers of the
// summary are the extension's own (its STATE documents) and what the host saw.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "sim/app/session.h"
#include "sim/app/state_link.h"

namespace quorvane::sim {

struct ScriptTimings {
  int64_t applauseMs = 8'000;    // after a song that nothing follows by itself
  int64_t pauseTalkMs = 60'000;  // the band talks to the audience at a pause
  int precountBeats = 4;
  double practiseRate = 0.9;
  int setMinutes = 0;  // the set's length; 0: the music's length in whole minutes, at least 5
};

struct ScriptSummary {
  bool completed = false;
  std::string failure;  // why the script stopped early; empty when it completed
  int songsInSetlist = 0;
  int songsPlayed = 0;   // marked played by the extension
  int songsStarted = 0;  // seen starting by the host
  int chained = 0;       // followed on from the song before without a stop
  int practiseRuns = 0;
  int countInBeats = 0;  // of the practise run
  // Played on top of the songs by the vamp on a chorus and the jump back (0 without a chorus).
  double liveControlSeconds = 0.0;
  double elapsed = 0.0;  // the show clock at the end, seconds
  int64_t durationMinutes = 0;
  double delay = 0.0;        // the delay the show clock showed when the last song started, seconds
  double hostSeconds = 0.0;  // virtual time from load to the end
  double realSeconds = 0.0;
  double speed = 0.0;
};

// Plays the show on `session`, whose extension is loaded; `link` is connected to its server or is
// connected by the script. Narration goes to `out`, one line per event. `speed` 0 runs as fast as
// the machine can. `interrupted` is asked between ticks.
ScriptSummary RunDemoScript(ShowSession& session, StateLink& link, double speed, std::ostream& out,
                            const std::function<bool()>& interrupted = {},
                            const ScriptTimings& timings = {});

// The summary as a few lines, each ending in a line feed.
std::string FormatSummary(const ScriptSummary& summary);

}  // namespace quorvane::sim
