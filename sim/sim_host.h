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
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/reaper_api.h"
#include "platform/clock.h"
#include "platform/message_box.h"

namespace quorvane::sim {

struct SimRegion {
  int number = 0;  // the displayed region number
  std::string name;
  double start = 0.0;
  double end = 0.0;
  int colour = 0;
};

struct SimMarker {
  int number = 0;
  std::string name;
  double position = 0.0;
  int colour = 0;
};

// A tempo or time-signature change; it takes effect at `time`, which should lie on a bar line of
// the map before it. The first point is at time 0.
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
};

// One call the extension made into the host that a test may want to see.
struct HostCall {
  std::string function;  // e.g. "OnPlayButton", "SetEditCurPos", "Main_OnCommand"
  double time = 0.0;     // SetEditCurPos: the time; CSurf_OnPlayRateChange: the rate
  int command = 0;       // Main_OnCommand: the command id
  bool moveView = false;
  bool seekPlay = false;
  std::string text;      // SetProjExtState: "section/key=value"; ShowConsoleMsg: the text
  int64_t atMs = 0;      // virtual milliseconds since start when the call was made
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

class Host {
 public:
  Host();
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  static Host* Current();

  // The record handed to the extension's entry point.
  reaper_plugin_info_t* Info();
  void SetCallerVersion(int version);
  void RemoveRegisterFunction();  // Info()->Register = null
  void RemoveGetFuncFunction();   // Info()->GetFunc = null

  // --- Host functions ---
  // Makes GetFunc answer null for `name` (any host function, a preview function, or a seam).
  void RemoveFunction(const std::string& name);
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

  // Calls every registered timer once, as the host does about 30 times a second.
  void Tick();
  // Runs an action as the host does: the registered command hooks first; true when one handled it.
  bool RunCommand(int commandId, int flag = 0);
  bool RunAction(const std::string& actionName);
  // Builds a menu through the registered custom-menu hooks and returns its items.
  std::vector<MenuItem> BuildMenu(const std::string& menuId, int flag, int times = 1);

  // --- Virtual clock ---
  const platform::ClockSource* ClockSource();
  uint64_t NowMs() const;  // milliseconds since system start
  void SetLocalTime(int hour, int minute, int second);
  // Advances the clock and the transport by `ms` (in steps of at most 1 ms of play position
  // accuracy handled internally), without ticking.
  void Advance(int64_t ms);
  // Advances and ticks: one tick every `tickMs` until `ms` have passed.
  void Run(int64_t ms, int64_t tickMs = 33);

  // --- Messages ---
  const platform::MessageSink* MessageSink();
  const std::vector<ShownMessage>& Messages() const;

  // --- Projects (tabs) ---
  SimProject& Project();  // the current project; there is always one tab after construction
  int AddProject(const std::string& path);  // a new tab, returns its index (not made current)
  void SelectProject(int index);
  void CloseProject(int index);  // closing the last tab leaves no current project
  void CloseAllProjects();
  int ProjectCount() const;
  void SaveProjectAs(const std::string& path);  // the current project gets a new path

  // Builders for the current project.
  void AddRegion(int number, const std::string& name, double start, double end);
  void AddMarker(int number, const std::string& name, double position);
  void SetTempoMap(const std::vector<TempoPoint>& points);
  MediaTrack* AddTrack(const std::string& name, int folderDepth = 0);
  SimTrack& Track(int index);

  // Extended state of the current project.
  std::string ExtState(const std::string& section, const std::string& key) const;
  bool HasExtState(const std::string& section, const std::string& key) const;
  void SetExtState(const std::string& section, const std::string& key, const std::string& value);

  // --- Transport ---
  TransportState Transport() const;
  double PlayPosition() const;  // what GetPlayPosition answers
  void UserPlay();              // the user presses play in the host
  void UserStop();
  void UserPause();
  bool RepeatOn() const;
  void SetRepeat(bool on);
  double PlayRate() const;

  // --- Config variables (32-bit integers unless a size is given) ---
  void SetConfigVar(const std::string& name, int value, int size = 4);
  int ConfigVar(const std::string& name) const;
  void RemoveConfigVar(const std::string& name);

  // --- Time map (the same conversions the host functions answer) ---
  double TimeToBeats(double time, int* measures, int* beatsInMeasure, double* fullBeats,
                     int* denominator) const;
  double BeatsToTime(double fullBeats) const;

  // --- Preview ---
  // Records whose playback is running (PlayPreviewEx succeeded and StopPreview not yet called).
  int PlayingPreviews() const;
  std::vector<std::string> CreatedSourcePaths() const;  // every PCM_Source_CreateFromFile path
  int LiveSources() const;                              // created and not destroyed
  void FailPreviewPlayback(bool fail);                  // PlayPreviewEx answers 0

  // --- Record of calls ---
  const std::vector<HostCall>& Calls() const;
  std::vector<HostCall> CallsTo(const std::string& function) const;
  int CountCalls(const std::string& function) const;
  void ClearCalls();

  struct State;  // the model; public so that the C entry points can reach it

 private:
  std::unique_ptr<State> state_;
  Host* previous_;
};

}  // namespace quorvane::sim
