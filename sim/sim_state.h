// The simulator's model behind Host (private to sim/): what the host functions read and change.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sim/sim_host.h"
#include "sim/tempo_map.h"

namespace quorvane::sim {

struct Host::State {
  explicit State(Host* owner);
  ~State();

  Host* host;
  reaper_plugin_info_t info{};

  // --- Host functions ---
  std::set<std::string> removedFunctions;
  std::set<std::string> offeredFunctions;
  std::vector<std::string> lookups;
  void* LookUp(const char* name);

  // --- Registrations ---
  struct Failure {
    std::string name;
    std::string what;
  };
  struct Accelerator {
    const gaccel_register_t* record = nullptr;
    int command = 0;
    std::string description;
  };
  std::vector<Failure> failures;
  std::vector<RegistrationCall> registrations;
  std::vector<TimerCallback> timers;
  std::vector<HookCommandCallback> commandHooks;
  std::vector<ToggleActionCallback> toggleHooks;
  std::vector<HookCustomMenuCallback> menuHooks;
  std::vector<Accelerator> accelerators;
  std::vector<std::pair<std::string, int>> commandIds;  // in registration order
  int nextCommandId = 40000;
  int extensionsMenuCalls = 0;
  int Register(const char* name, void* info);
  bool Fails(const std::string& name, const std::string& what) const;
  // The hooks first, then the host's own commands; true when a hook handled it.
  bool RunCommand(int command, int flag);
  void RunBuiltInCommand(int command);

  // --- Clock ---
  std::atomic<int64_t> elapsedMs{0};
  std::atomic<int64_t> localTimeOffsetMs{12 * 3600 * 1000};  // local time of day at elapsed 0
  std::atomic<int64_t> wallClockOffsetMs{Host::kWallClockStartMs};  // the calendar at elapsed 0
  platform::ClockSource clock{};
  platform::LocalTimeOfDay LocalTime() const;

  // --- Main-thread wake ---
  platform::WakeSource wake{};
  std::mutex wakeMutex;
  std::condition_variable wakeSignal;
  bool wakePosted = false;  // guarded by wakeMutex; posted from any thread
  // The rest belongs to the driving thread.
  void (*wakeHandler)(void* target, int reason) = nullptr;
  void* wakeTarget = nullptr;
  int64_t timerDueMs = -1;  // elapsedMs at which the one-shot timer fires; -1 when not armed
  std::function<void()> modalLoop;

  // --- Project state change count ---
  // Each project counts its own edits, as the host does: two projects may show the same count.
  void Edited(SimProject* project) {
    if (project) ++project->changeCount;
  }

  // --- Messages and console ---
  platform::MessageSink sink{};
  std::vector<ShownMessage> messages;
  std::string console;

  // The file the persisted settings are kept in (UseSettingsFile); empty: memory only.
  std::string settingsFile;
  void SaveSettings() const;

  // --- Projects ---
  std::vector<std::unique_ptr<SimProject>> tabs;
  std::vector<std::unique_ptr<SimProject>> closedProjects;  // kept so handles are never reused
  int current = -1;
  uint64_t nextSerial = 1;
  SimProject* Current() const;
  // A project handle as the functions take it: null = the current project (null when none); an
  // unknown handle answers null (and is noted as a problem).
  SimProject* Resolve(ReaProject* project, const char* function);
  int IndexOf(const SimProject* project) const;

  // Markers and regions in host order, cached per project between enumerations.
  struct OrderEntry {
    bool isRegion = false;
    size_t index = 0;
  };
  const SimProject* orderProject = nullptr;
  size_t orderRegions = 0, orderMarkers = 0;
  std::vector<OrderEntry> order;
  const std::vector<OrderEntry>& HostOrder(const SimProject& project, bool rebuild);
  void InvalidateOrder() { orderProject = nullptr; }

  // The tempo map of a project, rebuilt when its points change.
  const SimProject* mapProject = nullptr;
  std::vector<TempoPoint> mapPoints;
  std::unique_ptr<TempoMap> map;
  const TempoMap& MapOf(const SimProject* project);

  // --- Transport ---
  TransportState transport = TransportState::kStopped;
  double playPosition = 0.0;  // while playing or paused
  bool repeat = false;
  bool seekPending = false;
  double seekTarget = 0.0;
  double seekBarLine = 0.0;
  double PlayPositionNow() const;
  void Play();         // play pressed: start at the edit cursor, resume when paused
  void Stop();         // stop: playback returns to the edit cursor
  void PauseToggle();  // pause while playing, resume while paused
  void SetEditCursor(double time, bool seekPlay);
  // Moves the playing transport by `seconds` of project time, with loop wraps and deferred seeks.
  void AdvanceTransport(double seconds);
  void ArmSmoothSeek(double target);
  // A machine's audio clock is never exactly the wall clock, and a host takes a moment between
  // play pressed and the transport moving: two rigs following each other must cope with both.
  double clockSkewPpm = 0.0;      // playback runs this many millionths fast (slow if negative)
  int64_t startLatencyMinMs = 0;  // play pressed: the transport stands still for a random
  int64_t startLatencyMaxMs = 0;  // time in [min, max] ms before it moves
  double startDelayLeft = 0.0;    // seconds the transport still stands still
  uint64_t latencySeed = 0x9e3779b97f4a7c15ull;
  // The real time until the transport moves: a random draw in the latency's range.
  double DrawStartDelay();

  // --- Config variables ---
  struct ConfigValue {
    std::vector<unsigned char> bytes;  // the live value; its address is what get_config_var gives
  };
  std::map<std::string, std::unique_ptr<ConfigValue>> config;
  std::vector<std::unique_ptr<ConfigValue>> retiredConfig;  // keeps old addresses valid
  ConfigValue* Config(const std::string& name) const;
  ConfigValue& ConfigOfSize(const std::string& name, size_t size);
  long long ConfigInteger(const std::string& name) const;

  // --- Preview ---
  struct Source {
    std::string path;
    double length = 0.0;  // seconds of audio in the file
  };
  struct PlayingPreview {
    Source* source = nullptr;
    int64_t startedMs = 0;
  };
  std::map<const void*, std::unique_ptr<Source>> sources;  // keyed by the handle given out
  std::map<preview_register_t*, PlayingPreview> previews;
  std::vector<std::string> createdSourcePaths;
  bool failPreview = false;
  Source* FindSource(const PCM_source* handle) const;
  void AdvancePreviews(double seconds);

  // --- The extension's own settings (GetExtState and the rest), one store per host ---
  struct GlobalValue {
    std::string value;
    bool persist = false;  // what the last SetExtState asked for
  };
  std::map<std::string, std::map<std::string, GlobalValue>> globalExtState;  // section -> key
  std::string globalRead;  // GetExtState's answer, valid until its next call
  const GlobalValue* FindGlobal(const std::string& section, const std::string& key) const;

  // --- Failures armed by a test: function name -> what it throws ---
  std::map<std::string, std::string> throwing;
  void ThrowIfArmed(const char* function) const;

  // --- Records ---
  std::vector<std::string> problems;
  // The recent calls only: a flood of commands would otherwise grow the record without bound and
  // distort any measure of the extension's memory. How often each function was called is kept
  // for the whole run. A reference Record returns stays valid for kKeptCalls further calls.
  static constexpr size_t kKeptCalls = 4096;
  std::deque<HostCall> calls;
  std::map<std::string, int> callCounts;
  uint64_t callsRecorded = 0;  // every call since the host was made, ClearCalls or not
  HostCall& Record(const std::string& function);
  void Problem(const std::string& text);

  // --- Tracks ---
  // The track behind a handle, in any open project; null for an unknown handle.
  SimTrack* FindTrack(MediaTrack* track, int* index) const;
};

// The C functions handed out through GetFunc, by name (sim_functions.cpp).
void* HostFunctionByName(const std::string& name);
// The two record functions of the entry record.
int SimRegister(const char* name, void* info);
void* SimGetFunc(const char* name);

}  // namespace quorvane::sim
