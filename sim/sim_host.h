// The host simulator: a stand-in for the host application with the same C interface
// (host/reaper_api.h), so that the extension cannot tell it from the real host. It models projects,
// regions and markers, a tempo map, tracks, the transport on a virtual clock, config variables,
// the preview functions and every registration, and records the calls that matter so that tests
// assert on what the host was told to do.
//
// One Host is "current" at a time (the most recently constructed one that is still alive); the C
// functions handed out through GetFunc forward to it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/reaper_api.h"
#include "platform/clock.h"
#include "platform/main_thread_wake.h"
#include "platform/message_box.h"

namespace quorvane::sim {

struct SimRegion {
  int number = 0;  // the displayed region number
  std::string name;
  double start = 0.0;
  double end = 0.0;
  int colour = 0;
  uint64_t serial = 0;  // insertion order (set by Host::AddRegion); breaks ties of equal positions
};

struct SimMarker {
  int number = 0;
  std::string name;
  double position = 0.0;
  int colour = 0;
  uint64_t serial = 0;  // insertion order (set by Host::AddMarker)
};

// A tempo or time-signature change; it takes effect at `time`, which should lie on a bar line of
// the map before it. The first point is at time 0.
//
// Units, as in the host: `bpm` is the tempo in quarter notes per minute. A beat (what the
// TimeMap2 functions count) is one beat of the time signature, a `denominator` note, so the
// "divided" tempo (TimeMap_GetDividedBpmAtTime, beats per minute) is bpm * denominator / 4: 120
// bpm in 6/8 gives 240 eighths a minute and a 1.5 s bar. A point that changes the time signature
// starts a new measure at its time (a bar cut short before it still counts as a measure); a point
// that changes only the tempo keeps the bar grid running. Points at or before 0 collapse into the
// first point, which applies from time 0 (and, extrapolated, before it).
struct TempoPoint {
  double time = 0.0;
  double bpm = 120.0;
  int numerator = 4;
  int denominator = 4;
};

struct SimTrack {
  std::string name;
  bool mute = false;
  int solo = 0;
  int folderDepth = 0;
};

struct SimProject {
  std::string path;  // empty: never saved
  // Markers and regions; enumerated in host order (by position, then by insertion).
  std::vector<SimRegion> regions;
  std::vector<SimMarker> markers;
  std::vector<TempoPoint> tempoMap{TempoPoint{}};
  std::vector<std::unique_ptr<SimTrack>> tracks;
  std::map<std::string, std::map<std::string, std::string>> extState;  // section -> key -> value
  int dirtyCount = 0;
  double editCursor = 0.0;
  double selectionStart = 0.0, selectionEnd = 0.0;  // the time selection
  double loopStart = 0.0, loopEnd = 0.0;            // the loop points
  double playRate = 1.0;
  // What GetProjectStateChangeCount answers: moves with every edit of the project (see
  // Host::ProjectEdited). Each project counts on its own from its opening, so two projects (two
  // tabs, or one opened into the tab of another) may well show the same count.
  int changeCount = 0;
};

// One call the extension made into the host that a test may want to see.
//
// Recorded functions and their fields:
//   "OnPlayButton", "OnStopButton", "MarkProjectDirty", "AddExtensionsMainMenu": no fields.
//   "SetEditCurPos": time, moveView, seekPlay.
//   "Main_OnCommand": command, flag.
//   "CSurf_OnPlayRateChange": time = the rate asked for.
//   "GetSet_LoopTimeRange" (only sets): time = start, endTime = end, text = "selection" or "loop",
//       flag = allowautoseek.
//   "SetProjExtState": text = "section/key=value".
//   "ShowConsoleMsg": text.
//   "GetSetMediaTrackInfo" (only sets): command = track index, text = "B_MUTE=1" and the like.
//   "GetSetMediaTrackInfo_String" (only sets): command = track index, text = "P_NAME=new name".
//   "PlayPreviewEx": text = the source's file path ("" when not a source of ours), flag =
//       bufflags, time = measure_align, result = what was answered.
//   "StopPreview": text = the source's file path, result = what was answered.
//   "SetExtState": text = "section/key=value", flag = persist.
//   "DeleteExtState": text = "section/key", flag = persist.
struct HostCall {
  std::string function;  // e.g. "OnPlayButton", "SetEditCurPos", "Main_OnCommand"
  double time = 0.0;     // SetEditCurPos: the time; CSurf_OnPlayRateChange: the rate
  int command = 0;       // Main_OnCommand: the command id
  bool moveView = false;
  bool seekPlay = false;
  std::string text;      // SetProjExtState: "section/key=value"; ShowConsoleMsg: the text
  int64_t atMs = 0;      // NowMs() when the call was made (virtual ms since system start)
  double endTime = 0.0;  // GetSet_LoopTimeRange: the end
  int flag = 0;          // Main_OnCommand: the flag; GetSet_LoopTimeRange: allowautoseek
  int result = 0;        // PlayPreviewEx / StopPreview: the answer
};

struct RegistrationCall {
  std::string name;  // the key, e.g. "timer", "-timer", "command_id", "gaccel"
  std::string what;  // command_id: the action name; gaccel: the description; else empty
  int result = 0;
};

struct ShownMessage {
  std::string text;
  std::string title;
  platform::MessageIcon icon = platform::MessageIcon::kWarning;
};

struct MenuItem {
  int id = 0;
  std::string text;
};

enum class TransportState { kStopped, kPlaying, kPaused };

// A registered action: its command name, its id and the description of its accelerator record
// (empty when no "gaccel" names its id).
struct SimAction {
  std::string name;
  int id = 0;
  std::string description;
};

// The beat position of a time, as TimeMap2_timeToBeats answers it.
struct SimBeatPosition {
  double beatInMeasure = 0.0;  // the return value: beats since the start of the measure
  int measure = 0;             // measure index, 0 = the first measure of the project
  int beatsInMeasure = 4;      // the time signature's numerator
  double fullBeats = 0.0;      // beats since project start
  int denominator = 4;
};

class Host {
 public:
  Host();
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The current host: the most recently constructed one still alive; null when none.
  static Host* Current();

  // The record handed to the extension's entry point.
  reaper_plugin_info_t* Info();
  void SetCallerVersion(int version);
  void RemoveRegisterFunction();  // Info()->Register = null
  void RemoveGetFuncFunction();   // Info()->GetFunc = null

  // --- Host functions ---
  // Makes GetFunc answer null for `name` (any host function, a preview function, or a seam).
  void RemoveFunction(const std::string& name);
  // Makes the host function `name` throw std::runtime_error(`what`) whenever it is called, a
  // stand-in for a failure inside the extension's own code on that path; an empty `what` disarms.
  void ThrowFrom(const std::string& name, const std::string& what);
  // Offers a function that is off by default ("GetMediaTrackInfo").
  void OfferFunction(const std::string& name);
  const std::vector<std::string>& FunctionLookups() const;  // every GetFunc name, in order

  // --- Registrations ---
  // Makes Register fail (return 0) for `name`; with `what`, only for that action name or
  // accelerator description.
  void FailRegistration(const std::string& name, const std::string& what = "");
  const std::vector<RegistrationCall>& Registrations() const;
  // What is registered now, by key ("timer", "hookcommand", "hookcustommenu", "gaccel").
  int RegisteredCount(const std::string& key) const;
  // The id "command_id" gave for an action name; 0 when not registered.
  int CommandId(const std::string& actionName) const;
  std::vector<std::string> AcceleratorDescriptions() const;  // registered gaccel records

  // Every registered action with its id and accelerator description, in registration order.
  std::vector<SimAction> Actions() const;
  // How often the extension called AddExtensionsMainMenu.
  int ExtensionsMenuCalls() const;

  // Calls every registered timer once, as the host does about 30 times a second.
  void Tick();
  // Runs an action as the host does: the registered command hooks first; true when one handled it.
  // When no hook handles it, the host's own commands run (1068 repeat, 1007 play, 1008 pause,
  // 1016 stop, 40044 play/stop). Main_OnCommand from the extension takes the same road.
  bool RunCommand(int commandId, int flag = 0);
  // RunCommand with the id "command_id" gave for the name (a leading '_' is ignored); false when
  // no such action is registered.
  bool RunAction(const std::string& actionName);
  // Builds a menu through the registered custom-menu hooks and returns its items. The hooks get a
  // menu made by platform::CreateMenuHandle (a real HMENU on Windows, the portable menu record
  // elsewhere) and are called `times` times on the same menu.
  std::vector<MenuItem> BuildMenu(const std::string& menuId, int flag, int times = 1);

  // --- Virtual clock ---
  // Milliseconds since system start begin at kStartMs (so that 0 is never a reading), the
  // monotonic clock at kMonotonicStartMs (deliberately different, so that a mix-up shows), the
  // local time of day at 12:00:00 and the calendar at kWallClockStartMs unless set; all four
  // advance together. The readings may be taken from any thread; everything else of the host
  // belongs to the thread that drives it.
  static constexpr uint64_t kStartMs = 10'000'000;
  static constexpr int64_t kMonotonicStartMs = 50'000'000;
  static constexpr int64_t kWallClockStartMs = 1'780'000'000'000;  // a day in May 2026
  const platform::ClockSource* ClockSource();
  uint64_t NowMs() const;  // milliseconds since system start
  int64_t MonotonicNs() const;
  int64_t ElapsedMs() const;  // virtual milliseconds since this host was constructed
  void SetLocalTime(int hour, int minute, int second);
  platform::LocalTimeOfDay LocalTime() const;
  // The calendar clock in milliseconds since 1970 (UTC): what a later run of the host reads too.
  void SetWallClock(int64_t millisecondsSince1970);
  int64_t WallClockMs() const;
  // Advances the clock, the transport (by `ms` times the play rate) and the playing previews by
  // `ms`, without ticking. Loop wraps at the end of the time selection and deferred smooth seeks
  // land at their exact times within the step, whatever its size.
  void Advance(int64_t ms);
  // Advances and ticks: one tick every `tickMs` until `ms` have passed.
  void Run(int64_t ms, int64_t tickMs = 33);

  // --- The main thread's message loop ---
  // The extension's wake seam (platform/main_thread_wake.h): posts from any thread and a one-shot
  // timer on the virtual clock. Tick delivers neither; Run delivers both, posts between ticks and
  // the timer at its exact time within a step.
  const platform::WakeSource* WakeSource();
  // Delivers a posted wake, then the one-shot timer when the virtual clock has reached it; true
  // when a call was made.
  bool DeliverMessages();
  // For a driver in real time: waits until a wake is posted or `timeoutMs` of real time passed;
  // true when one is waiting.
  bool WaitForPostedWake(int64_t timeoutMs);
  // Virtual milliseconds until the armed one-shot timer is due (0 once due); -1 when none.
  int64_t TimerDueInMs() const;
  // Runs while a message box of the extension is open, as the host's loop goes on dispatching
  // inside a modal loop (null: nothing runs).
  void SetModalLoop(std::function<void()> loop);

  // --- Messages ---
  const platform::MessageSink* MessageSink();
  const std::vector<ShownMessage>& Messages() const;
  // Everything the extension wrote with ShowConsoleMsg, concatenated.
  const std::string& ConsoleText() const;

  // The extension's settings that persist, read from `path` now and written to it whenever one
  // changes (one "section/key=value" line each), as the host keeps them in its own file.
  void UseSettingsFile(const std::string& path);

  // --- Projects (tabs) ---
  // The current project; there is always one tab after construction. Throws std::logic_error
  // when no project is open (after closing the last tab).
  SimProject& Project();
  const SimProject& Project() const;
  bool HasProject() const;
  int AddProject(const std::string& path);  // a new tab, returns its index (not made current)
  void SelectProject(int index);
  void CloseProject(int index);  // closing the last tab leaves no current project
  void CloseAllProjects();
  int ProjectCount() const;
  void SaveProjectAs(const std::string& path);  // the current project gets a new path
  // Another project is opened into the current tab: the tab keeps its handle, as the host's
  // does, while everything in it (regions, tracks, stored state, the change count) starts afresh.
  // The transport stops. Without a current project, a new tab is opened.
  void OpenInCurrentTab(const std::string& path);
  int CurrentProjectIndex() const;  // -1 when no project is open

  // A test edited the current project's fields in place: its state change count moves, as the
  // host's does with every edit. The builders and the extension's edits do this themselves.
  void ProjectEdited();
  // Moves region `number` of the current project (the first with that number) to [start, end)
  // without moving the change count, as a script's edit without an undo point may. False when no
  // such region exists.
  bool MoveRegionSilently(int number, double start, double end);

  // Builders for the current project.
  void AddRegion(int number, const std::string& name, double start, double end, int colour = 0);
  void AddMarker(int number, const std::string& name, double position, int colour = 0);
  void SetTempoMap(const std::vector<TempoPoint>& points);
  MediaTrack* AddTrack(const std::string& name, int folderDepth = 0);
  SimTrack& Track(int index);

  // The extension's own settings (GetExtState, SetExtState...), one store per host: as if kept in
  // the host's settings file.
  std::string GlobalExtState(const std::string& section, const std::string& key) const;
  bool HasGlobalExtState(const std::string& section, const std::string& key) const;
  // Whether the value was last written with persist set (false when absent).
  bool GlobalExtStatePersists(const std::string& section, const std::string& key) const;
  // A value as a previous session would have left it.
  void SetGlobalExtState(const std::string& section, const std::string& key,
                         const std::string& value);

  // Extended state of the current project.
  std::string ExtState(const std::string& section, const std::string& key) const;
  bool HasExtState(const std::string& section, const std::string& key) const;
  void SetExtState(const std::string& section, const std::string& key, const std::string& value);

  // --- Transport ---
  // One transport, playing the current project. Play (OnPlayButton, command 1007) starts at the
  // edit cursor when stopped, restarts there when playing, and resumes when paused. Stop returns
  // playback to the edit cursor. SetEditCurPos always moves the edit cursor (never below 0); with
  // seek-play it also moves playback while paused, and while playing it jumps at once, or, when
  // "smoothseek" is non-zero, at the first bar line after the play position (a later seek
  // replaces a pending one; stop, pause and play cancel it). With repeat on and a non-empty time
  // selection, playback reaching the selection's end wraps to its start (playback that started
  // beyond the end runs on). Switching or closing the current tab stops the transport.
  TransportState Transport() const;
  double PlayPosition() const;  // what GetPlayPosition answers
  double EditCursor() const;    // the current project's edit cursor
  void UserPlay();              // the user presses play in the host
  void UserStop();
  void UserPause();  // pause while playing, resume while paused
  // The user clicks in the timeline: the edit cursor moves and, while playing or paused, so does
  // playback (deferred to the next bar line when smooth seek is on, as for SetEditCurPos).
  void UserSeek(double time);
  // A smooth seek waiting for its bar line: where it will land and the bar line it waits for.
  bool SeekPending() const;
  double PendingSeekTarget() const;
  double PendingSeekBarLine() const;
  bool RepeatOn() const;
  void SetRepeat(bool on);
  double PlayRate() const;
  // This machine's audio clock runs `ppm` millionths fast (slow when negative): playback advances
  // by (1 + ppm / 1e6) times the play rate per second of the clock.
  void SetClockSkewPpm(double ppm);
  // Play pressed while stopped leaves the transport standing still for a random time in
  // [minMs, maxMs] before it moves, as a host's audio start does; the draws repeat for a seed.
  void SetStartLatency(int64_t minMs, int64_t maxMs, uint64_t seed = 1);

  // --- Config variables (32-bit integers unless a size is given) ---
  // Defaults: "projmetroen", "preroll", "smoothseek", "audioprshift" (4-byte ints, 0) and
  // "prerollmeas" (an 8-byte double, 1.0: the measures of pre-roll). A variable keeps its address
  // while its size stays the same. When "preroll" has bit 1 or "projmetroen" bit 8 set, play
  // pressed while stopped starts "prerollmeas" measures before the edit cursor (the host's
  // pre-roll or count-in), as the host does.
  // Sizes 1, 2, 4 and 8 are stored as integers of that width.
  void SetConfigVar(const std::string& name, int value, int size = 4);
  void SetConfigDouble(const std::string& name, double value);  // an 8-byte double
  int ConfigVar(const std::string& name) const;                 // 0 when absent
  double ConfigDouble(const std::string& name) const;           // 0 when absent or not 8 bytes
  bool HasConfigVar(const std::string& name) const;
  void RemoveConfigVar(const std::string& name);

  // --- Time map (the same conversions the host functions answer) ---
  double TimeToBeats(double time, int* measures, int* beatsInMeasure, double* fullBeats,
                     int* denominator) const;
  double BeatsToTime(double fullBeats) const;
  SimBeatPosition BeatPosition(double time) const;
  // The time of a measure's start plus `beat` beats (TimeMap2_beatsToTime with measuresIn).
  double MeasureToTime(int measure, double beat = 0.0) const;
  // The first bar line strictly after `time`.
  double NextBarLine(double time) const;
  double DividedBpmAt(double time) const;

  // --- Preview ---
  // Records whose playback is running (PlayPreviewEx succeeded and StopPreview not yet called).
  int PlayingPreviews() const;
  std::vector<std::string> CreatedSourcePaths() const;  // every PCM_Source_CreateFromFile path
  int LiveSources() const;                              // created and not destroyed
  void FailPreviewPlayback(bool fail);                  // PlayPreviewEx answers 0
  bool PreviewPlaying(const preview_register_t* preview) const;

  // Misuse of the interface that the real host would not survive or would silently mishandle:
  // destroying a source a playing preview still uses, stopping an unknown preview, a preview
  // whose lock is held while the host wants it, an unknown project or track handle... Empty in a
  // correct run.
  const std::vector<std::string>& Problems() const;

  // --- Record of calls ---
  // The most recent calls (the last 4,096), oldest first.
  const std::deque<HostCall>& Calls() const;
  // How many calls were recorded since the host was made (ClearCalls does not reset it): a reader
  // that follows the record keeps this to know which of Calls() are new.
  uint64_t CallsRecorded() const;
  // The recent calls to `function`, oldest first.
  std::vector<HostCall> CallsTo(const std::string& function) const;
  // How often `function` was called since the host was made or the last ClearCalls, however long
  // ago.
  int CountCalls(const std::string& function) const;
  void ClearCalls();

  struct State;  // the model; public so that the C entry points can reach it
  State& Model() { return *state_; }
  const State& Model() const { return *state_; }

 private:
  std::unique_ptr<State> state_;
  Host* previous_;
};

}  // namespace quorvane::sim
