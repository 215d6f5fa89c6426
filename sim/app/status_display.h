// quorvane-sim's live status: what the show is doing, gathered from the extension's own STATE
// document (what the extension says) and from the simulated host (what it was told to do), and
// drawn either in place on a terminal, once every quarter of a second, or as plain lines for a
// log or a pipe.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/app/show_observer.h"
#include "sim/sim_host.h"

namespace quorvane::remote_cli {
struct StateView;
}

namespace quorvane::sim {

class StateLink;

struct StatusSetlistRow {
  std::string name;
  double duration = 0.0;
  bool pause = false;
  bool autoStart = false;
  bool played = false;
  bool current = false;
};

struct StatusFacts {
  // The simulator.
  std::string projectName;
  double speed = 1.0;
  double hostSeconds = 0.0;           // the virtual clock since the extension was loaded
  std::string transport = "stopped";  // the host's transport: playing, paused or stopped
  double playPosition = 0.0;
  int bar = 1;  // 1-based, at the play position
  double beat = 1.0;
  std::string songUnderPosition;  // the region the play position is in; empty outside songs
  double songTime = 0.0;          // how far into that region
  double songLength = 0.0;

  // The extension's STATE document; the fields below are meaningful only with it.
  bool haveState = false;
  uint16_t port = 0;  // the remote server's TCP port; 0 when not connected
  std::string showStatus;
  std::string page;
  double elapsed = 0.0;
  double showRemaining = 0.0;
  double playbackRemaining = 0.0;
  bool hasDelay = false;
  double delay = 0.0;
  int64_t durationMinutes = 0;
  int64_t currentIndex = -1;
  std::string currentSong;  // "#1 Northbound" (its setlist index), "#2 PAUSE"
  std::string nextSong;     // the next song after the current item, "" when none
  bool nextAfterPause = false;
  std::string marker;
  std::string timeSignature;
  double bpm = 0.0;
  double rate = 1.0;
  int64_t clients = 0;   // remote clients, this display's own connection included
  std::string practise;  // what a practise run is doing; empty when none runs
  std::string rig;       // the rig's part in a two-rig show; empty on a single rig
  std::vector<StatusSetlistRow> setlist;

  std::string lastEvent;  // the last key, message or event worth showing
};

// The facts of this moment. `link` may be unconnected and hold no state; the simulator's part is
// always there.
StatusFacts GatherStatus(const Host& host, const StateLink& link, double speed);
// The show's part from a state document (exposed for tests).
void ReadShowFacts(const remote_cli::StateView& state, StatusFacts* facts);

// The terminal screen, one string per line, without line feeds. Lines are not cut to a width.
std::vector<std::string> FormatStatusScreen(const StatusFacts& facts);
// One plain line, for logs.
std::string FormatStatusLine(const StatusFacts& facts);
// "1:05.2": minutes, seconds and tenths (hours when needed); negative values get a minus sign.
std::string FormatPosition(double seconds);
// Cuts `text` to `columns` characters of UTF-8, never inside a character; 0 leaves it whole.
std::string FitToWidth(const std::string& text, int columns);

class StatusDisplay {
 public:
  enum class Mode { kTerminal, kPlain };
  static constexpr double kRedrawSeconds = 0.25;
  static constexpr double kPlainLineSeconds = 1.0;

  StatusDisplay(std::FILE* out, Mode mode);
  ~StatusDisplay();  // leaves the last screen where it is and shows the cursor again
  StatusDisplay(const StatusDisplay&) = delete;
  StatusDisplay& operator=(const StatusDisplay&) = delete;

  Mode GetMode() const { return mode_; }
  // Terminal: redraws in place when a quarter second has passed since the last drawing. Plain:
  // prints a line when the show's situation changed, or once a second while something moves.
  void Update(const StatusFacts& facts, double nowSeconds);
  // A line of its own: printed above the status block on a terminal, as it is elsewhere.
  void Note(const std::string& text);

 private:
  void Draw(const StatusFacts& facts);
  void Erase();

  std::FILE* out_;
  Mode mode_;
  int drawnLines_ = 0;
  double lastDraw_ = -1.0;
  std::string lastLine_;
  std::string lastSituation_;
  StatusFacts lastFacts_;
  bool haveFacts_ = false;
};

}  // namespace quorvane::sim
