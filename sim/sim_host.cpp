// The simulated host itself: its model's making, the virtual clock, the main thread's wakes, the
// message boxes and console, and the record of calls. Its other concerns have files of their own:
// sim_registrations.cpp, sim_project.cpp, sim_transport.cpp, sim_settings.cpp, sim_previews.cpp.
#include "sim/sim_host.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>

#include "sim/sim_state.h"

namespace quorvane::sim {
namespace {

constexpr int64_t kDayMs = 24LL * 3600 * 1000;

std::vector<Host*>& LiveHosts() {
  static std::vector<Host*> hosts;
  return hosts;
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

int64_t ClockWall(void* context) {
  const auto* state = static_cast<const Host::State*>(context);
  return state->wallClockOffsetMs.load() + state->elapsedMs.load();
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
  clock = platform::ClockSource{this, &ClockMs, &ClockNs, &ClockLocalTime, &ClockWall};
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

void Host::SetWallClock(int64_t millisecondsSince1970) {
  state_->wallClockOffsetMs.store(millisecondsSince1970 - state_->elapsedMs.load());
}

int64_t Host::WallClockMs() const {
  return ClockWall(state_.get());
}

void Host::Advance(int64_t ms) {
  if (ms <= 0) return;
  state_->elapsedMs.fetch_add(ms);
  const double seconds = static_cast<double>(ms) / 1000.0;
  const SimProject* project = state_->Current();
  double moving = seconds;
  if (state_->transport == TransportState::kPlaying && state_->startDelayLeft > 0.0) {
    const double waited = std::min(moving, state_->startDelayLeft);
    state_->startDelayLeft -= waited;
    moving -= waited;
  }
  const double skew = 1.0 + state_->clockSkewPpm / 1e6;
  state_->AdvanceTransport(moving * skew * (project ? project->playRate : 1.0));
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

const std::string& Host::ConsoleText() const {
  return state_->console;
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
