#include "sim/sim_host.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <fstream>
#include <limits>
#include <stdexcept>

#include "platform/host_seams.h"
#include "platform/menu.h"
#include "platform/preview_lock.h"
#include "sim/sim_state.h"

namespace quorvane::sim {
namespace {

constexpr int64_t kDayMs = 24LL * 3600 * 1000;

std::vector<Host*>& LiveHosts() {
  static std::vector<Host*> hosts;
  return hosts;
}

template <typename T>
bool Contains(const std::vector<T>& list, const T& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

template <typename T>
bool EraseFirst(std::vector<T>* list, const T& value) {
  auto it = std::find(list->begin(), list->end(), value);
  if (it == list->end()) return false;
  list->erase(it);
  return true;
}

// The clock and message sink callbacks handed to the extension; the context is the State.
uint64_t ClockMs(void* context) {
  const auto* state = static_cast<const Host::State*>(context);
  return Host::kStartMs + static_cast<uint64_t>(state->elapsedMs.load());
}

int64_t ClockNs(void* context) {
  const auto* state = static_cast<const Host::State*>(context);
  return (Host::kMonotonicStartMs + state->elapsedMs.load()) * 1000000;
}

void ClockLocalTime(void* context, int* hour, int* minute, int* second) {
  const auto* state = static_cast<const Host::State*>(context);
  const platform::LocalTimeOfDay now = state->LocalTime();
  if (hour) *hour = now.hour;
  if (minute) *minute = now.minute;
  if (second) *second = now.second;
}

void SinkShow(void* context, const char* text, const char* title, int icon) {
  auto* state = static_cast<Host::State*>(context);
  state->messages.push_back(ShownMessage{text ? text : "", title ? title : "",
                                         icon == static_cast<int>(platform::MessageIcon::kError)
                                             ? platform::MessageIcon::kError
                                             : platform::MessageIcon::kWarning});
  if (state->modalLoop) state->modalLoop();  // the box is open until its loop returns
}

void WakeAttach(void* context, void (*handler)(void*, int), void* target) {
  auto* state = static_cast<Host::State*>(context);
  state->wakeHandler = handler;
  state->wakeTarget = target;
}

void WakePost(void* context) {
  auto* state = static_cast<Host::State*>(context);
  {
    std::lock_guard lock(state->wakeMutex);
    state->wakePosted = true;
  }
  state->wakeSignal.notify_all();
}

void WakeArm(void* context, int delayMs) {
  auto* state = static_cast<Host::State*>(context);
  // Like the system's timers, never due at once: a handler that arms again cannot spin.
  state->timerDueMs = delayMs < 0 ? -1 : state->elapsedMs.load() + std::max(delayMs, 1);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// State

Host::State::State(Host* owner) : host(owner) {
  info.caller_version = kReaperPluginVersion;
  info.hwnd_main = nullptr;
  info.Register = &SimRegister;
  info.GetFunc = &SimGetFunc;
  clock = platform::ClockSource{this, &ClockMs, &ClockNs, &ClockLocalTime};
  sink = platform::MessageSink{this, &SinkShow};
  wake = platform::WakeSource{this, &WakeAttach, &WakePost, &WakeArm};
  for (const char* name : {"projmetroen", "preroll", "smoothseek", "audioprshift"}) {
    ConfigOfSize(name, 4);
  }
  ConfigValue& measures = ConfigOfSize("prerollmeas", 8);
  const double one = 1.0;
  std::memcpy(measures.bytes.data(), &one, sizeof one);
  tabs.push_back(std::make_unique<SimProject>());
  Edited(tabs.back().get());
  current = 0;
}

Host::State::~State() = default;

void* Host::State::LookUp(const char* name) {
  const std::string key = name ? name : "";
  lookups.push_back(key);
  if (!name || removedFunctions.count(key)) return nullptr;
  if (key == platform::kClockSourceName) return &clock;
  if (key == platform::kMessageSinkName) return &sink;
  if (key == platform::kMainThreadWakeName) return &wake;
  if (key == "GetMediaTrackInfo" && !offeredFunctions.count(key)) return nullptr;
  return HostFunctionByName(key);
}

void Host::State::ThrowIfArmed(const char* function) const {
  if (throwing.empty() || !function) return;
  const auto armed = throwing.find(function);
  if (armed != throwing.end()) throw std::runtime_error(armed->second);
}

const Host::State::GlobalValue* Host::State::FindGlobal(const std::string& section,
                                                        const std::string& key) const {
  const auto found = globalExtState.find(section);
  if (found == globalExtState.end()) return nullptr;
  const auto value = found->second.find(key);
  return value == found->second.end() ? nullptr : &value->second;
}

bool Host::State::Fails(const std::string& name, const std::string& what) const {
  for (const Failure& failure : failures) {
    if (failure.name == name && (failure.what.empty() || failure.what == what)) return true;
  }
  return false;
}

int Host::State::Register(const char* name, void* infostruct) {
  RegistrationCall call;
  call.name = name ? name : "";
  const std::string& key = call.name;
  if (key == "command_id" && infostruct) {
    call.what = static_cast<const char*>(infostruct);
  } else if ((key == "gaccel" || key == "-gaccel") && infostruct) {
    const auto* record = static_cast<const gaccel_register_t*>(infostruct);
    call.what = record->desc ? record->desc : "";
  }
  int result = 0;
  if (name && !Fails(key, call.what)) {
    if (key == "timer") {
      if (infostruct) timers.push_back(reinterpret_cast<TimerCallback>(infostruct));
      result = infostruct ? 1 : 0;
    } else if (key == "-timer") {
      result = EraseFirst(&timers, reinterpret_cast<TimerCallback>(infostruct)) ? 1 : 0;
    } else if (key == "hookcommand") {
      if (infostruct) commandHooks.push_back(reinterpret_cast<HookCommandCallback>(infostruct));
      result = infostruct ? 1 : 0;
    } else if (key == "-hookcommand") {
      result = EraseFirst(&commandHooks, reinterpret_cast<HookCommandCallback>(infostruct)) ? 1 : 0;
    } else if (key == "hookcustommenu") {
      if (infostruct) menuHooks.push_back(reinterpret_cast<HookCustomMenuCallback>(infostruct));
      result = infostruct ? 1 : 0;
    } else if (key == "-hookcustommenu") {
      result = EraseFirst(&menuHooks, reinterpret_cast<HookCustomMenuCallback>(infostruct)) ? 1 : 0;
    } else if (key == "command_id") {
      if (!call.what.empty()) {
        for (const auto& [actionName, id] : commandIds) {
          if (actionName == call.what) result = id;  // the same name keeps its id
        }
        if (result == 0 && nextCommandId <= 0xFFFF) {
          result = nextCommandId++;
          commandIds.emplace_back(call.what, result);
        }
      }
    } else if (key == "gaccel") {
      if (infostruct) {
        const auto* record = static_cast<const gaccel_register_t*>(infostruct);
        accelerators.push_back(Accelerator{record, record->accel.cmd, call.what});
        result = 1;
      }
    } else if (key == "-gaccel") {
      for (auto it = accelerators.begin(); it != accelerators.end(); ++it) {
        if (it->record == infostruct) {
          accelerators.erase(it);
          result = 1;
          break;
        }
      }
    }
  }
  call.result = result;
  registrations.push_back(call);
  return result;
}

bool Host::State::RunCommand(int command, int flag) {
  const std::vector<HookCommandCallback> hooks = commandHooks;
  for (HookCommandCallback hook : hooks) {
    if (!Contains(commandHooks, hook)) continue;  // unregistered by an earlier hook
    if (hook(command, flag)) return true;
  }
  RunBuiltInCommand(command);
  return false;
}

void Host::State::RunBuiltInCommand(int command) {
  switch (command) {
    case kRepeatToggleCommand:
      repeat = !repeat;
      break;
    case 1007:  // Transport: Play
      Play();
      break;
    case 1008:  // Transport: Pause
      PauseToggle();
      break;
    case 1016:  // Transport: Stop
      Stop();
      break;
    case 40044:  // Transport: Play/stop
      if (transport == TransportState::kStopped) {
        Play();
      } else {
        Stop();
      }
      break;
    default:
      break;
  }
}

platform::LocalTimeOfDay Host::State::LocalTime() const {
  int64_t ms = (localTimeOffsetMs.load() + elapsedMs.load()) % kDayMs;
  if (ms < 0) ms += kDayMs;
  const int seconds = static_cast<int>(ms / 1000);
  platform::LocalTimeOfDay time;
  time.hour = seconds / 3600;
  time.minute = seconds / 60 % 60;
  time.second = seconds % 60;
  return time;
}

SimProject* Host::State::Current() const {
  return current >= 0 && current < static_cast<int>(tabs.size()) ? tabs[current].get() : nullptr;
}

int Host::State::IndexOf(const SimProject* project) const {
  for (size_t i = 0; i < tabs.size(); ++i) {
    if (tabs[i].get() == project) return static_cast<int>(i);
  }
  return -1;
}

SimProject* Host::State::Resolve(ReaProject* project, const char* function) {
  if (!project) return Current();
  auto* wanted = reinterpret_cast<SimProject*>(project);
  if (IndexOf(wanted) >= 0) return wanted;
  bool closed = false;
  for (const auto& old : closedProjects)
    closed = closed || old.get() == wanted;
  Problem(std::string(function) + (closed ? ": a closed project's handle" : ": unknown project"));
  return nullptr;
}

namespace {

// True when the cached order is exactly what sorting the lists afresh would give: every entry
// comes strictly before the next by (position, serial, regions before markers, list index). A
// position that is not a number orders nothing, so it always sends the lists to a fresh sort.
bool OrderStillHolds(const SimProject& project, const std::vector<Host::State::OrderEntry>& order) {
  struct Key {
    double position;
    uint64_t serial;
    size_t rank;  // the entry's place in the sort's input: regions first, then markers
  };
  const auto keyOf = [&project](const Host::State::OrderEntry& entry) {
    if (entry.isRegion) {
      const SimRegion& region = project.regions[entry.index];
      return Key{region.start, region.serial, entry.index};
    }
    const SimMarker& marker = project.markers[entry.index];
    return Key{marker.position, marker.serial, project.regions.size() + entry.index};
  };
  for (size_t i = 0; i < order.size(); ++i) {
    const Key key = keyOf(order[i]);
    if (std::isnan(key.position)) return false;
    if (i == 0) continue;
    const Key before = keyOf(order[i - 1]);
    if (before.position != key.position) {
      if (before.position > key.position) return false;
    } else if (before.serial != key.serial) {
      if (before.serial > key.serial) return false;
    } else if (before.rank > key.rank) {
      return false;
    }
  }
  return true;
}

}  // namespace

const std::vector<Host::State::OrderEntry>& Host::State::HostOrder(const SimProject& project,
                                                                   bool rebuild) {
  // A fresh enumeration must see positions changed in place; checking the cached order costs a
  // walk, sorting again would cost a sort every time the extension enumerates.
  if (orderProject == &project && orderRegions == project.regions.size() &&
      orderMarkers == project.markers.size() && (!rebuild || OrderStillHolds(project, order))) {
    return order;
  }
  struct Keyed {
    double position;
    uint64_t serial;
    OrderEntry entry;
  };
  std::vector<Keyed> keyed;
  for (size_t i = 0; i < project.regions.size(); ++i) {
    keyed.push_back(Keyed{project.regions[i].start, project.regions[i].serial, {true, i}});
  }
  for (size_t i = 0; i < project.markers.size(); ++i) {
    keyed.push_back(Keyed{project.markers[i].position, project.markers[i].serial, {false, i}});
  }
  std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    if (a.position != b.position) return a.position < b.position;
    return a.serial < b.serial;
  });
  order.clear();
  for (const Keyed& k : keyed)
    order.push_back(k.entry);
  orderProject = &project;
  orderRegions = project.regions.size();
  orderMarkers = project.markers.size();
  return order;
}

const TempoMap& Host::State::MapOf(const SimProject* project) {
  static const std::vector<TempoPoint> kDefault{TempoPoint{}};
  const std::vector<TempoPoint>& points = project ? project->tempoMap : kDefault;
  const bool same = map && mapProject == project && mapPoints.size() == points.size() &&
                    std::equal(points.begin(), points.end(), mapPoints.begin(),
                               [](const TempoPoint& a, const TempoPoint& b) {
                                 return a.time == b.time && a.bpm == b.bpm &&
                                        a.numerator == b.numerator &&
                                        a.denominator == b.denominator;
                               });
  if (!same) {
    map = std::make_unique<TempoMap>(points);
    mapPoints = points;
    mapProject = project;
  }
  return *map;
}

double Host::State::PlayPositionNow() const {
  const SimProject* project = Current();
  if (!project) return 0.0;
  return transport == TransportState::kStopped ? project->editCursor : playPosition;
}

void Host::State::Play() {
  SimProject* project = Current();
  if (!project) return;
  if (transport == TransportState::kPaused) {
    transport = TransportState::kPlaying;
    return;
  }
  // Stopped, or playing (play pressed again restarts at the edit cursor).
  double start = project->editCursor;
  if ((ConfigInteger("preroll") & 1) != 0 || (ConfigInteger("projmetroen") & 8) != 0) {
    double measures = 1.0;
    if (const ConfigValue* value = Config("prerollmeas"); value && value->bytes.size() == 8) {
      std::memcpy(&measures, value->bytes.data(), sizeof measures);
    }
    if (std::isfinite(measures) && measures > 0.0) {
      const TempoMap& tempo = MapOf(project);
      const SimBeatPosition at = tempo.TimeToBeats(start);
      start = tempo.BeatsToTime(at.fullBeats - measures * at.beatsInMeasure);
    }
  }
  playPosition = start;
  seekPending = false;
  transport = TransportState::kPlaying;
}

void Host::State::Stop() {
  transport = TransportState::kStopped;
  seekPending = false;
  playPosition = Current() ? Current()->editCursor : 0.0;
}

void Host::State::PauseToggle() {
  if (transport == TransportState::kPlaying) {
    transport = TransportState::kPaused;
    seekPending = false;
  } else if (transport == TransportState::kPaused) {
    transport = TransportState::kPlaying;
  }
}

void Host::State::SetEditCursor(double time, bool seekPlay) {
  SimProject* project = Current();
  if (!project || !std::isfinite(time)) return;
  time = std::max(0.0, time);
  project->editCursor = time;
  if (!seekPlay) return;
  if (transport == TransportState::kPlaying) {
    if (ConfigInteger("smoothseek") != 0) {
      ArmSmoothSeek(time);
    } else {
      playPosition = time;
      seekPending = false;
    }
  } else if (transport == TransportState::kPaused) {
    playPosition = time;
    seekPending = false;
  }
}

void Host::State::ArmSmoothSeek(double target) {
  seekPending = true;
  seekTarget = target;
  seekBarLine = MapOf(Current()).NextBarLineAfter(playPosition);
}

void Host::State::AdvanceTransport(double seconds) {
  if (transport != TransportState::kPlaying || !(seconds > 0.0)) return;
  const SimProject* project = Current();
  double remaining = seconds;
  constexpr double kNoEvent = std::numeric_limits<double>::infinity();
  while (remaining > 0.0) {
    enum class Event { kNone, kBarLineSeek, kLoopEnd } event = Event::kNone;
    double toEvent = kNoEvent;
    if (seekPending) {
      toEvent = std::max(0.0, seekBarLine - playPosition);
      event = Event::kBarLineSeek;
    }
    const bool looping = repeat && project && project->selectionEnd > project->selectionStart &&
                         playPosition < project->selectionEnd;
    if (looping && project->selectionEnd - playPosition < toEvent) {
      toEvent = project->selectionEnd - playPosition;
      event = Event::kLoopEnd;
    }
    if (event == Event::kNone || toEvent > remaining) {
      playPosition += remaining;
      break;
    }
    playPosition += toEvent;
    remaining -= toEvent;
    if (event == Event::kBarLineSeek) {
      playPosition = seekTarget;
      seekPending = false;
      continue;
    }
    // The end of the time selection: playback wraps to its start.
    playPosition = project->selectionStart;
    if (seekPending) {
      const TempoMap& tempo = MapOf(project);
      if (tempo.TimeToBeats(playPosition).beatInMeasure == 0.0) {
        playPosition = seekTarget;  // the selection starts on a bar line: the seek happens here
        seekPending = false;
      } else {
        seekBarLine = tempo.NextBarLineAfter(playPosition);
      }
    } else {
      const double length = project->selectionEnd - project->selectionStart;
      if (remaining >= length) remaining = std::fmod(remaining, length);
    }
  }
}

Host::State::ConfigValue* Host::State::Config(const std::string& name) const {
  auto it = config.find(name);
  return it == config.end() ? nullptr : it->second.get();
}

Host::State::ConfigValue& Host::State::ConfigOfSize(const std::string& name, size_t size) {
  auto it = config.find(name);
  if (it != config.end()) {
    if (it->second->bytes.size() == size) return *it->second;
    retiredConfig.push_back(std::move(it->second));
    config.erase(it);
  }
  auto value = std::make_unique<ConfigValue>();
  value->bytes.assign(std::max<size_t>(size, 1), 0);
  ConfigValue& result = *value;
  config.emplace(name, std::move(value));
  return result;
}

long long Host::State::ConfigInteger(const std::string& name) const {
  const ConfigValue* value = Config(name);
  if (!value) return 0;
  switch (value->bytes.size()) {
    case 1:
      return static_cast<signed char>(value->bytes[0]);
    case 2: {
      int16_t v = 0;
      std::memcpy(&v, value->bytes.data(), sizeof v);
      return v;
    }
    case 4: {
      int32_t v = 0;
      std::memcpy(&v, value->bytes.data(), sizeof v);
      return v;
    }
    case 8: {
      int64_t v = 0;
      std::memcpy(&v, value->bytes.data(), sizeof v);
      return v;
    }
    default:
      return 0;
  }
}

Host::State::Source* Host::State::FindSource(const PCM_source* handle) const {
  auto it = sources.find(handle);
  return it == sources.end() ? nullptr : it->second.get();
}

void Host::State::AdvancePreviews(double seconds) {
  // The host's audio thread: it takes each record's lock and moves the play position.
  for (auto& [record, playing] : previews) {
    if (!platform::ProbePreviewLock(&record->lock)) {
      Problem("the lock of a playing preview was held when the host wanted it");
      continue;
    }
    double position = record->curpos + seconds;
    const double length = playing.source ? playing.source->length : 0.0;
    if (length > 0.0 && position >= length) {
      position = record->loop ? std::fmod(position, length) : length;
    }
    record->curpos = position;
  }
}

HostCall& Host::State::Record(const std::string& function) {
  HostCall call;
  call.function = function;
  call.atMs = static_cast<int64_t>(Host::kStartMs) + elapsedMs.load();
  if (calls.size() >= kKeptCalls) calls.pop_front();
  calls.push_back(std::move(call));
  ++callCounts[function];
  ++callsRecorded;
  return calls.back();
}

void Host::State::Problem(const std::string& text) {
  problems.push_back(text);
}

SimTrack* Host::State::FindTrack(MediaTrack* track, int* index) const {
  if (!track) return nullptr;
  auto* wanted = reinterpret_cast<SimTrack*>(track);
  // The current project first (the usual case), then every tab; no list is built per call, as the
  // extension asks for each track's values several times per state document.
  const auto findIn = [wanted, index](const SimProject* project) {
    for (size_t i = 0; i < project->tracks.size(); ++i) {
      if (project->tracks[i].get() == wanted) {
        if (index) *index = static_cast<int>(i);
        return true;
      }
    }
    return false;
  };
  if (Current() && findIn(Current())) return wanted;
  for (const auto& tab : tabs) {
    if (findIn(tab.get())) return wanted;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Host

Host::Host() : state_(std::make_unique<State>(this)) {
  previous_ = LiveHosts().empty() ? nullptr : LiveHosts().back();
  LiveHosts().push_back(this);
}

Host::~Host() {
  auto& hosts = LiveHosts();
  hosts.erase(std::remove(hosts.begin(), hosts.end(), this), hosts.end());
  for (Host* host : hosts) {
    if (host->previous_ == this) host->previous_ = previous_;
  }
}

Host* Host::Current() {
  return LiveHosts().empty() ? nullptr : LiveHosts().back();
}

reaper_plugin_info_t* Host::Info() {
  return &state_->info;
}
void Host::SetCallerVersion(int version) {
  state_->info.caller_version = version;
}
void Host::RemoveRegisterFunction() {
  state_->info.Register = nullptr;
}
void Host::RemoveGetFuncFunction() {
  state_->info.GetFunc = nullptr;
}

void Host::RemoveFunction(const std::string& name) {
  state_->removedFunctions.insert(name);
  state_->offeredFunctions.erase(name);
}

void Host::ThrowFrom(const std::string& name, const std::string& what) {
  if (what.empty()) {
    state_->throwing.erase(name);
  } else {
    state_->throwing[name] = what;
  }
}

void Host::OfferFunction(const std::string& name) {
  state_->offeredFunctions.insert(name);
  state_->removedFunctions.erase(name);
}

const std::vector<std::string>& Host::FunctionLookups() const {
  return state_->lookups;
}

void Host::FailRegistration(const std::string& name, const std::string& what) {
  state_->failures.push_back(State::Failure{name, what});
}

const std::vector<RegistrationCall>& Host::Registrations() const {
  return state_->registrations;
}

int Host::RegisteredCount(const std::string& key) const {
  if (key == "timer") return static_cast<int>(state_->timers.size());
  if (key == "hookcommand") return static_cast<int>(state_->commandHooks.size());
  if (key == "hookcustommenu") return static_cast<int>(state_->menuHooks.size());
  if (key == "gaccel") return static_cast<int>(state_->accelerators.size());
  if (key == "command_id") return static_cast<int>(state_->commandIds.size());
  return 0;
}

int Host::CommandId(const std::string& actionName) const {
  const std::string name =
      !actionName.empty() && actionName[0] == '_' ? actionName.substr(1) : actionName;
  for (const auto& [registered, id] : state_->commandIds) {
    if (registered == name) return id;
  }
  return 0;
}

std::vector<std::string> Host::AcceleratorDescriptions() const {
  std::vector<std::string> descriptions;
  for (const auto& accelerator : state_->accelerators) {
    descriptions.push_back(accelerator.description);
  }
  return descriptions;
}

std::vector<SimAction> Host::Actions() const {
  std::vector<SimAction> actions;
  for (const auto& [name, id] : state_->commandIds) {
    SimAction action{name, id, {}};
    for (const auto& accelerator : state_->accelerators) {
      if (accelerator.command == id) action.description = accelerator.description;
    }
    actions.push_back(std::move(action));
  }
  return actions;
}

int Host::ExtensionsMenuCalls() const {
  return state_->extensionsMenuCalls;
}

void Host::Tick() {
  const std::vector<TimerCallback> timers = state_->timers;
  for (TimerCallback timer : timers) {
    if (Contains(state_->timers, timer)) timer();
  }
}

bool Host::RunCommand(int commandId, int flag) {
  return state_->RunCommand(commandId, flag);
}

bool Host::RunAction(const std::string& actionName) {
  const int id = CommandId(actionName);
  return id != 0 && RunCommand(id, 0);
}

std::vector<MenuItem> Host::BuildMenu(const std::string& menuId, int flag, int times) {
  void* menu = platform::CreateMenuHandle();
  for (int i = 0; i < times; ++i) {
    const std::vector<HookCustomMenuCallback> hooks = state_->menuHooks;
    for (HookCustomMenuCallback hook : hooks) {
      if (Contains(state_->menuHooks, hook)) hook(menuId.c_str(), static_cast<HMENU>(menu), flag);
    }
  }
  std::vector<MenuItem> items;
  for (const platform::MenuEntry& entry : platform::ReadMenu(menu)) {
    items.push_back(MenuItem{entry.id, entry.text});
  }
  platform::DestroyMenuHandle(menu);
  return items;
}

const platform::ClockSource* Host::ClockSource() {
  return &state_->clock;
}

uint64_t Host::NowMs() const {
  return kStartMs + static_cast<uint64_t>(state_->elapsedMs.load());
}

int64_t Host::MonotonicNs() const {
  return ClockNs(state_.get());
}

int64_t Host::ElapsedMs() const {
  return state_->elapsedMs.load();
}

void Host::SetLocalTime(int hour, int minute, int second) {
  const int64_t wanted = ((static_cast<int64_t>(hour) * 60 + minute) * 60 + second) * 1000;
  state_->localTimeOffsetMs.store(wanted - state_->elapsedMs.load() % kDayMs);
}

platform::LocalTimeOfDay Host::LocalTime() const {
  return state_->LocalTime();
}

void Host::Advance(int64_t ms) {
  if (ms <= 0) return;
  state_->elapsedMs.fetch_add(ms);
  const double seconds = static_cast<double>(ms) / 1000.0;
  const SimProject* project = state_->Current();
  state_->AdvanceTransport(seconds * (project ? project->playRate : 1.0));
  state_->AdvancePreviews(seconds);
}

void Host::Run(int64_t ms, int64_t tickMs) {
  if (tickMs <= 0) tickMs = 33;
  while (ms > 0) {
    int64_t step = std::min(ms, tickMs);
    for (int64_t due = TimerDueInMs(); due >= 0 && due < step; due = TimerDueInMs()) {
      Advance(due);
      ms -= due;
      step -= due;
      DeliverMessages();
    }
    Advance(step);
    DeliverMessages();
    Tick();
    ms -= step;
  }
}

const platform::WakeSource* Host::WakeSource() {
  return &state_->wake;
}

bool Host::DeliverMessages() {
  bool delivered = false;
  bool posted = false;
  {
    std::lock_guard lock(state_->wakeMutex);
    posted = state_->wakePosted;
    state_->wakePosted = false;
  }
  if (posted && state_->wakeHandler) {
    state_->wakeHandler(state_->wakeTarget, static_cast<int>(platform::WakeReason::kPosted));
    delivered = true;
  }
  if (TimerDueInMs() == 0) {
    state_->timerDueMs = -1;
    if (state_->wakeHandler) {
      state_->wakeHandler(state_->wakeTarget, static_cast<int>(platform::WakeReason::kTimer));
      delivered = true;
    }
  }
  return delivered;
}

bool Host::WaitForPostedWake(int64_t timeoutMs) {
  std::unique_lock lock(state_->wakeMutex);
  return state_->wakeSignal.wait_for(lock,
                                     std::chrono::milliseconds(std::max<int64_t>(timeoutMs, 0)),
                                     [this] { return state_->wakePosted; });
}

int64_t Host::TimerDueInMs() const {
  if (state_->timerDueMs < 0) return -1;
  return std::max<int64_t>(state_->timerDueMs - state_->elapsedMs.load(), 0);
}

void Host::SetModalLoop(std::function<void()> loop) {
  state_->modalLoop = std::move(loop);
}

const platform::MessageSink* Host::MessageSink() {
  return &state_->sink;
}
const std::vector<ShownMessage>& Host::Messages() const {
  return state_->messages;
}
void Host::UseSettingsFile(const std::string& path) {
  state_->settingsFile = path;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t slash = line.find('/');
    const std::size_t equals = line.find('=', slash == std::string::npos ? 0 : slash);
    if (slash == std::string::npos || equals == std::string::npos) continue;
    state_->globalExtState[line.substr(0, slash)][line.substr(slash + 1, equals - slash - 1)] =
        State::GlobalValue{line.substr(equals + 1), true};
  }
}

void Host::State::SaveSettings() const {
  if (settingsFile.empty()) return;
  std::ofstream out(settingsFile, std::ios::trunc);
  for (const auto& [section, values] : globalExtState) {
    for (const auto& [key, value] : values) {
      if (value.persist) out << section << '/' << key << '=' << value.value << '\n';
    }
  }
}

const std::string& Host::ConsoleText() const {
  return state_->console;
}

SimProject& Host::Project() {
  SimProject* project = state_->Current();
  if (!project) throw std::logic_error("quorvane::sim::Host: no project is open");
  return *project;
}

const SimProject& Host::Project() const {
  const SimProject* project = state_->Current();
  if (!project) throw std::logic_error("quorvane::sim::Host: no project is open");
  return *project;
}

bool Host::HasProject() const {
  return state_->Current() != nullptr;
}

int Host::AddProject(const std::string& path) {
  auto project = std::make_unique<SimProject>();
  project->path = path;
  state_->Edited(project.get());
  state_->tabs.push_back(std::move(project));
  if (state_->current < 0) state_->current = static_cast<int>(state_->tabs.size()) - 1;
  return static_cast<int>(state_->tabs.size()) - 1;
}

void Host::SelectProject(int index) {
  if (index < 0 || index >= static_cast<int>(state_->tabs.size()) || index == state_->current) {
    return;
  }
  state_->Stop();  // switching tabs stops the transport of the project left
  state_->current = index;
  state_->playPosition = state_->Current()->editCursor;
}

void Host::CloseProject(int index) {
  auto& tabs = state_->tabs;
  if (index < 0 || index >= static_cast<int>(tabs.size())) return;
  if (index == state_->current) state_->Stop();
  state_->closedProjects.push_back(std::move(tabs[static_cast<size_t>(index)]));
  tabs.erase(tabs.begin() + index);
  state_->InvalidateOrder();
  if (tabs.empty()) {
    state_->current = -1;
  } else if (index < state_->current) {
    --state_->current;
  } else if (index == state_->current) {
    state_->current = std::min(index, static_cast<int>(tabs.size()) - 1);
  }
}

void Host::CloseAllProjects() {
  while (!state_->tabs.empty())
    CloseProject(static_cast<int>(state_->tabs.size()) - 1);
}

int Host::ProjectCount() const {
  return static_cast<int>(state_->tabs.size());
}

void Host::SaveProjectAs(const std::string& path) {
  Project().path = path;
}

void Host::ProjectEdited() {
  state_->Edited(&Project());
  state_->InvalidateOrder();
}

bool Host::MoveRegionSilently(int number, double start, double end) {
  for (SimRegion& region : Project().regions) {
    if (region.number != number) continue;
    region.start = start;
    region.end = end;
    state_->InvalidateOrder();
    return true;
  }
  return false;
}

void Host::OpenInCurrentTab(const std::string& path) {
  if (!HasProject()) {
    SelectProject(AddProject(path));
    return;
  }
  state_->Stop();
  SimProject& project = Project();
  // What the tab held is kept, so that no old track handle is ever reused.
  state_->closedProjects.push_back(std::make_unique<SimProject>(std::move(project)));
  project = SimProject{};
  project.path = path;
  state_->Edited(&project);
  state_->InvalidateOrder();
  state_->playPosition = project.editCursor;
}

int Host::CurrentProjectIndex() const {
  return state_->Current() ? state_->current : -1;
}

void Host::AddRegion(int number, const std::string& name, double start, double end, int colour) {
  Project().regions.push_back(SimRegion{number, name, start, end, colour, state_->nextSerial++});
  ProjectEdited();
}

void Host::AddMarker(int number, const std::string& name, double position, int colour) {
  Project().markers.push_back(SimMarker{number, name, position, colour, state_->nextSerial++});
  ProjectEdited();
}

void Host::SetTempoMap(const std::vector<TempoPoint>& points) {
  Project().tempoMap = points;
  state_->Edited(&Project());
}

MediaTrack* Host::AddTrack(const std::string& name, int folderDepth) {
  auto track = std::make_unique<SimTrack>();
  track->name = name;
  track->folderDepth = folderDepth;
  SimTrack* raw = track.get();
  Project().tracks.push_back(std::move(track));
  state_->Edited(&Project());
  return reinterpret_cast<MediaTrack*>(raw);
}

SimTrack& Host::Track(int index) {
  auto& tracks = Project().tracks;
  if (index < 0 || index >= static_cast<int>(tracks.size())) {
    throw std::out_of_range("quorvane::sim::Host::Track: no such track");
  }
  return *tracks[static_cast<size_t>(index)];
}

std::string Host::GlobalExtState(const std::string& section, const std::string& key) const {
  const State::GlobalValue* value = state_->FindGlobal(section, key);
  return value ? value->value : std::string();
}

bool Host::HasGlobalExtState(const std::string& section, const std::string& key) const {
  return state_->FindGlobal(section, key) != nullptr;
}

bool Host::GlobalExtStatePersists(const std::string& section, const std::string& key) const {
  const State::GlobalValue* value = state_->FindGlobal(section, key);
  return value && value->persist;
}

void Host::SetGlobalExtState(const std::string& section, const std::string& key,
                             const std::string& value) {
  state_->globalExtState[section][key] = State::GlobalValue{value, true};
}

std::string Host::ExtState(const std::string& section, const std::string& key) const {
  const auto& ext = Project().extState;
  auto s = ext.find(section);
  if (s == ext.end()) return {};
  auto k = s->second.find(key);
  return k == s->second.end() ? std::string() : k->second;
}

bool Host::HasExtState(const std::string& section, const std::string& key) const {
  const auto& ext = Project().extState;
  auto s = ext.find(section);
  return s != ext.end() && s->second.count(key) > 0;
}

void Host::SetExtState(const std::string& section, const std::string& key,
                       const std::string& value) {
  auto& ext = Project().extState;
  state_->Edited(&Project());
  if (value.empty()) {
    auto s = ext.find(section);
    if (s == ext.end()) return;
    s->second.erase(key);
    if (s->second.empty()) ext.erase(s);
    return;
  }
  ext[section][key] = value;
}

TransportState Host::Transport() const {
  return state_->transport;
}
double Host::PlayPosition() const {
  return state_->PlayPositionNow();
}
double Host::EditCursor() const {
  return state_->Current() ? state_->Current()->editCursor : 0.0;
}
void Host::UserPlay() {
  state_->Play();
}
void Host::UserStop() {
  state_->Stop();
}
void Host::UserPause() {
  state_->PauseToggle();
}
void Host::UserSeek(double time) {
  state_->SetEditCursor(time, true);
}
bool Host::SeekPending() const {
  return state_->seekPending;
}
double Host::PendingSeekTarget() const {
  return state_->seekTarget;
}
double Host::PendingSeekBarLine() const {
  return state_->seekBarLine;
}
bool Host::RepeatOn() const {
  return state_->repeat;
}
void Host::SetRepeat(bool on) {
  state_->repeat = on;
}
double Host::PlayRate() const {
  return state_->Current() ? state_->Current()->playRate : 1.0;
}

void Host::SetConfigVar(const std::string& name, int value, int size) {
  if (size != 1 && size != 2 && size != 8) size = 4;
  State::ConfigValue& config = state_->ConfigOfSize(name, static_cast<size_t>(size));
  switch (size) {
    case 1:
      config.bytes[0] = static_cast<unsigned char>(value);
      break;
    case 2: {
      const auto v = static_cast<int16_t>(value);
      std::memcpy(config.bytes.data(), &v, sizeof v);
      break;
    }
    case 8: {
      const auto v = static_cast<int64_t>(value);
      std::memcpy(config.bytes.data(), &v, sizeof v);
      break;
    }
    default: {
      const auto v = static_cast<int32_t>(value);
      std::memcpy(config.bytes.data(), &v, sizeof v);
      break;
    }
  }
}

void Host::SetConfigDouble(const std::string& name, double value) {
  State::ConfigValue& config = state_->ConfigOfSize(name, sizeof(double));
  std::memcpy(config.bytes.data(), &value, sizeof value);
}

int Host::ConfigVar(const std::string& name) const {
  return static_cast<int>(state_->ConfigInteger(name));
}

double Host::ConfigDouble(const std::string& name) const {
  const State::ConfigValue* config = state_->Config(name);
  if (!config || config->bytes.size() != sizeof(double)) return 0.0;
  double value = 0.0;
  std::memcpy(&value, config->bytes.data(), sizeof value);
  return value;
}

bool Host::HasConfigVar(const std::string& name) const {
  return state_->Config(name) != nullptr;
}

void Host::RemoveConfigVar(const std::string& name) {
  auto it = state_->config.find(name);
  if (it == state_->config.end()) return;
  state_->retiredConfig.push_back(std::move(it->second));
  state_->config.erase(it);
}

double Host::TimeToBeats(double time, int* measures, int* beatsInMeasure, double* fullBeats,
                         int* denominator) const {
  const SimBeatPosition position = BeatPosition(time);
  if (measures) *measures = position.measure;
  if (beatsInMeasure) *beatsInMeasure = position.beatsInMeasure;
  if (fullBeats) *fullBeats = position.fullBeats;
  if (denominator) *denominator = position.denominator;
  return position.beatInMeasure;
}

double Host::BeatsToTime(double fullBeats) const {
  return state_->MapOf(state_->Current()).BeatsToTime(fullBeats);
}

SimBeatPosition Host::BeatPosition(double time) const {
  return state_->MapOf(state_->Current()).TimeToBeats(time);
}

double Host::MeasureToTime(int measure, double beat) const {
  return state_->MapOf(state_->Current()).MeasureToTime(measure, beat);
}

double Host::NextBarLine(double time) const {
  return state_->MapOf(state_->Current()).NextBarLineAfter(time);
}

double Host::DividedBpmAt(double time) const {
  return state_->MapOf(state_->Current()).DividedBpmAt(time);
}

int Host::PlayingPreviews() const {
  return static_cast<int>(state_->previews.size());
}

std::vector<std::string> Host::CreatedSourcePaths() const {
  return state_->createdSourcePaths;
}

int Host::LiveSources() const {
  return static_cast<int>(state_->sources.size());
}

void Host::FailPreviewPlayback(bool fail) {
  state_->failPreview = fail;
}

bool Host::PreviewPlaying(const preview_register_t* preview) const {
  return state_->previews.count(const_cast<preview_register_t*>(preview)) > 0;
}

const std::vector<std::string>& Host::Problems() const {
  return state_->problems;
}

const std::deque<HostCall>& Host::Calls() const {
  return state_->calls;
}

uint64_t Host::CallsRecorded() const {
  return state_->callsRecorded;
}

std::vector<HostCall> Host::CallsTo(const std::string& function) const {
  std::vector<HostCall> found;
  for (const HostCall& call : state_->calls) {
    if (call.function == function) found.push_back(call);
  }
  return found;
}

int Host::CountCalls(const std::string& function) const {
  const auto found = state_->callCounts.find(function);
  return found == state_->callCounts.end() ? 0 : found->second;
}

void Host::ClearCalls() {
  state_->calls.clear();
  state_->callCounts.clear();
}

}  // namespace quorvane::sim
